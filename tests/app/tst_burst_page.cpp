#include "effects/burst_timing.h"
#include "effects/catalogue_store.h"
#include "effects/effect_catalogue.h"
#include "files/list_file.h"
#include "form1.h"
#include "music/playback_clock.h"
#include "music/show_time.h"
#include "music/waveform_reader.h"
#include "music_files.h"
#include "rehearsal_page.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "waveform_view.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

const QString Bombe = QStringLiteral("Bombe 75 mm");

ScriptedPrompter& boxes(Form1& w) { return static_cast<ScriptedPrompter&>(w.prompter()); }

// Clicks every 500 ms over a quiet hum, mono 8 kHz.
double clickTrack(double t, int)
{
    const double sinceClick = std::fmod(t, 0.5);
    return (sinceClick < 0.005 ? 0.9 : 0.05) * std::sin(2 * M_PI * 440 * t);
}

bool setMusic(Form1& w, const QTemporaryDir& dir, qint32 startTenths)
{
    const QString path = dir.filePath(QStringLiteral("klick.wav"));
    if (!WriteWav(path, 8000, 1, 40.0, clickTrack))
        return false;
    w.document().setMusic(w.document().revision(), path);
    w.document().setMusicStart(w.document().revision(), startTenths);
    return QTest::qWaitFor(
        [&] {
            return w.Rehearsal->MediaPlayer1->duration() > 0 && !w.Rehearsal->WaveReader1->isReading()
                && !w.Rehearsal->Label12->text().contains(QStringLiteral("wird gelesen"));
        },
        20000);
}

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

EffectData effect(const QString& name, qint32 prefireTenths, qint32 durationTenths)
{
    EffectData data;
    data.name = name;
    data.prefireTenths = prefireTenths;
    data.durationTenths = durationTenths;
    return data;
}

// The user's catalogue (kept between windows in the test's settings folder): the Bombe with Vorlauf
// 3,2 s and Dauer 2,5 s.
void useCatalogue(Form1& w)
{
    EffectCatalogue catalogue;
    QVERIFY(catalogue.add(effect(Bombe, 32, 25)).isEmpty());
    w.Catalogue->model().setCatalogue(catalogue);
}

