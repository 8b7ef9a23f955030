#include "files/fsl_file.h"
#include "files/list_file.h"
#include "form1.h"
#include "list_edit.h"
#include "music/playback_clock.h"
#include "music/show_time.h"
#include "music/waveform_reader.h"
#include "music_files.h"
#include "rehearsal_page.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "waveform_view.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <cmath>

namespace {

ScriptedPrompter& boxes(Form1& w) { return static_cast<ScriptedPrompter&>(w.prompter()); }

// Clicks every 250 ms over a quiet hum, mono 8 kHz.
double clickTrack(double t, int)
{
    const double sinceClick = std::fmod(t, 0.25);
    return (sinceClick < 0.005 ? 0.9 : 0.05) * std::sin(2 * M_PI * 440 * t);
}

QString writeMusic(const QTemporaryDir& dir, const QString& name, double seconds)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteWav(path, 8000, 1, seconds, clickTrack) ? path : QString();
}

// The music is read (waveform) and opened (length known).
bool musicReady(Form1& w)
{
    return w.Rehearsal->MediaPlayer1->duration() > 0 && !w.Rehearsal->WaveReader1->isReading()
        && !w.Rehearsal->Label12->text().contains(QStringLiteral("wird gelesen"));
}

bool setMusic(Form1& w, const QString& path, qint32 startTenths = 0)
{
    w.document().setMusic(w.document().revision(), path);
    w.document().setMusicStart(w.document().revision(), startTenths);
    return QTest::qWaitFor([&] { return musicReady(w); }, 20000);
}

// Plays from positionMs and waits until the player reports that it moves.
bool playFrom(Form1& w, qint64 positionMs)
{
    w.Rehearsal->MediaPlayer1->seek(positionMs);
    QTest::mouseClick(w.Rehearsal->Command6[1], Qt::LeftButton);
    return QTest::qWaitFor([&] { return w.Rehearsal->MediaPlayer1->position() > positionMs + 30; }, 10000);
}

bool showOnPage(Form1& w, QWidget* focus)
{
    w.show();
    if (!QTest::qWaitForWindowActive(&w))
        return false;
    w.SSTab1->setCurrentIndex(3);
    focus->setFocus();
    return QTest::qWaitFor([&] { return focus->hasFocus(); });
}

// Times 0, 1, ... every second up to count - 1, all on circuit B31.
ShotList everySecond(int count)
{
    QList<int> times;
    for (int i = 0; i < count; ++i)
        times.append(i);
    ShotList list = ListWithTimes(times);
    for (int i = 0; i < count; ++i)
        list.circuits[i] = 32 + 31;
    return list;
}

QPoint markPoint(Form1& w, int slot)
{
    const QList<int> lanes = TimelineLanes(w.list());
    const QRectF rect = w.Rehearsal->Picture1->lanesRect();
    const int lane = int(lanes.indexOf(TimelineLaneOf(w.list().circuits[slot])));
    const double laneH = rect.height() / lanes.size();
    return QPoint(int(std::lround(w.Rehearsal->Picture1->xOf(w.list().times[slot]))),
        int(rect.top() + (lane + 0.5) * laneH));
}

} // namespace

Q_DECLARE_METATYPE(ShotList)

class TestMusicPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A fourth tab after the others, in the row beside "Ende"; its elements lie inside its frame
    // without overlapping.
    void pageIsTheFourthTab()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.SSTab1->count(), 5);
        QCOMPARE(w.SSTab1->tabText(3), QStringLiteral("Probelauf"));
        QCOMPARE(w.SSTab1->tabText(4), QStringLiteral("Effekte"));
        const QRect lastTab = w.SSTab1->tabBar()->tabRect(4);
        QVERIFY2(w.SSTab1->tabBar()->mapTo(&w, lastTab.topRight()).x() < w.Command1->x(),
            "the tabs run under Ende");
        QCOMPARE(w.Command1->geometry().right(), w.width() - 1);
        w.SSTab1->setCurrentIndex(3); // laid out as it is first shown
        const QList<QWidget*> elements = w.Frame1[3]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QVERIFY(elements.size() >= 17);
        for (QWidget* e : elements) {
            QCOMPARE(e->objectName().isEmpty(), false);
            QVERIFY2(w.Frame1[3]->rect().contains(e->geometry()), qPrintable(e->objectName()));
            for (QWidget* other : elements) {
                if (other != e)
                    QVERIFY2(!e->geometry().intersects(other->geometry()),
                        qPrintable(e->objectName() + " " + other->objectName()));
            }
        }
        QCOMPARE(w.Rehearsal->Command6[0]->text(), QStringLiteral("Musik wählen…"));
        QCOMPARE(w.Rehearsal->Label12->text(), QStringLiteral("Keine Musik gewählt."));
        QVERIFY(!w.Rehearsal->Command6[1]->isEnabled());
        QCOMPARE(w.Rehearsal->Label17->text(), QStringLiteral("nächster Kreis: A 00"));
    }

    // "Musik wählen…" asks through the prompter; the choice is one undo step, read off the window's thread;
    // a path a list file cannot hold is refused.
    void chosenMusicIsReadAndTakenBack()
    {
        QTemporaryDir dir;
        const QString music = writeMusic(dir, QStringLiteral("Finale.wav"), 3.0);
        Form1 w(std::make_unique<ScriptedPrompter>());
        QVERIFY(showOnPage(w, w.Rehearsal->Command6[0]));
        boxes(w).setNextFile(music);
        QSignalSpy read(w.Rehearsal->WaveReader1, &WaveformReader::finished);
        QTest::keyClick(w.Rehearsal->Command6[0], Qt::Key_Space);
        QCOMPARE(boxes(w).asked.size(), 1);
        QVERIFY(boxes(w).asked[0].isFile);
        QCOMPARE(boxes(w).asked[0].title, QStringLiteral("Musik wählen"));
        QVERIFY(boxes(w).asked[0].defaultText.contains(QStringLiteral("*.mp3")));
        QCOMPARE(w.document().meta().musicPath, music);
        QVERIFY(w.Rehearsal->Label12->text().startsWith(QStringLiteral("Finale.wav")));
        QVERIFY(read.wait(20000));
        QTRY_COMPARE(w.Rehearsal->Label12->text(), QStringLiteral("Finale.wav   00:03"));
        QVERIFY(w.Rehearsal->Command6[1]->isEnabled());
        QCOMPARE(w.Rehearsal->Picture1->rangeTo(), 10.0);

        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(w.document().meta().musicPath.isEmpty());
        QCOMPARE(w.Rehearsal->Label12->text(), QStringLiteral("Keine Musik gewählt."));
        QVERIFY(!w.Rehearsal->Command6[1]->isEnabled());

        // A path a list file cannot hold is refused, naming the character.
        boxes(w).setNextFile(writeMusic(dir, QStringLiteral("Pfeil→Finale.wav"), 0.5));
        w.Rehearsal->Command6_Click(0);
        QVERIFY2(boxes(w).asked.last().text.contains(QStringLiteral("das Zeichen „→“ (U+2192)")),
            qPrintable(boxes(w).asked.last().text));
        QVERIFY(w.document().meta().musicPath.isEmpty());
        QCOMPARE(w.document().undoStack().count(), 1);
    }

    // A list whose music is gone loads as usual; the page names the file and offers another.
    void missingMusicLeavesTheListLoaded()
    {
        QTemporaryDir dir;
        ListMeta meta;
        meta.musicPath = dir.filePath(QStringLiteral("musik/fehlt.ogg"));
        meta.musicStartTenths = -30;
        const QString listPath = dir.filePath(QStringLiteral("show.fsl"));
        QVERIFY(WriteListFile(listPath, everySecond(5), meta, nullptr));
        QVERIFY(ReadListFile(listPath).ok());
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.OpenListFile(listPath);
        QCOMPARE(w.document().entryCount(), 5);
        QCOMPARE(w.Rehearsal->Label12->text(),
            QStringLiteral("Musik nicht gefunden: ") + QDir::toNativeSeparators(meta.musicPath));
        QCOMPARE(w.Rehearsal->Text4->text(), QStringLiteral("-3,0"));
        w.SSTab1->setCurrentIndex(3);
        QVERIFY(w.Rehearsal->Command6[0]->isEnabled());
        QVERIFY(!w.Rehearsal->Command6[1]->isEnabled());
        QVERIFY(boxes(w).asked.isEmpty());
    }

    // Musikbeginn as typed on the page goes into the list file's block and comes back from it; what
    // the page changed it says.
    void musicStartTypedIsStoredWithTheList_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("tenths");
        QTest::addColumn<QString>("notice");
        QTest::newRow("exact") << "-3,0" << -30 << "";
        QTest::newRow("rounded") << "12,25" << 123 << "Musikbeginn auf Zehntelsekunden gerundet: 12,3 s.";
        QTest::newRow("not a number") << "drei" << 0 << "„drei“ ist keine Zahl: Musikbeginn bleibt 0,0 s.";
    }
    void musicStartTypedIsStoredWithTheList()
    {
        QFETCH(QString, typed);
        QFETCH(int, tenths);
        QFETCH(QString, notice);
        QTemporaryDir dir;
        const QString music = writeMusic(dir, QStringLiteral("musik/Finale.wav"), 0.5);
        Form1 w(std::make_unique<ScriptedPrompter>());
        QVERIFY(setMusic(w, music));
        QVERIFY(showOnPage(w, w.Rehearsal->Text4));
        QTest::keyClick(w.Rehearsal->Text4, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.Rehearsal->Text4, typed);
        QTest::keyClick(w.Rehearsal->Text4, Qt::Key_Return);
        QCOMPARE(w.Rehearsal->Label13->text(), notice);
        QCOMPARE(w.document().meta().musicStartTenths, tenths);
        QCOMPARE(w.Rehearsal->Text4->text(), MusicStartText(tenths));

        const QString listPath = dir.filePath(QStringLiteral("show.fsl"));
        const QByteArray bytes = ListFileBytes(w.list(), w.document().meta(), listPath);
        QVERIFY(bytes.contains("\r\n[Kelto]\r\nMusik=musik/Finale.wav\r\nMusikbeginn="
            + MusicStartText(tenths).replace(',', '.').toLatin1() + "\r\n"));
        QVERIFY(SaveBytes(listPath, bytes, nullptr));
        Form1 again(std::make_unique<ScriptedPrompter>());
        again.OpenListFile(listPath);
        QCOMPARE(again.Rehearsal->Text4->text(), MusicStartText(tenths));
        QCOMPARE(again.document().meta().musicPath, music);
        QTRY_VERIFY_WITH_TIMEOUT(musicReady(again), 20000);
        QCOMPARE(again.Rehearsal->Label12->text(), QStringLiteral("Finale.wav   00:00"));
    }

    // While the music plays, the space bar taps a shot wherever the focus is (here on "Stopp", which
    // it never presses) at the show time rounded to the second; refusals say why, no box opens.
    void tapWithTheSpaceBar_data()
    {
        QTest::addColumn<ShotList>("list");
        QTest::addColumn<int>("startTenths");
        QTest::addColumn<qint64>("seekMs");
        QTest::addColumn<QString>("notice"); // the refusal's reason, empty: added
        QTest::newRow("added, rounded down") << everySecond(3) << 42 << qint64(20000) << "";
        QTest::newRow("added, rounded up") << everySecond(3) << 7 << qint64(20000) << "";
        QTest::newRow("added before the music") << everySecond(3) << 12000 << qint64(0) << "";
        QTest::newRow("second taken")
            << everySecond(60) << 0 << qint64(20000) << "In dieser Sekunde steht schon Eintrag";
        QTest::newRow("before the start")
            << everySecond(3) << -600 << qint64(20000) << "vor dem Beginn der Sequenz (00:00:00)";
        QTest::newRow("after the end") << everySecond(3) << MusicStartLimitTenths << qint64(20000)
                                       << "nach der letzten möglichen Zündung (18:07:59)";
        ShotList full = everySecond(EntryCount);
        for (int i = 0; i < EntryCount; ++i)
            full.times[i] = 1000 + i;
        QTest::newRow("list full") << full << 0 << qint64(20000) << "Die Liste ist voll";
        ShotList allOfA = everySecond(32);
        for (int i = 0; i < 32; ++i)
            allOfA.circuits[i] = qint16(i);
        QTest::newRow("no free circuit")
            << allOfA << 0 << qint64(20000) << "Zündgerät A hat keinen freien Zündkreis mehr";
    }
    void tapWithTheSpaceBar()
    {
        QFETCH(ShotList, list);
        QFETCH(int, startTenths);
        QFETCH(qint64, seekMs);
        QFETCH(QString, notice);
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.document().reset(list);
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("klick.wav"), 40.0), startTenths));
        QVERIFY(showOnPage(w, w.Rehearsal->Command6[2]));
        QTest::mouseClick(w.Rehearsal->Check1, Qt::LeftButton);
        w.Rehearsal->Command6[2]->setFocus();
        const int count = w.document().entryCount();
        const int steps = w.document().undoStack().count();
        QVERIFY(playFrom(w, seekMs));

        const qint64 before = ShowTimeMs(w.Rehearsal->MediaPlayer1->position(), startTenths);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        const qint64 after = ShowTimeMs(w.Rehearsal->MediaPlayer1->position(), startTenths);
        QVERIFY2(w.Rehearsal->MediaPlayer1->isPlaying(), "the space bar pressed Stopp");
        QVERIFY(boxes(w).asked.isEmpty());
        if (!notice.isEmpty()) {
            QVERIFY2(w.Rehearsal->Label13->text().contains(notice), qPrintable(w.Rehearsal->Label13->text()));
            QCOMPARE(w.document().entryCount(), count);
            QCOMPARE(w.document().undoStack().count(), steps);
            return;
        }
        QCOMPARE(w.document().entryCount(), count + 1);
        const int row = w.Rehearsal->Picture1->selectedSlot();
        const qint32 second = w.list().times[row];
        QVERIFY2(second == TapSecond(before) || second == TapSecond(after),
            qPrintable(QStringLiteral("%1 for %2..%3 ms").arg(second).arg(before).arg(after)));
        QCOMPARE(w.list().circuits[row], qint16(0));
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Eintrag %1 bei %2 auf A00 getippt.").arg(row + 1).arg(FormatClock(second)));
        QCOMPARE(w.Rehearsal->Label17->text(), QStringLiteral("nächster Kreis: A 01"));
        // The editor and the statistics follow; one undo step takes it back.
        QVERIFY(w.List2->item(row)->text().contains(QStringLiteral("A00")));
        QVERIFY(w.Label4->text().contains(QStringLiteral("Anzahl Schüsse: %1").arg(count + 1)));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.document().entryCount(), count);
        QCOMPARE(w.Rehearsal->Label17->text(), QStringLiteral("nächster Kreis: A 00"));
    }

    // Tap by tap the circuit moves to the next free one of the device; a held key taps once.
    void circuitMovesOnTapByTap()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        ShotList list = everySecond(1);
        list.circuits[0] = 32 + 1; // B01 in use
        w.document().reset(list);
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("klick.wav"), 20.0), 0));
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        w.Rehearsal->Check1->setChecked(true);
        w.Rehearsal->Combo3->setCurrentIndex(1);
        QCOMPARE(w.Rehearsal->Label17->text(), QStringLiteral("nächster Kreis: B 00"));
        QVERIFY(playFrom(w, 5000));
        const QStringList expected { "B00", "B02", "B03" };
        qint64 lastSecond = -1;
        for (const QString& circuit : expected) {
            // One tap per second: each lands in a second of its own.
            QVERIFY(QTest::qWaitFor(
                [&] { return TapSecond(w.Rehearsal->MediaPlayer1->position()) > lastSecond + 1; }, 5000));
            lastSecond = TapSecond(w.Rehearsal->MediaPlayer1->position());
            QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Space);
            QVERIFY2(w.Rehearsal->Label13->text().endsWith(QStringLiteral(" auf %1 getippt.").arg(circuit)),
                qPrintable(w.Rehearsal->Label13->text()));
            QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
            QApplication::sendEvent(w.Rehearsal->Picture1, &held);
        }
        QCOMPARE(w.document().entryCount(), 4);
        QCOMPARE(w.document().undoStack().count(), 4); // the music, its start skipped as 0, three taps
        QCOMPARE(w.Rehearsal->Label17->text(), QStringLiteral("nächster Kreis: B 04"));
    }

    // Without music playing a tap adds nothing and says so; with "Tippen" off the space bar presses the
    // focused button as always.
    void tapNeedsPlayingMusic()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("klick.wav"), 20.0)));
        QVERIFY(showOnPage(w, w.Rehearsal->Command6[1]));
        w.Rehearsal->Check1->setChecked(true);
        QTest::keyClick(w.Rehearsal->Command6[1], Qt::Key_Space);
        QVERIFY(!w.Rehearsal->MediaPlayer1->isPlaying());
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Tippen geht nur, während die Musik spielt: erst „Abspielen“."));
        QCOMPARE(w.document().entryCount(), 1);
        w.Rehearsal->Check1->setChecked(false);
        QTest::keyClick(w.Rehearsal->Command6[1], Qt::Key_Space);
        QVERIFY(w.Rehearsal->MediaPlayer1->isPlaying());
        QCOMPARE(w.Rehearsal->Command6[1]->text(), QStringLiteral("Pause"));
        QCOMPARE(w.document().entryCount(), 1);
    }

    // A mark clicked in the picture moves a second with ← and →, never onto its neighbours; Entf deletes
    // it; each is one undo step.
    void selectedMarkMovesAndIsDeleted()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        ShotList list = ListWithTimes({ 10, 20, 21 });
        list.circuits[0] = 33;
        list.circuits[1] = 34;
        list.circuits[2] = 64 + 3;
        list.effects[1] = QStringLiteral("Kometen rot");
        w.document().reset(list);
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Right);
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Erst eine Marke anklicken: ← und → verschieben sie, Entf löscht sie."));
        QTest::mouseClick(w.Rehearsal->Picture1, Qt::LeftButton, Qt::NoModifier, markPoint(w, 1));
        QCOMPARE(w.Rehearsal->Picture1->selectedSlot(), 1);

        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Right);
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Eintrag 2 kann nicht später: Eintrag 3 liegt bei 00:00:21."));
        QCOMPARE(w.list().times[1], 20);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Left);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Left);
        QCOMPARE(w.list().times[1], 18);
        QCOMPARE(w.list().effects[1], QStringLiteral("Kometen rot"));
        QCOMPARE(w.Rehearsal->Label13->text(), QStringLiteral("Eintrag 2 jetzt bei 00:00:18."));
        QCOMPARE(w.Rehearsal->Picture1->selectedSlot(), 1);
        QCOMPARE(w.document().undoStack().count(), 2);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.list().times[1], 19);

        QTest::mouseClick(w.Rehearsal->Picture1, Qt::LeftButton, Qt::NoModifier, markPoint(w, 2));
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Delete);
        QCOMPARE(w.document().entryCount(), 2);
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Eintrag 3 (00:00:21, C03) gelöscht – Strg+Z holt ihn zurück."));
        QCOMPARE(w.Rehearsal->Picture1->selectedSlot(), -1);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.document().entryCount(), 3);
        // The deletion it spoke of is undone: the notice goes.
        QCOMPARE(w.Rehearsal->Label13->text(), QString());
    }

    // With four devices at the default size every mark has its number, on every lane.
    void everyMarkHasItsNumberOnFourLanes()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        ShotList list = ShotList::startup();
        for (int i = 0; i < 24; ++i) {
            list.times[i] = 8 * i;
            list.circuits[i] = qint16((i % 4) * 32 + i);
        }
        w.document().reset(list);
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        const TimelineDrawn drawn = w.Rehearsal->Picture1->drawnLanes();
        QCOMPARE(drawn.lanes.size(), 4);
        QCOMPARE(drawn.marks.size(), 24);
        for (const TimelineMark& mark : drawn.marks)
            QVERIFY2(!mark.number.isEmpty(), qPrintable(QString::number(mark.slot + 1)));
        QVERIFY(drawn.unnumbered.isEmpty());
    }

    // Where marks are too dense for their numbers, the tool tip over the stretch names them; the
    // selected mark always shows its number, and its line in List2 is selected, and the other way round.
    void denseMarksNameTheirNumbersAndFollowTheSelection()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        ShotList list = ShotList::startup();
        for (int i = 0; i < 30; ++i) {
            list.times[i] = 100 + i;
            list.circuits[i] = qint16(32 + i);
        }
        list.times[30] = 600;
        list.circuits[30] = 0;
        w.document().reset(list);
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        WaveformView* picture = w.Rehearsal->Picture1;
        TimelineDrawn drawn = picture->drawnLanes();
        QVERIFY(!drawn.unnumbered.isEmpty());
        const TimelineStretch stretch = drawn.unnumbered.first();
        const int hidden = stretch.entrySlots[1];
        const QRectF lanes = picture->lanesRect();
        const int row = int(drawn.lanes.indexOf(stretch.lane));
        const QPoint over(int(picture->xOf((stretch.fromSeconds + stretch.toSeconds) / 2)),
            int(lanes.top() + (row + 0.5) * lanes.height() / drawn.lanes.size()));
        QHelpEvent help(QEvent::ToolTip, over, picture->mapToGlobal(over));
        QApplication::sendEvent(picture, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(
            QToolTip::text().contains(QStringLiteral(", %1,").arg(hidden + 1)), qPrintable(QToolTip::text()));

        // List2 -> picture: the selected mark shows its number.
        w.List2->setCurrentRow(hidden);
        QCOMPARE(picture->selectedSlot(), hidden);
        drawn = picture->drawnLanes();
        for (const TimelineMark& mark : drawn.marks) {
            if (mark.slot == hidden)
                QVERIFY(!mark.number.isEmpty());
        }
        // Picture -> List2.
        QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, markPoint(w, 30));
        QCOMPARE(picture->selectedSlot(), 30);
        QCOMPARE(w.List2->currentRow(), 30);
        QVERIFY(w.List2->item(30)->isSelected());
        // A mark moved by the page keeps its line selected.
        QTest::keyClick(picture, Qt::Key_Left);
        QCOMPARE(w.list().times[30], 599);
        QCOMPARE(w.List2->currentRow(), 30);
    }

    // A list that replaces one with music starting earlier (a receive, an import, a list without music)
    // shows the show time and the next shot from its own Musikbeginn.
    void showTimeFollowsTheNewListsMusicStart_data()
    {
        QTest::addColumn<int>("startTenths");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("next");
        QTest::newRow("received, no music") << 0 << "Showzeit 00:00:00"
                                            << "in 5 s";
        QTest::newRow("imported, music later") << 20 << "Showzeit 00:00:02"
                                               << "in 3 s";
    }
    void showTimeFollowsTheNewListsMusicStart()
    {
        QFETCH(int, startTenths);
        QFETCH(QString, clock);
        QFETCH(QString, next);
        Form1 w(std::make_unique<ScriptedPrompter>());
        ListMeta before;
        before.musicStartTenths = -30;
        w.document().reset(ListWithTimes({ 5, 8 }), before);
        QCOMPARE(w.Rehearsal->Label14->text(), QStringLiteral("Showzeit −00:00:03"));
        ListMeta after;
        after.musicStartTenths = startTenths;
        QVERIFY(w.document().replace(
            w.document().revision(), ListWithTimes({ 5, 8 }), after, QStringLiteral("Empfang")));
        QCOMPARE(w.Rehearsal->Label14->text(), clock);
        QVERIFY2(w.Rehearsal->Label15->text().endsWith(next), qPrintable(w.Rehearsal->Label15->text()));
    }

    // Another track chosen while the view shows a late part of a long one: the cursor, at the new
    // music's start, is in sight.
    void anotherTrackShowsTheCursor()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("lang.wav"), 120.0), 0));
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        WaveformView* picture = w.Rehearsal->Picture1;
        for (int i = 0; i < 6; ++i)
            picture->zoomIn();
        w.Rehearsal->HScroll1->setValue(w.Rehearsal->HScroll1->maximum());
        QVERIFY(picture->viewFrom() > 60);
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("kurz.wav"), 100.0), 50));
        const double cursor = picture->cursorTime() / 1000.0;
        QCOMPARE(cursor, 5.0);
        QVERIFY2(cursor >= picture->viewFrom() && cursor <= picture->viewTo(),
            qPrintable(
                QStringLiteral("%1 in %2..%3").arg(cursor).arg(picture->viewFrom()).arg(picture->viewTo())));
    }

    // "+" and "−" zoom around the cursor, Strg+wheel around the pointer; a click elsewhere than on a mark
    // moves the cursor there.
    void zoomAndCursorClick()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        EditList(w, [](ShotList& list) { list.times[1] = 100; });
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("klick.wav"), 120.0), -50));
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        QCOMPARE(w.Rehearsal->Picture1->rangeFrom(), -5.0);
        QCOMPARE(w.Rehearsal->Picture1->rangeTo(), 115.0);
        const double fit = w.Rehearsal->Picture1->pixelsPerSecond();
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Plus);
        QVERIFY(w.Rehearsal->Picture1->pixelsPerSecond() > fit * 1.4);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Minus);
        QCOMPARE(w.Rehearsal->Picture1->pixelsPerSecond(), fit);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Minus);
        QCOMPARE(w.Rehearsal->Picture1->pixelsPerSecond(), fit); // the whole track is the widest view
        QWheelEvent wheel(QPointF(300, 50), w.Rehearsal->Picture1->mapToGlobal(QPointF(300, 50)), QPoint(),
            QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.Rehearsal->Picture1, &wheel);
        QVERIFY(w.Rehearsal->Picture1->pixelsPerSecond() > fit * 1.4);
        QVERIFY(w.Rehearsal->HScroll1->maximum() > 0);

        const double at = w.Rehearsal->Picture1->viewFrom() + 7.0;
        QTest::mouseClick(w.Rehearsal->Picture1, Qt::LeftButton, Qt::NoModifier,
            QPoint(int(std::lround(w.Rehearsal->Picture1->xOf(at))), 20));
        const double pixel = 1000 / w.Rehearsal->Picture1->pixelsPerSecond();
        const qint64 show = ShowTimeMs(w.Rehearsal->MediaPlayer1->position(), -50);
        QVERIFY2(std::abs(show - at * 1000) <= pixel, qPrintable(QString::number(show)));
        QCOMPARE(w.Rehearsal->Picture1->cursorTime(), show);
        QCOMPARE(w.Rehearsal->Label14->text(), QStringLiteral("Showzeit ") + ShowClock(show));
    }

    // Playing moves the cursor and the clock, lights a mark as the cursor passes it, and "Stopp" goes
    // back to the start.
    void playbackMovesTheCursorAndLightsMarks()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        EditList(w, [](ShotList& list) {
            list.times[0] = 1;
            list.circuits[0] = 32 + 5;
            list.effects[0] = QStringLiteral("Kometen rot");
        });
        QVERIFY(setMusic(w, writeMusic(dir, QStringLiteral("klick.wav"), 2.5), 0));
        QVERIFY(showOnPage(w, w.Rehearsal->Command6[1]));
        QCOMPARE(w.Rehearsal->Label15->text(),
            QStringLiteral("nächster Schuss: Nr. 001  B05  Kometen rot in 1 s"));
        const QPoint mark = markPoint(w, 0);
        const auto markColour = [&] { return w.Rehearsal->Picture1->grab().toImage().pixelColor(mark); };
        QCOMPARE(markColour(), QColor(Qt::black));
        QVERIFY(playFrom(w, 0));
        QTRY_VERIFY_WITH_TIMEOUT(markColour() == QColor(220, 80, 0), 5000);
        QCOMPARE(w.Rehearsal->Label15->text(), QStringLiteral("nächster Schuss: –"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Rehearsal->Command6[1]->text(), QStringLiteral("Abspielen"), 10000);
        QCOMPARE(w.Rehearsal->Label14->text(), QStringLiteral("Showzeit 00:00:02"));
        QTest::mouseClick(w.Rehearsal->Command6[2], Qt::LeftButton);
        QCOMPARE(w.Rehearsal->Label14->text(), QStringLiteral("Showzeit 00:00:00"));
        QCOMPARE(markColour(), QColor(Qt::black));
    }
};

KELTO_TEST_MAIN(TestMusicPage)
#include "tst_music_page.moc"
