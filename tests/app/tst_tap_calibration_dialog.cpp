#include "file_bytes.h"
#include "form1.h"
#include "music/playback_clock.h"
#include "music/show_time.h"
#include "music/tap_calibration.h"
#include "music/waveform_reader.h"
#include "music_files.h"
#include "rehearsal_page.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "tap_calibration_dialog.h"
#include "test_main.h"
#include "waveform_view.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

namespace {

// Nine clicks half a second apart: short enough for a test, spaced enough for ±200 ms.
ClickTrack quickTrack() { return MakeClickTrack(9, 600, 500, 22050); }

bool startPlaying(TapCalibrationDialog& box)
{
    QTest::mouseClick(box.startButton, Qt::LeftButton);
    return QTest::qWaitFor([&] { return box.clock()->isPlaying() && box.clock()->position() > 30; }, 10000);
}

// Taps with the space bar lateMs after each of the first `count` clicks, as the dialog's clock says.
bool tapAlong(TapCalibrationDialog& box, int lateMs, int count)
{
    for (int i = 0; i < count; ++i) {
        const qint64 at = box.track().clicksMs[i] + lateMs;
        if (!QTest::qWaitFor([&] { return box.clock()->position() >= at; }, 5000))
            return false;
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &box, Qt::Key_Space);
    }
    return true;
}

bool playedToTheEnd(TapCalibrationDialog& box)
{
    return QTest::qWaitFor([&] { return !box.clock()->isPlaying() && box.startButton->isEnabled(); }, 15000);
}

QString tempFolder() { return QDir::toNativeSeparators(qEnvironmentVariable("temp")) + QDir::separator(); }

bool showPage(Form1& w)
{
    w.show();
    if (!QTest::qWaitForWindowActive(&w))
        return false;
    w.SSTab1->setCurrentIndex(3);
    return true;
}

// The modal box the page opens, once it is there.
TapCalibrationDialog* openBox()
{
    TapCalibrationDialog* box = nullptr;
    const bool open = QTest::qWaitFor([&] {
        box = qobject_cast<TapCalibrationDialog*>(QApplication::activeModalWidget());
        return box != nullptr;
    });
    return open ? box : nullptr;
}

} // namespace

class TestTapCalibrationDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QFile::remove(TapOffsetFilePath(tempFolder())); }

    // Taps on the space bar, late or early by a steady amount, give that amount; "OK" is then enabled.
    void tapsAlongTheClicks_data()
    {
        QTest::addColumn<int>("lateMs");
        QTest::newRow("late") << 140;
        QTest::newRow("early") << -120;
    }
    void tapsAlongTheClicks()
    {
        QFETCH(int, lateMs);
        TapCalibrationDialog box(0, nullptr, quickTrack());
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QVERIFY(!box.okButton->isEnabled());
        QVERIFY(startPlaying(box));
        QVERIFY(tapAlong(box, lateMs, 9));
        QCOMPARE(box.taps().size(), 9);
        QVERIFY(playedToTheEnd(box));
        QVERIFY2(box.result().ok, qPrintable(box.result().reason));
        QCOMPARE(box.result().matched, 9);
        // Stamped when the key is handled: a little after the wait saw the position pass.
        QVERIFY2(box.offsetMs() >= lateMs - 2 && box.offsetMs() <= lateMs + 30,
            qPrintable(QString::number(box.offsetMs())));
        QCOMPARE(box.progress->value(), MinCalibrationTaps);
        QVERIFY2(box.resultText->text().startsWith(TapOffsetText(box.offsetMs())),
            qPrintable(box.resultText->text()));
        QVERIFY(box.okButton->isEnabled());
        QTest::mouseClick(box.okButton, Qt::LeftButton);
        QCOMPARE(box.result().ok, true);
        QCOMPARE(box.QDialog::result(), int(QDialog::Accepted));
    }

    // Too few clicks tapped: the reason with the figures, "OK" stays off; "Noch einmal" starts afresh.
    void tooFewTapsAreRefused()
    {
        TapCalibrationDialog box(-140, nullptr, quickTrack());
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QVERIFY(box.intro->text().contains(QStringLiteral("Bisher: Abgleich: \u2212140 ms")));
        QVERIFY(startPlaying(box));
        QVERIFY(tapAlong(box, 80, 5));
        QCOMPARE(box.progressText->text(), QStringLiteral("5 Klicks getippt, 8 nötig"));
        QVERIFY(playedToTheEnd(box));
        QVERIFY(!box.result().ok);
        QCOMPARE(box.resultText->text(),
            QStringLiteral(
                "Nur 5 Klicks mitgetippt, für einen Abgleich braucht es mindestens 8. Bitte noch einmal "
                "zu jedem Klick tippen."));
        QVERIFY(!box.okButton->isEnabled());
        QCOMPARE(box.startButton->text(), QStringLiteral("Noch einmal"));
        QVERIFY(startPlaying(box));
        QVERIFY(box.taps().isEmpty());
        QVERIFY(tapAlong(box, 80, 9));
        QVERIFY(playedToTheEnd(box));
        QVERIFY2(box.result().ok, qPrintable(box.result().reason));
    }

    // Before the clicks play the space bar presses the focused button, and no tap is taken; "Tipp" taps.
    void spaceTapsOnlyWhilePlaying()
    {
        TapCalibrationDialog box(0, nullptr, quickTrack());
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QVERIFY(!box.tapButton->isEnabled());
        box.startButton->setFocus();
        QTest::keyClick(box.startButton, Qt::Key_Space);
        QVERIFY(QTest::qWaitFor([&] { return box.clock()->isPlaying(); }, 10000));
        QVERIFY(box.taps().isEmpty());
        QVERIFY(box.tapButton->isEnabled());
        QTest::mouseClick(box.tapButton, Qt::LeftButton);
        QCOMPARE(box.taps().size(), 1);
        // A held key taps once.
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(box.tapButton, &held);
        QCOMPARE(box.taps().size(), 1);
    }

    // "Tippen abgleichen…" on the page: OK stores the offset beside the recovery copy and shows it;
    // the next window reads it back.
    void pageStoresTheOffset()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        QCOMPARE(w.Rehearsal->Label29->text(), QStringLiteral("Abgleich: 0 ms"));
        QVERIFY(showPage(w));
        bool driven = false;
        QTimer::singleShot(0, [&] {
            TapCalibrationDialog* box = openBox();
            if (!box)
                return;
            if (startPlaying(*box) && tapAlong(*box, 90, 8) && playedToTheEnd(*box)
                && box->okButton->isEnabled()) {
                driven = true;
                QTest::mouseClick(box->okButton, Qt::LeftButton);
            } else {
                box->reject();
            }
        });
        QTest::mouseClick(w.Rehearsal->Command9, Qt::LeftButton);
        QVERIFY(driven);
        const int offset = w.Rehearsal->tapOffsetMs();
        QVERIFY2(offset >= 88 && offset <= 120, qPrintable(QString::number(offset)));
        QCOMPARE(w.Rehearsal->Label29->text(), TapOffsetText(offset));
        QCOMPARE(w.Rehearsal->Label13->text(),
            TapOffsetText(offset) + QStringLiteral(" gespeichert; er gilt für jeden Tap."));
        QCOMPARE(readFile(tempFolder() + QStringLiteral("kelto-abgleich.txt")), TapOffsetBytes(offset));

        Form1 next(std::make_unique<ScriptedPrompter>());
        QCOMPARE(next.Rehearsal->tapOffsetMs(), offset);
        QCOMPARE(next.Rehearsal->Label29->text(), TapOffsetText(offset));
    }

    // "Abbrechen" stores nothing and keeps the offset.
    void cancelStoresNothing()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.Rehearsal->setTapOffsetMs(-60);
        QVERIFY(showPage(w));
        bool opened = false;
        QTimer::singleShot(0, [&] {
            TapCalibrationDialog* box = openBox();
            opened = box != nullptr;
            if (box)
                QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::mouseClick(w.Rehearsal->Command9, Qt::LeftButton);
        QVERIFY(opened);
        QCOMPARE(w.Rehearsal->tapOffsetMs(), -60);
        QCOMPARE(w.Rehearsal->Label29->text(), QStringLiteral("Abgleich: \u221260 ms"));
        QVERIFY(!QFile::exists(TapOffsetFilePath(tempFolder())));
    }

    // A stored file that makes no sense: no offset, and the page says so.
    void unreadableFileIsShownNotUsed()
    {
        writeFile(TapOffsetFilePath(tempFolder()), "Abgleich=viel\n");
        Form1 w(std::make_unique<ScriptedPrompter>());
        QCOMPARE(w.Rehearsal->tapOffsetMs(), 0);
        QCOMPARE(w.Rehearsal->Label29->text(), QStringLiteral("Abgleich: 0 ms"));
        QVERIFY2(
            w.Rehearsal->Label13->text().startsWith(QStringLiteral("Der gespeicherte Abgleich ist unlesbar")),
            qPrintable(w.Rehearsal->Label13->text()));
        QVERIFY(w.Rehearsal->Label13->text().contains(QStringLiteral("kelto-abgleich.txt")));
    }

    // The offset is taken off the player's position before the tap is placed.
    void tapSubtractsTheOffset_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("startTenths");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("heard late") << 400 << 0;
        QTest::newRow("heard late, music after the start") << 400 << 20;
        QTest::newRow("tapped early") << -900 << 0;
    }
    void tapSubtractsTheOffset()
    {
        QFETCH(int, offset);
        QFETCH(int, startTenths);
        QTemporaryDir dir;
        const QString music = dir.filePath(QStringLiteral("klick.wav"));
        QVERIFY(
            WriteWav(music, 8000, 1, 20.0, [](double t, int) { return 0.1 * std::sin(2 * M_PI * 440 * t); }));
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.document().reset(ListWithTimes({ 1 }));
        w.document().setMusic(w.document().revision(), music);
        w.document().setMusicStart(w.document().revision(), startTenths);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return w.Rehearsal->MediaPlayer1->duration() > 0 && !w.Rehearsal->WaveReader1->isReading();
            },
            20000));
        w.Rehearsal->setTapOffsetMs(offset);
        QVERIFY(showPage(w));
        w.Rehearsal->Check1->setChecked(true);
        w.Rehearsal->Command6[2]->setFocus();
        w.Rehearsal->MediaPlayer1->seek(10700);
        QTest::mouseClick(w.Rehearsal->Command6[1], Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return w.Rehearsal->MediaPlayer1->position() > 10730; }, 10000));
        const qint64 before = w.Rehearsal->MediaPlayer1->position();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        const qint64 after = w.Rehearsal->MediaPlayer1->position();
        QCOMPARE(w.document().entryCount(), 2);
        const qint64 low = ShowTimeMs(before - offset, startTenths);
        const qint64 high = ShowTimeMs(after - offset, startTenths);
        QVERIFY2(w.Rehearsal->TapStampMs >= low && w.Rehearsal->TapStampMs <= high,
            qPrintable(QStringLiteral("%1 for %2..%3").arg(w.Rehearsal->TapStampMs).arg(low).arg(high)));
        const int row = w.Rehearsal->Picture1->selectedSlot();
        const qint32 second = w.list().times[row];
        QVERIFY2(second == TapSecond(low) || second == TapSecond(high), qPrintable(QString::number(second)));
    }
};

KELTO_TEST_MAIN(TestTapCalibrationDialog)
#include "tst_tap_calibration_dialog.moc"
