#include "file_bytes.h"
#include "music/tap_calibration.h"
#include "test_main.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Clicks at 2 s, 3 s, … like the dialog's track.
QList<qint64> clicks(int count = 12)
{
    QList<qint64> at;
    for (int i = 0; i < count; ++i)
        at.append(2000 + i * 1000);
    return at;
}

QList<qint64> tapsAt(const QList<int>& offsets, int firstClick = 0)
{
    QList<qint64> taps;
    for (qsizetype i = 0; i < offsets.size(); ++i)
        taps.append(2000 + (firstClick + i) * 1000 + offsets[i]);
    return taps;
}

qint16 sampleAt(const QByteArray& wav, qint64 frame)
{
    const auto* data = reinterpret_cast<const uchar*>(wav.constData()) + 44;
    return qint16(quint16(data[frame * 2] | (data[frame * 2 + 1] << 8)));
}

} // namespace

class TestTapCalibration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The track is a plain 16-bit mono WAV: silence, and a click starting exactly at each listed time.
    void clickTrackHasClicksWhereItSays()
    {
        const ClickTrack track = MakeClickTrack(10, 1500, 800, 8000);
        QCOMPARE(track.clicksMs.size(), 10);
        QCOMPARE(track.clicksMs.first(), qint64(1500));
        QCOMPARE(track.clicksMs.last(), qint64(1500 + 9 * 800));
        QCOMPARE(track.durationMs, qint64(1500 + 9 * 800 + 1000));
        QCOMPARE(track.wav.left(4), QByteArray("RIFF"));
        QCOMPARE(track.wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(track.wav.size(), 44 + track.durationMs * 8 * 2);
        for (const qint64 click : track.clicksMs) {
            const qint64 frame = click * 8;
            QVERIFY2(qAbs(sampleAt(track.wav, frame)) > 20000, qPrintable(QString::number(click)));
            QCOMPARE(sampleAt(track.wav, frame - 1), qint16(0));
            QCOMPARE(sampleAt(track.wav, frame - 100), qint16(0));
        }
        QCOMPARE(sampleAt(track.wav, 1000 * 8), qint16(0));
    }

    void calibration_data()
    {
        QTest::addColumn<QList<qint64>>("taps");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("matched");
        QTest::addColumn<QString>("reason");
        QTest::newRow("late, steady")
            << tapsAt({ 140, 140, 140, 140, 140, 140, 140, 140 }) << true << 140 << 8 << "";
        QTest::newRow("early, steady")
            << tapsAt({ -90, -90, -90, -90, -90, -90, -90, -90, -90, -90 }) << true << -90 << 10 << "";
        QTest::newRow("jittered") << tapsAt({ 180, 120, 150, 110, 170, 140, 130, 160, 145, 95 }) << true
                                  << 140 << 10 << "";
        QTest::newRow("mean rounds") << tapsAt({ 10, 11, 10, 11, 10, 11, 10, 10 }) << true << 10 << 8 << "";
        QTest::newRow("on the clicks") << tapsAt({ 0, 0, 0, 0, 0, 0, 0, 0 }) << true << 0 << 8 << "";
        QTest::newRow("late start, clicks missed between")
            << QList<qint64> { 4100, 5100, 7100, 8100, 9100, 10100, 11100, 13100 } << true << 100 << 8 << "";
        QTest::newRow("a click tapped twice counts once")
            << (tapsAt({ 100, 100, 100, 100, 100, 100, 100 }) << 2000 + 6 * 1000 + 300) << false << 100 << 7
            << "Nur 7 Klicks mitgetippt, für einen Abgleich braucht es mindestens 8.";
        QTest::newRow("too few") << tapsAt({ 100, 100, 100 }) << false << 0 << 3
                                 << "Nur 3 Klicks mitgetippt, für einen Abgleich braucht es mindestens 8.";
        QTest::newRow("none") << QList<qint64>() << false << 0 << 0
                              << "Nur 0 Klicks mitgetippt, für einen Abgleich braucht es mindestens 8.";
        QTest::newRow("taps far before the first click belong to none")
            << (QList<qint64> { 0, 400, 900 } << tapsAt({ 50, 50, 50, 50, 50, 50, 50 })) << false << 0 << 7
            << "Nur 7 Klicks mitgetippt";
        QTest::newRow("one outlier spoils the mean")
            << tapsAt({ 100, 100, 100, 100, 100, 100, 100, 100, -300 }) << false << 56 << 9
            << "Die Taps streuen zu stark: im Mittel +56 ms, Streuung ±126 ms über 9 Klicks (höchstens ±60 "
               "ms).";
        QTest::newRow("scattered") << tapsAt({ -200, 200, -200, 200, -200, 200, -200, 200 }) << false << 0
                                   << 8 << "Die Taps streuen zu stark: im Mittel 0 ms, Streuung ±200 ms";
        QTest::newRow("spread at the limit")
            << tapsAt({ 40, 160, 40, 160, 40, 160, 40, 160 }) << true << 100 << 8 << "";
        QTest::newRow("spread past the limit")
            << tapsAt({ 39, 161, 39, 161, 39, 161, 39, 161 }) << false << 100 << 8 << "Streuung ±61 ms";
    }
    void calibration()
    {
        QFETCH(QList<qint64>, taps);
        QFETCH(bool, ok);
        QFETCH(int, offset);
        QFETCH(int, matched);
        QFETCH(QString, reason);
        const TapCalibration result = CalibrateTaps(clicks(), taps);
        QCOMPARE(result.ok, ok);
        QCOMPARE(result.matched, matched);
        if (ok || result.matched >= MinCalibrationTaps)
            QCOMPARE(result.offsetMs, offset);
        if (ok)
            QVERIFY(result.reason.isEmpty());
        else
            QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
    }

    // Tighter clicks narrow what a tap may be matched to: half the spacing.
    void reachIsHalfTheSpacing()
    {
        QList<qint64> near;
        for (int i = 0; i < 10; ++i)
            near.append(1000 + i * 400);
        QList<qint64> taps;
        for (int i = 0; i < 10; ++i)
            taps.append(near[i] + 150);
        QCOMPARE(CalibrateTaps(near, taps).offsetMs, 150);
        // 250 ms after a click is 150 ms before the next one.
        for (qint64& tap : taps)
            tap += 100;
        QCOMPARE(CalibrateTaps(near, taps).offsetMs, -150);
    }

    void offsetText_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("early") << -140 << "Abgleich: \u2212140 ms";
        QTest::newRow("late") << 35 << "Abgleich: +35 ms";
        QTest::newRow("none") << 0 << "Abgleich: 0 ms";
    }
    void offsetText()
    {
        QFETCH(int, offset);
        QFETCH(QString, text);
        QCOMPARE(TapOffsetText(offset), text);
    }

    // Beside the recovery copy: with "temp" set, in that folder.
    void fileLiesBesideTheRecoveryCopy()
    {
        const QString temp = QDir::toNativeSeparators(qEnvironmentVariable("temp")) + QDir::separator();
        QCOMPARE(TapOffsetFilePath(temp), temp + QStringLiteral("kelto-abgleich.txt"));
    }

    void fileRoundTrip_data()
    {
        QTest::addColumn<int>("offset");
        QTest::newRow("early") << -140;
        QTest::newRow("late") << 275;
        QTest::newRow("none") << 0;
        QTest::newRow("largest") << MaxTapOffsetMs;
    }
    void fileRoundTrip()
    {
        QFETCH(int, offset);
        QTemporaryDir dir;
        const QString path = dir.filePath(TapOffsetFileName);
        QCOMPARE(WriteTapOffset(path, offset), QString());
        QCOMPARE(readFile(path), "Abgleich=" + QByteArray::number(offset) + "\n");
        const StoredTapOffset stored = ReadTapOffset(path);
        QCOMPARE(stored.offsetMs, offset);
        QCOMPARE(stored.problem, QString());
    }

    void missingFileIsNoOffset()
    {
        QTemporaryDir dir;
        const StoredTapOffset stored = ReadTapOffset(dir.filePath(TapOffsetFileName));
        QCOMPARE(stored.offsetMs, 0);
        QCOMPARE(stored.problem, QString());
    }

    void unreadableContentIsNotGuessed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        const QString unreadable = QStringLiteral("Der gespeicherte Abgleich ist unlesbar");
        QTest::newRow("empty") << QByteArray() << unreadable;
        QTest::newRow("a word") << QByteArray("Abgleich=spät\n") << unreadable;
        QTest::newRow("number with text") << QByteArray("Abgleich=140ms\n") << unreadable;
        QTest::newRow("other key") << QByteArray("Offset=140\n") << unreadable;
        QTest::newRow("two lines") << QByteArray("Abgleich=140\nAbgleich=20\n") << unreadable;
        QTest::newRow("decimal") << QByteArray("Abgleich=14,5\n") << unreadable;
        QTest::newRow("long") << QByteArray("Abgleich=1" + QByteArray(100, '0') + "\n") << unreadable;
        QTest::newRow("binary") << QByteArray("\x00\xff\x10", 3) << unreadable;
        QTest::newRow("out of range")
            << QByteArray("Abgleich=-1500\n") << "Der gespeicherte Abgleich von -1500 ms liegt außerhalb";
    }
    void unreadableContentIsNotGuessed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = dir.filePath(TapOffsetFileName);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const StoredTapOffset stored = ReadTapOffset(path);
        QCOMPARE(stored.offsetMs, 0);
        QVERIFY2(stored.problem.startsWith(problem), qPrintable(stored.problem));
        QVERIFY(stored.problem.contains(QStringLiteral("Taps gelten ohne Abgleich")));
    }

    // A folder that cannot take the file: the reason, and nothing half written.
    void writeFailureIsSaid()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fehlt/") + TapOffsetFileName);
        const QString reason = WriteTapOffset(path, 100);
        QVERIFY2(
            reason.startsWith(QStringLiteral("Der Abgleich lässt sich nicht speichern")), qPrintable(reason));
        QVERIFY(!QFile::exists(path));
    }
};

KELTO_TEST_MAIN(TestTapCalibration)
#include "tst_tap_calibration.moc"
