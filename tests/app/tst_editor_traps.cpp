#include "editor_page.h"
#include "scripted_prompter.h"
#include "test_main.h"

#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QUndoStack>

namespace {

using Times = QList<int>;
enum Field { EntryNumber, Since, Until, Circuit };

struct Editor {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
};

} // namespace

class TestEditorTraps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Entf in a field and leaving it stores nothing: the field shows the stored value again.
    void emptiedFieldStoresNothing_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("byEnter");
        for (int field : { EntryNumber, Since, Until, Circuit }) {
            QTest::addRow("field %d, Enter", field) << field << true;
            QTest::addRow("field %d, another line", field) << field << false;
        }
    }
    void emptiedFieldStoresNothing()
    {
        QFETCH(int, field);
        QFETCH(bool, byEnter);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, EvenlySpaced(30, 10), QList<qint16>(30, 37)));
        const ShotList before = e.w.list();
        ClickListLine(e.w, 15);
        ClickInto(e.w.Text2[field]);
        QTest::keyClick(e.w.Text2[field], Qt::Key_Delete);
        if (byEnter)
            QTest::keyClick(e.w.Text2[field], Qt::Key_Return);
        else
            ClickListLine(e.w, 20);

        const int line = byEnter ? 15 : 20;
        QVERIFY(SameList(e.w.list(), before));
        QCOMPARE(e.w.document().undoStack().count(), 0);
        QVERIFY(e.prompter->asked.isEmpty());
        QCOMPARE(e.w.List2->currentRow(), line);
        QCOMPARE(
            e.w.Text2[field]->text(), QStringList({ QString::number(line + 1), "10", "10", "5" })[field]);
    }

    // A device chosen for the line is stored with the number shown when the user leaves the line.
    void chosenDeviceIsStoredOnLeavingTheLine_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("notice");
        QTest::newRow("another line") << 1 << "line" << 74 << "";
        QTest::newRow("another page") << 1 << "page" << 74 << "";
        QTest::newRow("on to the number, then another line") << 1 << "number" << 74 << "";
        QTest::newRow("entry without circuit keeps none")
            << 0 << "line" << int(NoCircuit) << "Nr. 001: Zündgerät C ohne Kreisnummer – nichts gespeichert.";
    }
    void chosenDeviceIsStoredOnLeavingTheLine()
    {
        QFETCH(int, line);
        QFETCH(QString, leave);
        QFETCH(int, code);
        QFETCH(QString, notice);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10, 20, 30 }, { NoCircuit, 10 }));
        const qint16 before = e.w.list().circuits[line];
        ClickListLine(e.w, line);
        e.w.Combo2->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(e.w.Combo2, Qt::Key_C);
        if (leave == "number")
            QTest::keyClick(e.w.Combo2, Qt::Key_Tab);
        QCOMPARE(e.w.list().circuits[line], before);
        if (leave == "page") {
            QTabBar* tabs = e.w.SSTab1->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
            QCOMPARE(e.w.SSTab1->currentIndex(), 0);
        } else {
            ClickListLine(e.w, 3);
            QCOMPARE(QApplication::focusWidget(), e.w.List2);
        }
        QCOMPARE(e.w.list().circuits[line], qint16(code));
        QCOMPARE(e.w.Label9->text(), notice);
        QCOMPARE(e.w.document().undoStack().count(), code == before ? 0 : 1);
    }

    // A commit that stores another value than the one typed, or nothing, says so below the fields
    // until the next change.
    void noticeSaysWhatWasStored_data()
    {
        QTest::addColumn<Times>("before");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Times>("after");
        QTest::addColumn<QString>("notice");
        const Times four { 0, 10, 20, 30 };
        QTest::newRow("until above 999") << four << 3 << int(Until) << "5000" << Times { 0, 10, 20, 30, 1029 }
                                         << "Nr. 004: 5000 s ist mehr als 999 s – 999 s gespeichert.";
        QTest::newRow("since 0 off the first entry")
            << four << 2 << int(Since) << "0" << four
            << "Nr. 003: 0 s seit der letzten Zündung gehen nur beim ersten Eintrag – nichts geändert.";
        // Rounded before the shift: every later entry moves by the same whole seconds.
        QTest::newRow("half a second keeps the later gaps")
            << Times { 0, 11, 22, 33 } << 1 << int(Since) << "2.5" << Times { 0, 2, 13, 24 }
            << "Nr. 002: 2.5 s auf ganze Sekunden gerundet – 2 s gespeichert.";
        QTest::newRow("since below the end of the list")
            << four << 6 << int(Since) << "5" << four
            << "Nr. 007: Die Liste endet mit Nr. 004; anfügen geht nur auf Nr. 005 – nichts geändert.";
        QTest::newRow("full list") << EvenlySpaced(EntryCount, 5) << 169 << int(Until) << "20"
                                   << EvenlySpaced(EntryCount, 5)
                                   << "Nr. 170: Die Liste ist voll (170 Einträge) – nichts angefügt.";
        QTest::newRow("entries pushed past 18:07:59")
            << Times { 0, 10, 64500, 65000, 65100 } << 1 << int(Since) << "999" << Times { 0, 999 }
            << "Nr. 002: Nr. 003 bis Nr. 005 lägen nach 18:07:59 und sind gelöscht.";
        QTest::newRow("entry number above 170") << four << 1 << int(EntryNumber) << "500" << four
                                                << "Eintrag 500 gibt es nicht – Nr. 170 gewählt.";
        QTest::newRow("gap as typed") << four << 1 << int(Until) << "15" << Times { 0, 10, 25, 35 } << "";
    }
    void noticeSaysWhatWasStored()
    {
        QFETCH(Times, before);
        QFETCH(int, line);
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(Times, after);
        QFETCH(QString, notice);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, before));
        e.w.List2->setCurrentRow(line);
        e.w.Label9->setText(QStringLiteral("earlier"));
        ClickInto(e.w.Text2[field]);
        QTest::keyClicks(e.w.Text2[field], typed);
        QTest::keyClick(e.w.Text2[field], Qt::Key_Return);

        QCOMPARE(EntryTimes(e.w), after);
        QCOMPARE(e.w.Label9->text(), notice);
        ClickListLine(e.w, 0);
        QCOMPARE(e.w.Label9->text(), notice);
        QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.w.Label9->text(), after == before ? notice : QString());
    }
};

KELTO_TEST_MAIN(TestEditorTraps)
#include "tst_editor_traps.moc"
