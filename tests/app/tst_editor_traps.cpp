#include "editor_page.h"
#include "scripted_prompter.h"
#include "test_main.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QUndoStack>

namespace {

using Times = QList<int>;

enum Field { EntryNumber, Since, Until, Circuit };

struct Editor {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
};

Times evenlySpaced(int count, int gap)
{
    Times times;
    for (int i = 0; i < count; ++i)
        times.append(i * gap);
    return times;
}

// Enters the field by a click, as a user does: its whole text is selected.
void clickInto(QLineEdit* field)
{
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 3, 5));
}

} // namespace

class TestEditorTraps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Entf in a field and leaving it stores nothing: the field shows the stored value again.
    void emptiedFieldStoresNothing_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<QString>("left"); // typed after Entf
        for (int field : { EntryNumber, Since, Until, Circuit }) {
            for (const char* leave : { "Enter", "another line", "another field" })
                QTest::addRow("field %d, %s", field, leave) << field << QString(leave) << QString();
        }
        QTest::newRow("blanks left in the circuit number") << int(Circuit) << "another line"
                                                           << " \t ";
        QTest::newRow("blanks left in until") << int(Until) << "Enter"
                                              << "  ";
    }
    void emptiedFieldStoresNothing()
    {
        QFETCH(int, field);
        QFETCH(QString, leave);
        QFETCH(QString, left);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, evenlySpaced(30, 10), QList<qint16>(30, 37)));
        const ShotList before = e.w.list();
        ClickListLine(e.w, 15);
        clickInto(e.w.Text2[field]);
        QTest::keyClick(e.w.Text2[field], Qt::Key_Delete);
        QCOMPARE(e.w.Text2[field]->text(), QString());
        QTest::keyClicks(e.w.Text2[field], left);

        int line = 15;
        if (leave == "Enter") {
            QTest::keyClick(e.w.Text2[field], Qt::Key_Return);
        } else if (leave == "another line") {
            ClickListLine(e.w, 20);
            line = 20;
        } else {
            clickInto(e.w.Text2[field == Since ? Until : Since]);
        }

        QVERIFY(SameList(e.w.list(), before));
        QCOMPARE(e.w.document().undoStack().count(), 0);
        QVERIFY(e.prompter->asked.isEmpty());
        QCOMPARE(e.w.List2->currentRow(), line);
        const QStringList stored { QString::number(line + 1), "10", "10", "5" };
        QCOMPARE(e.w.Text2[field]->text(), stored[field]);
        QCOMPARE(e.w.Combo2->currentIndex(), 1);
        QCOMPARE(e.w.Label9->text(), QString());
    }

    // A device chosen for the selected line is kept: stored with the number shown when the user leaves
    // the line, one step to take back.
    void chosenDeviceIsStoredOnLeavingTheLine_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("notice");
        QTest::newRow("another line") << 1 << "line" << 74 << "";
        QTest::newRow("another page") << 1 << "page" << 74 << "";
        QTest::newRow("another field of the line") << 1 << "field" << 74 << "";
        QTest::newRow("on to the number, then another line") << 1 << "number" << 74 << "";
        QTest::newRow("picked in the drop-down, then another line") << 1 << "drop-down" << 74 << "";
        QTest::newRow("on to the emptied number, then another line") << 1 << "emptied" << 74 << "";
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
        QVERIFY(OpenEditorPage(e.w, { 0, 10, 20, 30 }, { NoCircuit, 10, 3 }));
        const qint16 before = e.w.list().circuits[line];
        ClickListLine(e.w, line);
        QTest::mouseClick(e.w.Combo2, Qt::LeftButton);
        QTRY_VERIFY(e.w.Combo2->view()->isVisible());
        if (leave == "drop-down") {
            QTest::keyClick(e.w.Combo2->view(), Qt::Key_Down);
            QTest::keyClick(e.w.Combo2->view(), Qt::Key_Down);
            QTest::keyClick(e.w.Combo2->view(), Qt::Key_Return);
            QTRY_VERIFY(!e.w.Combo2->view()->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), e.w.Combo2);
        } else {
            QTest::keyClick(e.w.Combo2->view(), Qt::Key_Escape);
            QTRY_VERIFY(!e.w.Combo2->view()->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), e.w.Combo2);
            QTest::keyClick(e.w.Combo2, Qt::Key_C);
        }
        QCOMPARE(e.w.Combo2->currentText(), QStringLiteral("C (Verteiler)"));
        QCOMPARE(e.w.list().circuits[line], before);

        if (leave == "number" || leave == "emptied") {
            QTest::keyClick(e.w.Combo2, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), e.w.Text2[Circuit]);
            if (leave == "emptied")
                QTest::keyClick(e.w.Text2[Circuit], Qt::Key_Delete);
        }
        if (leave == "page") {
            ClickTab(e.w, 0);
            QCOMPARE(e.w.SSTab1->currentIndex(), 0);
            ClickTab(e.w, 2);
        } else if (leave == "field") {
            clickInto(e.w.Text2[Since]);
            QCOMPARE(QApplication::focusWidget(), e.w.Text2[Since]);
            QCOMPARE(e.w.List2->currentRow(), line);
        } else {
            ClickListLine(e.w, 3);
            QCOMPARE(QApplication::focusWidget(), e.w.List2);
            QCOMPARE(e.w.List2->currentRow(), 3);
        }

        QCOMPARE(e.w.list().circuits[line], qint16(code));
        QCOMPARE(e.w.Label9->text(), notice);
        const bool stored = code != before;
        QCOMPARE(e.w.document().undoStack().count(), stored ? 1 : 0);
        QCOMPARE(EntryTimes(e.w), Times({ 0, 10, 20, 30 }));
        if (stored) {
            QCOMPARE(e.w.document().undoStack().text(0), QStringLiteral("Zündkreis von Eintrag 2"));
            e.w.List2->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(e.w.list().circuits[line], before);
        }
    }

    // A commit that stores another value than the one typed, or nothing, says so below the fields.
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
        QTest::newRow("since above 999") << four << 1 << int(Since) << "1e4" << Times { 0, 999, 1009, 1019 }
                                         << "Nr. 002: 10000 s ist mehr als 999 s – 999 s gespeichert.";
        QTest::newRow("since 0 off the first entry")
            << four << 2 << int(Since) << "0" << four
            << "Nr. 003: 0 s seit der letzten Zündung gehen nur beim ersten Eintrag – nichts geändert.";
        QTest::newRow("since negative off the first entry")
            << four << 1 << int(Since) << "-3" << four
            << "Nr. 002: -3 s ist weniger als 0 s; 0 s seit der letzten Zündung gehen nur beim ersten "
               "Eintrag – nichts geändert.";
        QTest::newRow("since rounded") << four << 3 << int(Since) << "2.5" << Times { 0, 10, 20, 22 }
                                       << "Nr. 004: 2.5 s auf ganze Sekunden gerundet – 2 s gespeichert.";
        // Rounded before the shift: every later entry moves by the same whole seconds.
        QTest::newRow("half a second keeps the later gaps")
            << Times { 0, 11, 22, 33 } << 1 << int(Since) << "2.5" << Times { 0, 2, 13, 24 }
            << "Nr. 002: 2.5 s auf ganze Sekunden gerundet – 2 s gespeichert.";
        QTest::newRow("until rounded to the same")
            << four << 1 << int(Until) << "10.4" << four
            << "Nr. 002: 10.4 s auf ganze Sekunden gerundet – nichts geändert.";
        QTest::newRow("since without digits on the first entry")
            << Times { 5, 10 } << 0 << int(Since) << "x" << Times { 0, 10 }
            << "Nr. 001: „x“ ist keine Zahl – 0 s gespeichert.";
        QTest::newRow("since below the end of the list")
            << four << 6 << int(Since) << "5" << four
            << "Nr. 007: Die Liste endet mit Nr. 004; anfügen geht nur auf Nr. 005 – nichts geändert.";
        QTest::newRow("until on a line without entry")
            << four << 6 << int(Until) << "7" << four << "Nr. 007: Hier ist kein Eintrag – nichts geändert.";
        QTest::newRow("append behind 18:07:59")
            << Times { 0, 65100 } << 2 << int(Since) << "300" << Times { 0, 65100 }
            << "Nr. 003: Ein Eintrag nach 18:07:59 geht nicht – nichts angefügt.";
        QTest::newRow("full list") << evenlySpaced(EntryCount, 5) << 169 << int(Until) << "20"
                                   << evenlySpaced(EntryCount, 5)
                                   << "Nr. 170: Die Liste ist voll (170 Einträge) – nichts angefügt.";
        QTest::newRow("one entry pushed past 18:07:59")
            << Times { 0, 100, 65000 } << 0 << int(Until) << "400" << Times { 0, 400 }
            << "Nr. 001: Nr. 003 läge nach 18:07:59 und ist gelöscht.";
        QTest::newRow("entries pushed past 18:07:59")
            << Times { 0, 10, 64500, 65000, 65100 } << 1 << int(Since) << "999" << Times { 0, 999 }
            << "Nr. 002: Nr. 003 bis Nr. 005 lägen nach 18:07:59 und sind gelöscht.";
        QTest::newRow("clamped and entries lost")
            << Times { 0, 10, 64500 } << 0 << int(Until) << "2000" << Times { 0, 999 }
            << "Nr. 001: 2000 s ist mehr als 999 s – 999 s gespeichert. Nr. 003 läge nach 18:07:59 und ist "
               "gelöscht.";
        QTest::newRow("entry number above 170") << four << 1 << int(EntryNumber) << "500" << four
                                                << "Eintrag 500 gibt es nicht – Nr. 170 gewählt.";
        QTest::newRow("entry number 0")
            << four << 1 << int(EntryNumber) << "0" << four << "Eintrag 0 gibt es nicht – Nr. 001 gewählt.";
        QTest::newRow("entry number rounded") << four << 1 << int(EntryNumber) << "2.5" << four
                                              << "Eintrag 2.5 gibt es nicht – Nr. 003 gewählt.";
        QTest::newRow("entry number without digits") << four << 1 << int(EntryNumber) << "abc" << four
                                                     << "„abc“ ist keine Eintragsnummer – Nr. 001 gewählt.";
        QTest::newRow("entry number as typed") << four << 1 << int(EntryNumber) << "4" << four << "";
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
        // A notice of an earlier commit goes with the next one.
        e.w.Label9->setText(QStringLiteral("earlier"));
        clickInto(e.w.Text2[field]);
        QTest::keyClicks(e.w.Text2[field], typed);
        QTest::keyClick(e.w.Text2[field], Qt::Key_Return);

        QCOMPARE(EntryTimes(e.w), after);
        QCOMPARE(e.w.Label9->text(), notice);
        QVERIFY(e.prompter->asked.isEmpty());
        // It stays while the user looks at other lines, and goes with the next change.
        if (!notice.isEmpty()) {
            ClickListLine(e.w, 0);
            QCOMPARE(e.w.Label9->text(), notice);
            QVERIFY(e.w.Label9->geometry().bottom() < e.w.Label8->geometry().top());
            e.w.List2->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(e.w.Label9->text(), after == before ? notice : QString());
        }
    }

    // An entry without circuit shows no device and no number; a device chosen and a number typed
    // give it one, a number without a device is refused.
    void entryWithoutCircuitGetsOne_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("notice");
        QTest::newRow("B and 7") << "B"
                                 << "7" << 39 << "";
        QTest::newRow("number without device")
            << ""
            << "7" << int(NoCircuit) << "Nr. 002: Kein Zündgerät gewählt – nichts gespeichert.";
        QTest::newRow("A and 0") << "A"
                                 << "0" << 0 << "";
    }
    void entryWithoutCircuitGetsOne()
    {
        QFETCH(QString, device);
        QFETCH(QString, typed);
        QFETCH(int, code);
        QFETCH(QString, notice);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10, 20 }, { 5 }));
        ClickListLine(e.w, 1);
        QCOMPARE(e.w.Combo2->currentIndex(), -1);
        QCOMPARE(e.w.Text2[Circuit]->text(), QString());
        if (!device.isEmpty()) {
            e.w.Combo2->setFocus(Qt::MouseFocusReason);
            QTest::keyClicks(e.w.Combo2, device);
            QTest::keyClick(e.w.Combo2, Qt::Key_Return);
        } else {
            clickInto(e.w.Text2[Circuit]);
        }
        QCOMPARE(QApplication::focusWidget(), e.w.Text2[Circuit]);
        QTest::keyClicks(e.w.Text2[Circuit], typed);
        QTest::keyClick(e.w.Text2[Circuit], Qt::Key_Return);

        QCOMPARE(e.w.list().circuits[1], qint16(code));
        QCOMPARE(e.w.Label9->text(), notice);
        const bool stored = code != NoCircuit;
        QCOMPARE(e.w.List2->currentRow(), stored ? 2 : 1);
        QCOMPARE(e.w.Text2[Circuit]->text(), QString());
        QCOMPARE(e.w.Combo2->currentIndex(), -1);
        QCOMPARE(e.w.List1->item(1)->text(),
            stored ? QStringLiteral("002  00:00:10  ") + CircuitLabel(qint16(code))
                   : QStringLiteral("002  00:00:10  ---"));
    }
};

KELTO_TEST_MAIN(TestEditorTraps)
#include "tst_editor_traps.moc"