// Types the effect into the box beside "Tippen" and leaves it with Enter.
void chooseEffect(Form1& w, const QString& name)
{
    QLineEdit* field = w.Rehearsal->Combo20->lineEdit();
    field->setFocus();
    field->selectAll();
    for (const QChar c : name) {
        if (c.unicode() < 128)
            QTest::keyClick(field, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    w.Rehearsal->Combo20->completer()->popup()->hide();
    QTest::keyClick(field, Qt::Key_Return);
}

// Entries at the seconds given on B01.., each a Bombe 75 mm (Vorlauf 3,2 s, Dauer 2,0 s) with the
// target given in music time (NoTarget for none).
void loadShow(Form1& w, const QList<int>& seconds, const QList<qint32>& targets, qint32 startTenths = 0)
{
    ShotList list = ListWithTimes(seconds);
    for (int i = 0; i < seconds.size(); ++i) {
        list.circuits[i] = qint16(32 + 1 + i);
        list.effects[i] = Bombe;
        list.targets[i] = targets[i];
    }
    ListMeta meta;
    meta.musicStartTenths = startTenths;
    meta.effectData.insert(Bombe, effect(Bombe, 32, 20));
    w.document().reset(list, meta);
}

} // namespace

class TestBurstPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // With an effect chosen, a tap marks when it is seen: the ignition lies its Vorlauf earlier, the
    // tapped moment stays as the target in music time, the catalogue's data comes into the list, all as
    // one undo step; the list file keeps the target.
    void tappedEffectIgnitesItsVorlaufEarlier()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        useCatalogue(w);
        w.document().reset(ListWithTimes({ 0 }));
        QVERIFY(setMusic(w, dir, 15));
        QVERIFY(showOnPage(w, w.Rehearsal->Command6[2]));
        QVERIFY(w.Rehearsal->Combo20->findText(Bombe) >= 0);
        QTest::mouseClick(w.Rehearsal->Check1, Qt::LeftButton);
        chooseEffect(w, QStringLiteral("Bombe 75 mm"));
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Getippt wird „Bombe 75 mm“ (Vorlauf 3,2 s): jeder Tap setzt den Effekt, gezündet "
                           "wird um den Vorlauf früher."));
        w.Rehearsal->Command6[2]->setFocus();
        const int steps = w.document().undoStack().count();
        QVERIFY(playFrom(w, 20000));

        const qint64 before = ShowTimeMs(w.Rehearsal->MediaPlayer1->position(), 15);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        const qint64 after = ShowTimeMs(w.Rehearsal->MediaPlayer1->position(), 15);
        w.Rehearsal->MediaPlayer1->pause();
        QCOMPARE(w.document().entryCount(), 2);
        QCOMPARE(w.document().undoStack().count(), steps + 1);
        const int row = w.Rehearsal->Picture1->selectedSlot();
        QCOMPARE(row, 1);
        const qint32 second = w.list().times[row];
        QVERIFY2(second == IgnitionForBurst(before, 3200) || second == IgnitionForBurst(after, 3200),
            qPrintable(QStringLiteral("%1 for %2..%3 ms").arg(second).arg(before).arg(after)));
        QCOMPARE(w.list().effects[row], Bombe);
        const qint32 target = w.list().targets[row];
        QVERIFY2(target >= before - 1500 && target <= after - 1500, qPrintable(QString::number(target)));
        QCOMPARE(w.document().meta().effectData.value(Bombe), effect(Bombe, 32, 25));
        QVERIFY2(
            w.Rehearsal->Label13->text().startsWith(
                QStringLiteral("Eintrag 2 auf A00 getippt, Bombe 75 mm: Zündung %1, Effekt bei %2 (Ziel %3).")
                    .arg(ShowClock(second * 1000), ShowClockTenths(second * 1000 + 3200),
                        ShowClockTenths(target + 1500))),
            qPrintable(w.Rehearsal->Label13->text()));
        QVERIFY(w.Rehearsal->Label13->text().endsWith(
            QStringLiteral("aus dem Katalog in die Liste übernommen.")));
        QVERIFY2(w.Rehearsal->Label30->text().startsWith(QStringLiteral("Abweichung vom Takt: im Mittel 0,")),
            qPrintable(w.Rehearsal->Label30->text()));

        // Read back from the list file, target and data are there.
        const QString path = dir.filePath(QStringLiteral("show.fsl"));
        QString error;
        QVERIFY2(WriteListFile(path, w.list(), w.document().meta(), &error), qPrintable(error));
        const ListFileRead read = ReadListFile(path);
        QVERIFY(read.ok());
        QCOMPARE(read.list.targets[row], target);
        QCOMPARE(read.list.times[row], second);
        QCOMPARE(read.meta.effectData.value(Bombe).prefireTenths, std::optional<qint32>(32));

        // One step takes the entry and the copied data back.
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.document().entryCount(), 1);
        QVERIFY(!w.document().meta().effectData.contains(Bombe));
        QCOMPARE(w.Rehearsal->Label30->text(), QStringLiteral("Keine Einträge mit Ziel."));
    }

    void refusedTapSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("seekMs");
        QTest::addColumn<QString>("notice");
        QTest::newRow("ignition before the start")
            << Bombe << qint64(1000) << "vor dem Beginn der Sequenz (00:00:00) – nichts hinzugefügt.";
        QTest::newRow("second taken") << Bombe << qint64(13200) << "In dieser Sekunde steht schon Eintrag 1";
        QTest::newRow("unknown effect") << QStringLiteral("Vulkan grün") << qint64(20000)
                                        << "„Vulkan grün“ steht weder in der Liste noch";
        QTest::newRow("other case: completed to the catalogue's name")
            << QStringLiteral("bombe 75 mm") << qint64(20000) << "getippt, Bombe 75 mm: Zündung 00:00:17";
        QTest::newRow("no Vorlauf") << QStringLiteral("Fontäne") << qint64(20000)
                                    << "Die Liste kennt für „Fontäne“ keinen Vorlauf";
    }
    void refusedTapSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(qint64, seekMs);
        QFETCH(QString, notice);
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        useCatalogue(w);
        ShotList list = ListWithTimes({ 10 });
        ListMeta meta;
        EffectData fountain;
        fountain.name = QStringLiteral("Fontäne");
        fountain.durationTenths = 300;
        meta.effectData.insert(fountain.name, fountain);
        w.document().reset(list, meta);
        QVERIFY(setMusic(w, dir, 0));
        QVERIFY(showOnPage(w, w.Rehearsal->Command6[2]));
        w.Rehearsal->Check1->setChecked(true);
        chooseEffect(w, name);
        w.Rehearsal->Command6[2]->setFocus();
        const int steps = w.document().undoStack().count();
        QVERIFY(playFrom(w, seekMs));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        w.Rehearsal->MediaPlayer1->pause();
        QVERIFY2(w.Rehearsal->Label13->text().contains(notice), qPrintable(w.Rehearsal->Label13->text()));
        const bool added = notice.contains(QStringLiteral("getippt"));
        QCOMPARE(w.document().entryCount(), added ? 2 : 1);
        QCOMPARE(w.document().undoStack().count(), steps + (added ? 1 : 0));
    }

    // "An die Musik anpassen" moves the entry whose burst lies nearer another second, as one undo step.
    void alignMovesTowardsTheTargets()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        // Bursts at 13,2 / 23,2 / 33,2 s; targets 13,4 / 23,9 / 33,0 s: only the second is better a
        // second later; the fourth has no target.
        loadShow(w, { 10, 20, 30, 40 }, { 13400, 23900, 33000, NoTarget });
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        QCOMPARE(w.Rehearsal->Label30->text(),
            QStringLiteral("Abweichung vom Takt: im Mittel 0,37 s, höchstens 0,70 s (Nr. 2)"));
        QTest::mouseClick(w.Rehearsal->Picture1, Qt::LeftButton, Qt::NoModifier, markPoint(w, 1));
        QCOMPARE(w.Rehearsal->Picture1->selectedSlot(), 1);
        QVERIFY2(
            w.Rehearsal->Label13->text().endsWith(QStringLiteral("Ziel 00:00:23,9, Abweichung −0,70 s.")),
            qPrintable(w.Rehearsal->Label13->text()));
        QTest::mouseClick(w.Rehearsal->Command20, Qt::LeftButton);
        QCOMPARE(w.Rehearsal->Label13->text(), QStringLiteral("1 Eintrag angepasst."));
        QCOMPARE(w.list().times[1], 21);
        QCOMPARE(w.list().targets[1], 23900);
        QCOMPARE(w.document().undoStack().count(), 1);
        QCOMPARE(w.Rehearsal->Label30->text(),
            QStringLiteral("Abweichung vom Takt: im Mittel 0,23 s, höchstens 0,30 s (Nr. 2)"));
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.list().times[1], 20);
    }

    // Entries that would take a taken second are named and left; without targets nothing is done.
    void alignNamesWhatItLeaves()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        loadShow(w, { 10, 11, 20 }, { 14200, 14300, NoTarget });
        QVERIFY(showOnPage(w, w.Rehearsal->Command20));
        QTest::keyClick(w.Rehearsal->Command20, Qt::Key_Space);
        QVERIFY2(w.Rehearsal->Label13->text().contains(QStringLiteral("Sekunde schon besetzt wäre")),
            qPrintable(w.Rehearsal->Label13->text()));
        loadShow(w, { 10, 20 }, { NoTarget, NoTarget });
        QTest::keyClick(w.Rehearsal->Command20, Qt::Key_Space);
        QCOMPARE(w.Rehearsal->Label13->text(),
            QStringLiteral("Kein Eintrag hat ein Ziel: erst mit einem gewählten Effekt tippen."));
        QTest::mouseClick(w.Rehearsal->Command21, Qt::LeftButton);
        QVERIFY(w.Rehearsal->Label13->text().startsWith(QStringLiteral("Kein Eintrag hat ein Ziel")));
        QVERIFY(boxes(w).asked.isEmpty());
        QCOMPARE(w.document().undoStack().count(), 0);
    }

    void bestMusicStartAsksAndAppliesOneStep_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Ja") << int(Prompter::Answer::Yes);
        QTest::newRow("Nein") << int(Prompter::Answer::No);
    }
    void bestMusicStartAsksAndAppliesOneStep()
    {
        QFETCH(int, answer);
        Form1 w(std::make_unique<ScriptedPrompter>());
        // Every burst 0,4 s after its target at Musikbeginn 0: a start 0,4 s earlier meets them all.
        loadShow(w, { 10, 20, 30 }, { 13600, 23600, 33600 }, 0);
        const std::optional<MusicStartProposal> expected
            = BestMusicStart(w.list(), w.document().entryCount(), w.document().meta().effectData, 0);
        QVERIFY(expected);
        QVERIFY(showOnPage(w, w.Rehearsal->Command21));
        boxes(w).answers.enqueue(Prompter::Answer(answer));
        QTest::keyClick(w.Rehearsal->Command21, Qt::Key_Space);
        QCOMPARE(boxes(w).asked.size(), 1);
        QCOMPARE(boxes(w).asked[0].text,
            QStringLiteral(
                "Musikbeginn %1 s statt %2 s: größte Abweichung 0,00 s statt 0,40 s, im Mittel 0,00 s "
                "statt 0,40 s. Übernehmen?")
                .arg(MusicStartText(-4), MusicStartText(0)));
        QCOMPARE(expected->startTenths, -4);
        if (Prompter::Answer(answer) == Prompter::Answer::No) {
            QCOMPARE(w.document().undoStack().count(), 0);
            QCOMPARE(w.document().meta().musicStartTenths, 0);
            return;
        }
        QCOMPARE(w.document().meta().musicStartTenths, expected->startTenths);
        QCOMPARE(w.Rehearsal->Text4->text(), MusicStartText(expected->startTenths));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w.list().times[i], expected->plan.list.times[i]);
        QCOMPARE(w.document().undoStack().count(), 1);
        QTest::keyClick(w.Rehearsal->Picture1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.document().meta().musicStartTenths, 0);
        QCOMPARE(w.list().times[0], 10);
    }

    // While the music plays a new Musikbeginn would move the show clock under it: refused, no box.
    void bestMusicStartWaitsForPause()
    {
        QTemporaryDir dir;
        Form1 w(std::make_unique<ScriptedPrompter>());
        loadShow(w, { 10, 20, 30 }, { 13600, 23600, 33600 }, 0);
        QVERIFY(setMusic(w, dir, 0));
        QVERIFY(showOnPage(w, w.Rehearsal->Command21));
        QVERIFY(playFrom(w, 1000));
        QTest::mouseClick(w.Rehearsal->Command21, Qt::LeftButton);
        QVERIFY(w.Rehearsal->Label13->text().startsWith(QStringLiteral("Erst „Pause“")));
        QVERIFY(boxes(w).asked.isEmpty());
        QCOMPARE(w.document().meta().musicStartTenths, 0);
    }

    // Dead air longer than the threshold is listed; the threshold follows the spin box.
    void gapsFollowTheThreshold()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.document().reset(ListWithTimes({ 0, 1, 10, 15 }));
        QVERIFY(showOnPage(w, w.Rehearsal->Spin20));
        QCOMPARE(w.Rehearsal->Spin20->value(), 3);
        QCOMPARE(w.Rehearsal->Label31->text(), QStringLiteral("Pause im Himmel: 00:01–00:10, 00:10–00:15"));
        QTest::keyClick(w.Rehearsal->Spin20, Qt::Key_Up);
        QTest::keyClick(w.Rehearsal->Spin20, Qt::Key_Up);
        QCOMPARE(w.Rehearsal->Label31->text(), QStringLiteral("Pause im Himmel: 00:01–00:10"));
        QCOMPARE(w.Rehearsal->Picture1->skyGaps().size(), 1);
        w.Rehearsal->Spin20->setValue(10);
        QCOMPARE(w.Rehearsal->Label31->text(), QStringLiteral("Keine Pause im Himmel über 10 s."));
    }

    // A shot with data stands at its burst with a line back to its ignition and its Dauer as a bar;
    // one without stays at its ignition; gaps are shaded; a click on the burst selects the entry.
    void pictureDrawsBurstsAndBars()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        loadShow(w, { 2, 20 }, { 5300, NoTarget });
        ShotList list = w.list();
        list.effects[1].clear();
        w.document().reset(list, w.document().meta());
        QVERIFY(showOnPage(w, w.Rehearsal->Picture1));
        WaveformView* view = w.Rehearsal->Picture1;
        const QImage image = view->grab().toImage();
        const QRectF lanes = view->lanesRect();
        const int mid = int(lanes.top() + lanes.height() / 2); // one lane: B
        const auto at
            = [&](double seconds) { return image.pixelColor(int(std::lround(view->xOf(seconds))), mid); };
        // Lines one pixel wide: the row above or below may hold them.
        const auto near = [&](double seconds, auto test) {
            const int x = int(std::lround(view->xOf(seconds)));
            for (int dx = -1; dx <= 1; ++dx) {
                for (int dy = -1; dy <= 1; ++dy) {
                    if (test(image.pixelColor(x + dx, mid + dy)))
                        return true;
                }
            }
            return false;
        };
        const auto dark = [](const QColor& c) { return c.lightness() < 60; };
        const QColor background = view->palette().color(QPalette::Base);
        // The line from the ignition at 2 s to the burst at 5,2 s, and the mark at the burst.
        QVERIFY(near(3.6, [](const QColor& c) { return c == QColor(120, 120, 120); }));
        QVERIFY(near(5.2, dark));
        QVERIFY(!near(2.5, dark));
        const QColor bar = at(6.2);
        QVERIFY2(bar.red() > bar.blue() + 90, qPrintable(bar.name()));
        QVERIFY2(at(7.5).red() - at(7.5).blue() < 60, qPrintable(at(7.5).name())); // after the Dauer
        QVERIFY(near(20, dark)); // no data: at its ignition
        QVERIFY2(at(21).red() - at(21).blue() < 60, qPrintable(at(21).name())); // no bar
        // 7,2 .. 20 s is dead air: shaded.
        QVERIFY(at(14) != background);
        QCOMPARE(w.Rehearsal->Label31->text(), QStringLiteral("Pause im Himmel: 00:07–00:20"));
        // The target tick above the burst.
        bool tick = false;
        const int xt = int(std::lround(view->xOf(5.3)));
        for (int y = int(lanes.top()); y < mid; ++y)
            tick = tick || image.pixelColor(xt, y).green() > image.pixelColor(xt, y).red() + 60;
        QVERIFY(tick);
        QTest::mouseClick(
            view, Qt::LeftButton, Qt::NoModifier, QPoint(int(std::lround(view->xOf(5.2))), mid));
        QCOMPARE(view->selectedSlot(), 0);
    }

private:
    static QPoint markPoint(Form1& w, int slot)
    {
        const QList<int> lanes = TimelineLanes(w.list());
        const QRectF rect = w.Rehearsal->Picture1->lanesRect();
        const int lane = int(lanes.indexOf(TimelineLaneOf(w.list().circuits[slot])));
        const double laneH = rect.height() / lanes.size();
        return QPoint(int(std::lround(w.Rehearsal->Picture1->xOf(
                          w.Rehearsal->Picture1->skyMarks()[slot].seenMs() / 1000.0))),
            int(rect.top() + (lane + 0.5) * laneH));
    }
};

KELTO_TEST_MAIN(TestBurstPage)
#include "tst_burst_page.moc"
