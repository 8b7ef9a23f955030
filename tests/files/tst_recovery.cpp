#include "files/recovery.h"
#include "fsl_fixtures.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

ShotList showList()
{
    ShotList list = ListWithTimes({ 0, 5, 17 });
    list.circuits[0] = 33;
    list.circuits[1] = 34;
    list.effects[0] = QStringLiteral("Kometen rot");
    return list;
}

ListMeta showMeta()
{
    ListMeta meta;
    meta.sourcePath = QStringLiteral("/srv/feuerwerk/show.fsl");
    meta.comment = QStringLiteral("Hafen 2026");
    meta.musicPath = QStringLiteral("/srv/feuerwerk/musik.ogg");
    meta.musicStartTenths = -30;
    return meta;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A document holding the show, saved; one change leaves the saved state.
struct Kept {
    QTemporaryDir dir;
    ListDocument document;
    QString path = dir.filePath(RecoveryFileName(1));
    Kept() { document.reset(showList(), showMeta()); }
    // Entry 3 to `gap` seconds after entry 2.
    bool change(int gap = 9)
    {
        const ShotList& list = document.list();
        return document.applySince(document.revision(), 2, gap, list.times[2] - list.times[1]);
    }
};

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The copy holds the whole list as the document has it, written after the change returned; it is
    // removed by a save, never while the unsaved work is only in the undo history.
    void copyFollowsTheSavedState()
    {
        Kept kept;
        RecoveryKeeper keeper(kept.document, kept.path);
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        QSignalSpy removed(&keeper, &RecoveryKeeper::removed);
        QVERIFY(!QFile::exists(kept.path));

        QVERIFY(kept.change());
        QVERIFY(!QFile::exists(kept.path)); // never inside the change
        QVERIFY(keeper.isPending());
        QVERIFY(written.wait(5000));
        const QByteArray bytes = fileBytes(kept.path);
        QVERIFY(bytes.startsWith(FslHead("Hafen 2026",
                                     "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 3\r\nZeitdauer : "
                                     "00:00:14\r\nnoch frei: 167\r\n")
            + FslEntries({ "0000 21", "0005 22", "000E FF" })));
        QVERIFY2(bytes.endsWith("[Kelto]\r\nMusik=/srv/feuerwerk/musik.ogg\r\nMusikbeginn=-3.0\r\n"
                                "Quelldatei=/srv/feuerwerk/show.fsl\r\nEffekt 001=Kometen rot\r\n"),
            bytes.mid(176 * 9).constData());
        const RecoveryCopy copy = ReadRecoveryCopy(kept.path);
        QVERIFY(copy.read.ok());
        QVERIFY(SameList(copy.read.list, kept.document.list()));
        QCOMPARE(copy.read.meta, kept.document.meta());

        // Back in the saved state by undo, the work is only in the history: the copy keeps it.
        kept.document.undo();
        QVERIFY(kept.document.isSaved());
        QVERIFY(!keeper.isPending());
        QCOMPARE(removed.size(), 0);
        QCOMPARE(fileBytes(kept.path), bytes);
        kept.document.redo();
        QVERIFY(written.wait(5000));
        // A list loaded over the unsaved one: the copy still holds the unsaved work.
        ListMeta other;
        other.sourcePath = QStringLiteral("/srv/feuerwerk/andere.fsl");
        QVERIFY(kept.document.replace(kept.document.revision(), ListWithTimes({ 1, 2 }), other,
            QStringLiteral("Datei andere.fsl laden"), ListDocument::Saved::Yes));
        QVERIFY(kept.document.isSaved());
        QCOMPARE(fileBytes(kept.path), bytes);
        QCOMPARE(removed.size(), 0);
        // Only a save puts the work in a file.
        kept.document.undo();
        QVERIFY(written.wait(5000));
        QVERIFY(kept.document.markSaved(kept.document.revision(), QStringLiteral("/srv/x.fsl"), "x"));
        QCOMPARE(removed.size(), 1);
        QVERIFY(!QFile::exists(kept.path));
        QVERIFY(!keeper.isPending());
    }

    // Changes every 40 ms for longer than a second: the copy is on disk while they go on.
    void streamOfChangesDoesNotPutTheWriteOff()
    {
        Kept kept;
        RecoveryKeeper keeper(kept.document, kept.path);
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        int changes = 0;
        QTimer typing;
        typing.callOnTimeout([&] { kept.change(1 + (++changes % 50)); });
        typing.start(40);
        QVERIFY(written.wait(5000));
        QVERIFY(typing.isActive());
        QVERIFY(QTest::qWaitFor([&] { return written.size() >= 2; }, 5000));
        typing.stop();
        if (keeper.isPending())
            QVERIFY(written.wait(5000));
        QVERIFY(SameList(ReadRecoveryCopy(kept.path).read.list, kept.document.list()));
    }

    void pendingCopyIsWrittenWhenTheKeeperEnds()
    {
        Kept kept;
        {
            RecoveryKeeper keeper(kept.document, kept.path);
            QVERIFY(kept.change());
        }
        QVERIFY(SameList(ReadRecoveryCopy(kept.path).read.list, kept.document.list()));
    }

    // A folder that cannot take the file: told once for a series of failures, again after one that
    // worked; the old copy stays.
    void failedWriteIsReportedOnce()
    {
        Kept kept;
        const QString folder = kept.dir.filePath(QStringLiteral("temp"));
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        RecoveryKeeper keeper(kept.document, folder + QStringLiteral("/") + RecoveryFileName(1));
        QSignalSpy failed(&keeper, &RecoveryKeeper::writeFailed);
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        for (int gap : { 9, 10, 11 }) {
            QVERIFY(kept.change(gap));
            keeper.flush();
        }
        QCOMPARE(failed.size(), 1);
        QVERIFY(!failed[0][0].toString().isEmpty());

        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(kept.change(12));
        keeper.flush();
        QCOMPARE(written.size(), 1);
        const QByteArray good = fileBytes(keeper.path());

        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(kept.change(13));
        keeper.flush();
        QCOMPARE(failed.size(), 2);
        QVERIFY(!good.isEmpty());
    }

    // Beside kelto.ini when "temp" names the folder; else not in a folder the system empties at its
    // next start, but in the user's data folder (here one of the test's own).
    void copiesLiveWhereTheyOutlastARestart()
    {
        QTemporaryDir home;
        const QByteArray savedTemp = qgetenv("temp");
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        QCOMPARE(RecoveryFolder(QStringLiteral("/srv/temp/")), QStringLiteral("/srv/temp/"));
        qunsetenv("temp");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        const QString folder = RecoveryFolder(QStringLiteral("/tmp/"));
        qputenv("temp", savedTemp);
        if (savedData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedData);
        QVERIFY2(folder.startsWith(home.path() + QLatin1Char('/')) && folder.endsWith(QLatin1Char('/')),
            qPrintable(folder));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void questionNamesTimeShotsAndSource_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text");
        QTest::newRow("from a file") << 12 << "/srv/feuerwerk/show.fsl"
                                     << "Kelto wurde beendet, ohne dass die Liste gespeichert war (zuletzt "
                                        "geändert am 05.03.2026 um 07:09, 12 Schüsse, aus show.fsl).\n\n"
                                        "Diese Liste wiederherstellen?";
        QTest::newRow("new list, one shot")
            << 1 << ""
            << "Kelto wurde beendet, ohne dass die Liste gespeichert war (zuletzt geändert am 05.03.2026 um "
               "07:09, 1 Schuss, aus „Neue Liste“).\n\nDiese Liste wiederherstellen?";
    }
    void questionNamesTimeShotsAndSource()
    {
        QFETCH(int, entries);
        QFETCH(QString, source);
        QFETCH(QString, text);
        QCOMPARE(RecoveryQuestion(QDateTime(QDate(2026, 3, 5), QTime(7, 9, 59)), entries, source), text);
    }
};

KELTO_TEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
