#include "form1.h"
#include "list_edit.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "widgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using Times = QList<int>;

enum Field { EntryNumber, Since, Until, Circuit };
enum class Leave { Enter, FocusElsewhere };

const QString Marker = QStringLiteral("not refreshed");

Times entryTimes(const Form1& w) { return LeadingTimes(w.list(), w.document().entryCount()); }

// The window shown and active on "Bearbeiten der Liste".
void showEditorPage(Form1& w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.SSTab1->setCurrentIndex(2);
}

// The same, holding the given entries.
void openEditor(Form1& w, const Times& times = { 0 })
{
    showEditorPage(w);
    w.document().reset(ListWithTimes(times));
}

void clickLine(Form1& w, int row)
{
    QListWidgetItem* item = w.List2->item(row);
    w.List2->scrollToItem(item);
    QTest::mouseClick(w.List2->viewport(), Qt::LeftButton, {}, w.List2->visualItemRect(item).center());
}

// Enters the field as a click would, types over its selected text and leaves it.
void typeInto(Form1& w, int field, const QString& text, Leave leave = Leave::Enter)
{
    QLineEdit* edit = w.Text2[field];
    edit->setFocus(Qt::MouseFocusReason);
    QVERIFY(edit->hasFocus());
    QTest::keyClicks(edit, text);
    if (leave == Leave::Enter)
        QTest::keyClick(edit, Qt::Key_Return);
    else
        w.List2->setFocus(Qt::MouseFocusReason);
}

constexpr int NoNumber = -1;

// What the fields must show for line k of a list with these entry times; an entry without circuit
// shows no number.
QStringList expectedFields(const Times& times, int k, int circuitNumber = NoNumber)
{
    const int since = k >= times.size() ? 0 : (k == 0 ? times[0] : times[k] - times[k - 1]);
    const int until = k + 1 >= times.size() ? 0 : times[k + 1] - times[k];
    return { QString::number(k + 1), QString::number(since), QString::number(until),
        circuitNumber == NoNumber ? QString() : QString::number(circuitNumber) };
}

QStringList fieldTexts(const Form1& w)
{
    QStringList texts;
    for (QLineEdit* field : w.Text2)
        texts.append(field->text());
    return texts;
}

// Restores the default locale when a test changed it.
struct LocaleGuard {
    QLocale saved;
    ~LocaleGuard() { QLocale::setDefault(saved); }
};

class CountingDialogPrompter : public DialogPrompter {
public:
    using DialogPrompter::DialogPrompter;
    int questions = 0;
    Answer message(
        const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon) override
    {
        ++questions;
        return DialogPrompter::message(title, text, buttons, defaultButton, icon);
    }
};

// A question box that takes the window's activation and hands it back before it returns.
class ActivationTakingPrompter : public ScriptedPrompter {
public:
    QWidget* window = nullptr;
    bool handedBack = false;
    Answer message(
        const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon) override
    {
        QWidget box;
        box.show();
        if (QTest::qWaitForWindowActive(&box)) {
            box.hide();
            window->activateWindow();
            handedBack = QTest::qWaitForWindowActive(window);
        }
        return ScriptedPrompter::message(title, text, buttons, defaultButton, icon);
    }
};

// Clicks a button of every real message box as soon as it is shown.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.append(box->windowTitle() + QLatin1Char('|') + box->text());
            box->button(button)->click();
        });
        m_timer.start(10);
    }
    QStringList seen;

private:
    QTimer m_timer;
};

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void selectingFirstLineAfterStartUpShowsItsFields()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.SSTab1->setCurrentIndex(2);
        for (QLineEdit* field : w.Text2)
            QVERIFY(!field->isEnabled());
        w.List2->setCurrentRow(0);
        // No circuit: no device and no number, not H31.
        QCOMPARE(fieldTexts(w), QStringList({ "1", "0", "0", "" }));
        QCOMPARE(w.Combo2->currentIndex(), -1);
        QCOMPARE(w.Combo2->currentText(), QString());
        QCOMPARE(w.Label6[0]->text(), QStringLiteral("Eintrag Nummer\r\n1 / 170"));
        for (QLineEdit* field : w.Text2)
            QVERIFY(field->isEnabled());
    }

    void keyboardWalkFromStartUpAppendsAndSetsCircuit()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        showEditorPage(w);

        // Enter without a selected line does nothing.
        w.List2->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(w.List2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.List2);

        clickLine(w, 0);
        QCOMPARE(w.List2->currentRow(), 0);
        QTest::keyClick(w.List2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Text2[Until]);
        QTest::keyClicks(w.Text2[Until], "5");
        QTest::keyClick(w.Text2[Until], Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Combo2);
        QTest::keyClick(w.Combo2, Qt::Key_B);
        QCOMPARE(w.Combo2->currentText(), QStringLiteral("B (Verteiler)"));
        QTest::keyClick(w.Combo2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Text2[Circuit]);
        QTest::keyClicks(w.Text2[Circuit], "7");
        QTest::keyClick(w.Text2[Circuit], Qt::Key_Return);

        QCOMPARE(entryTimes(w), Times({ 0, 5 }));
        QCOMPARE(w.list().circuits[0], qint16(39));
        QCOMPARE(w.list().circuits[1], NoCircuit);
        QCOMPARE(w.List2->currentRow(), 1);
        QCOMPARE(QApplication::focusWidget(), w.List2);
        QCOMPARE(w.List2->item(0)->text(), QStringLiteral("001  00:00:00 (005 s)  B07"));
        QCOMPARE(w.List1->item(1)->text(), QStringLiteral("002  00:00:05  ---"));
        QCOMPARE(w.Label6[0]->text(), QStringLiteral("Eintrag Nummer\r\n2 / 170"));
        QCOMPARE(fieldTexts(w), QStringList({ "2", "5", "0", "" }));

        // On to the gap after entry 2.
        QTest::keyClick(w.List2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Text2[Until]);
        QCOMPARE(w.SavedFieldText[Until], QStringLiteral("0"));
        QCOMPARE(w.Text2[Until]->selectedText(), QStringLiteral("0"));
    }

    void gapEdits_data()
    {
        QTest::addColumn<Times>("before");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<Times>("after");
        QTest::addColumn<bool>("asked");

        const Times four { 0, 10, 20, 30 };
        QTest::newRow("since of entry 3 down to 4 moves it and the rest")
            << four << 2 << int(Since) << "4" << false << Times { 0, 10, 14, 24 } << false;
        QTest::newRow("until of entry 2 up to 15 moves the rest")
            << four << 1 << int(Until) << "15" << false << Times { 0, 10, 25, 35 } << false;
        QTest::newRow("since on first empty line appends")
            << four << 4 << int(Since) << "5" << false << Times { 0, 10, 20, 30, 35 } << false;
        QTest::newRow("since further down changes nothing")
            << four << 6 << int(Since) << "5" << false << four << false;
        QTest::newRow("until on last entry appends")
            << four << 3 << int(Until) << "7" << false << Times { 0, 10, 20, 30, 37 } << false;
        QTest::newRow("until 0 answered yes deletes the rest")
            << four << 1 << int(Until) << "0" << true << Times { 0, 10 } << true;
        QTest::newRow("until 0 answered no keeps all")
            << four << 1 << int(Until) << "0" << false << four << true;
        QTest::newRow("until without digits asks too")
            << four << 1 << int(Until) << "x" << false << four << true;
        QTest::newRow("until 0.5 asks")
            << four << 1 << int(Until) << "0.5" << true << Times { 0, 10 } << true;
        QTest::newRow("until clamped to 999")
            << four << 3 << int(Until) << "5000" << false << Times { 0, 10, 20, 30, 1029 } << false;
        QTest::newRow("since clamped to 999")
            << four << 1 << int(Since) << "1e4" << false << Times { 0, 999, 1009, 1019 } << false;
        QTest::newRow("since negative is 0, refused off the first entry")
            << four << 1 << int(Since) << "-3" << false << four << false;
        QTest::newRow("since 0 on first entry moves only it")
            << Times { 5, 10, 20 } << 0 << int(Since) << "0" << false << Times { 0, 10, 20 } << false;
        QTest::newRow("since of first entry moves the whole list")
            << Times { 5, 10, 20 } << 0 << int(Since) << "8" << false << Times { 8, 13, 23 } << false;
        QTest::newRow("since half rounds to even")
            << four << 3 << int(Since) << "2.5" << false << Times { 0, 10, 20, 22 } << false;
        QTest::newRow("since on an empty list starts it")
            << Times {} << 0 << int(Since) << "12" << false << Times { 12 } << false;
        QTest::newRow("entries pushed past 18:07:59 are emptied")
            << Times { 0, 100, 65000 } << 0 << int(Until) << "400" << false << Times { 0, 400 } << false;
    }
    void gapEdits()
    {
        QFETCH(Times, before);
        QFETCH(int, line);
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(bool, yes);
        QFETCH(Times, after);
        QFETCH(bool, asked);

        auto owned = std::make_unique<ScriptedPrompter>();
        ScriptedPrompter* script = owned.get();
        Form1 w(std::move(owned));
        openEditor(w, before);
        script->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        w.List2->setCurrentRow(line);
        typeInto(w, field, typed);

        QCOMPARE(entryTimes(w), after);
        QCOMPARE(w.List2->currentRow(), line);
        QCOMPARE(fieldTexts(w), expectedFields(after, line));
        QCOMPARE(
            QApplication::focusWidget(), field == Since ? static_cast<QWidget*>(w.Text2[Until]) : w.Combo2);
        QCOMPARE(script->asked.size(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(script->asked[0].title, QStringLiteral("Feuerwerksequenz beenden"));
            QCOMPARE(script->asked[0].text, QStringLiteral("Rest der Liste löschen?"));
            QCOMPARE(script->asked[0].buttons, Prompter::Buttons::YesNo);
            QCOMPARE(script->asked[0].defaultButton, Prompter::Answer::Yes);
        }
        if (yes && asked) {
            QCOMPARE(w.document().entryCount(), after.size());
            QCOMPARE(w.list().circuits[after.size()], NoCircuit);
        }
    }

    void entryNumberSelectsLine_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("line");
        QTest::newRow("0") << false << "0" << 0;
        QTest::newRow("-4") << false << "-4" << 0;
        QTest::newRow("text") << false << "abc" << 0;
        QTest::newRow("500") << false << "500" << 169;
        QTest::newRow("2.5 rounds to line 2") << false << "2.5" << 2;
        QTest::newRow("comma ends the number") << false << "2,5" << 1;
        QTest::newRow("exponent with D") << false << "1D2" << 99;
        QTest::newRow("fraction of the selected line") << false << "6.4" << 5;
        QTest::newRow("2.5 in a German locale") << true << "2.5" << 2;
        QTest::newRow("2,5 in a German locale") << true << "2,5" << 1;
    }
    void entryNumberSelectsLine()
    {
        QFETCH(bool, german);
        QFETCH(QString, typed);
        QFETCH(int, line);
        LocaleGuard guard;
        QLocale::setDefault(QLocale(german ? QLocale::German : QLocale::C));

        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10, 20, 30 });
        w.List2->setCurrentRow(5);
        w.Label4->setText(Marker);
        // Enter would move on to the next field; the jump sends the focus to the list instead.
        typeInto(w, EntryNumber, typed);

        QCOMPARE(w.List2->currentRow(), line);
        QCOMPARE(w.Text2[EntryNumber]->text(), QString::number(line + 1));
        QCOMPARE(QApplication::focusWidget(), w.List2);
        QCOMPARE(w.Label4->text(), Marker);
        QCOMPARE(entryTimes(w), Times({ 0, 10, 20, 30 }));
    }

    void unchangedFieldStoresNothing_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("entry number as shown") << int(EntryNumber) << "2";
        QTest::newRow("since as shown") << int(Since) << "10";
        QTest::newRow("until with a trailing fraction of zero") << int(Until) << "10.0";
        QTest::newRow("circuit with leading zeros") << int(Circuit) << "007";
        QTest::newRow("circuit with blanks and a tail") << int(Circuit) << " 7 Stk.";
    }
    void unchangedFieldStoresNothing()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10, 20, 30 });
        EditList(w, [&](ShotList& list) { list.circuits[1] = 7; });
        w.List2->setCurrentRow(1);
        w.Label4->setText(Marker);

        typeInto(w, field, typed, Leave::FocusElsewhere);

        QCOMPARE(w.Label4->text(), Marker);
        QCOMPARE(w.List2->currentRow(), 1);
        QCOMPARE(w.Text2[field]->text(), expectedFields({ 0, 10, 20, 30 }, 1, 7)[field]);
        QCOMPARE(w.list().circuits[1], qint16(7));
    }

    // A device chosen for the line is stored with the number shown, typed again or not; the same
    // device and number store nothing. A line without circuit has no number to keep.
    void deviceWithUnchangedNumber_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("notice");
        QTest::newRow("A07 to C07 by Enter") << 1 << "C"
                                             << "" << 71 << "";
        QTest::newRow("no circuit, E without number")
            << 0 << "E"
            << "" << 255 << "Nr. 001: Zündgerät E ohne Kreisnummer – nichts gespeichert.";
        QTest::newRow("no circuit to E31 typed") << 0 << "E"
                                                 << "31" << 159 << "";
        QTest::newRow("no circuit, number without device")
            << 0 << ""
            << "7" << 255 << "Nr. 001: Kein Zündgerät gewählt – nichts gespeichert.";
        QTest::newRow("same device and number") << 1 << "A"
                                                << "7" << 7 << "";
        QTest::newRow("H without number on a line without circuit")
            << 0 << "H"
            << "" << 255 << "Nr. 001: Zündgerät H ohne Kreisnummer – nichts gespeichert.";
    }
    void deviceWithUnchangedNumber()
    {
        QFETCH(int, line);
        QFETCH(QString, device);
        QFETCH(QString, typed);
        QFETCH(int, code);
        QFETCH(QString, notice);
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10 });
        EditList(w, [&](ShotList& list) { list.circuits[1] = 7; });
        w.List2->setCurrentRow(line);
        w.Label4->setText(Marker);

        w.Combo2->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Combo2, device);
        QTest::keyClick(w.Combo2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Text2[Circuit]);
        QTest::keyClicks(w.Text2[Circuit], typed);
        QTest::keyClick(w.Text2[Circuit], Qt::Key_Return);

        const bool stored = code != (line == 1 ? 7 : 255);
        QCOMPARE(w.list().circuits[line], qint16(code));
        QCOMPARE(w.Label4->text() == Marker, !stored);
        QCOMPARE(w.List2->currentRow(), stored ? line + 1 : line);
        QCOMPARE(QApplication::focusWidget(), w.List2);
        QCOMPARE(w.Label9->text(), notice);
    }

    // A click into a field selects its whole text, so what is typed replaces it.
    void clickIntoFieldSelectsItsText()
    {
        Times times;
        for (int i = 0; i < 30; ++i)
            times.append(i * 10);
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, times);
        w.List2->setCurrentRow(25);
        for (QLineEdit* field : w.Text2) {
            QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 3, field->height() / 2));
            QCOMPARE(QApplication::focusWidget(), field);
            QCOMPARE(field->selectedText(), field->text());
        }
        QTest::mouseClick(
            w.Text2[EntryNumber], Qt::LeftButton, {}, QPoint(w.Text2[EntryNumber]->width() - 3, 5));
        QTest::keyClicks(w.Text2[EntryNumber], "11");
        QTest::keyClick(w.Text2[EntryNumber], Qt::Key_Return);
        QCOMPARE(w.List2->currentRow(), 10);
    }

    // The rules count the entries of the list, not the lines a statistics label was made from.
    void rulesCountEntriesOfTheList()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10, 20, 30 });
        w.List1->clear(); // as while a receive runs
        w.Label4_Click();
        w.List2->setCurrentRow(0);
        QCOMPARE(w.Label6[0]->text(), QStringLiteral("Eintrag Nummer\r\n4 / 170"));
        typeInto(w, Since, "5");
        QCOMPARE(entryTimes(w), Times({ 5, 15, 25, 35 }));
    }

    // Enter and Tab go on to the circuit number; a click takes the focus where it was clicked.
    void leavingDeviceBox_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("field");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Circuit);
        QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Circuit);
        QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Until);
        QTest::newRow("click on since") << 0 << int(Since);
        QTest::newRow("click on the entry number") << 0 << int(EntryNumber);
    }
    void leavingDeviceBox()
    {
        QFETCH(int, key);
        QFETCH(int, field);
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10 });
        EditList(w, [&](ShotList& list) { list.circuits[0] = 7; });
        w.List2->setCurrentRow(0);
        w.Combo2->setFocus(Qt::MouseFocusReason);
        if (key != 0)
            QTest::keyClick(w.Combo2, Qt::Key(key));
        else
            QTest::mouseClick(w.Text2[field], Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), w.Text2[field]);
        QCOMPARE(w.SavedFieldText[field], w.Text2[field]->text());
        QCOMPARE(w.Text2[field]->selectedText(), w.Text2[field]->text());
        QCOMPARE(w.list().circuits[0], qint16(7));
        QCOMPARE(w.document().undoStack().count(), 0);
    }

    void clickingAnotherLineCommitsFirst()
    {
        Times times;
        for (int i = 0; i < 120; ++i)
            times.append(i * 10);
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, times);
        w.List2->scrollToItem(w.List2->item(100), QAbstractItemView::PositionAtTop);
        w.List2->setCurrentRow(104);
        w.Text2[Since]->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Text2[Since], "4");
        QTest::mouseClick(
            w.List2->viewport(), Qt::LeftButton, {}, w.List2->visualItemRect(w.List2->item(108)).center());

        for (int i = 104; i < 120; ++i)
            times[i] -= 6;
        QCOMPARE(entryTimes(w), times);
        QCOMPARE(w.List2->currentRow(), 108);
        QCOMPARE(fieldTexts(w), expectedFields(times, 108));
    }

    void deviceDropDownIsNoLeave()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w);
        w.List2->setCurrentRow(0);
        w.Combo2->setFocus(Qt::MouseFocusReason);
        w.Combo2->showPopup();
        QTRY_VERIFY(w.Combo2->view()->isVisible());
        QTest::keyClick(w.Combo2->view(), Qt::Key_Home);
        QTest::keyClick(w.Combo2->view(), Qt::Key_Return);
        QTRY_VERIFY(!w.Combo2->view()->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), w.Combo2);
        QCOMPARE(w.Combo2->currentText(), QStringLiteral("A (Brenzor)"));
        QTest::keyClick(w.Combo2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.Text2[Circuit]);
    }

    // A value stored other than typed is named below the fields.
    void circuitCommit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("list2Line");
        QTest::addColumn<QString>("notice");
        QTest::newRow("40 clamped to 31") << "40" << 1 << "B" << 63 << "002  00:00:10 (000 s)  B31"
                                          << "Nr. 002: Kreis 40 gibt es nicht – Kreis 31 gespeichert.";
        QTest::newRow("-3 clamped to 0") << "-3" << 1 << "C" << 64 << "002  00:00:10 (000 s)  C00"
                                         << "Nr. 002: Kreis -3 gibt es nicht – Kreis 0 gespeichert.";
        QTest::newRow("half rounds to even") << "7.5" << 1 << "B" << 40 << "002  00:00:10 (000 s)  B08"
                                             << "Nr. 002: Kreis 7.5 gibt es nicht – Kreis 8 gespeichert.";
        QTest::newRow("text without digits") << "abc" << 1 << "B" << 32 << "002  00:00:10 (000 s)  B00"
                                             << "Nr. 002: „abc“ ist keine Kreisnummer – Kreis 0 gespeichert.";
        QTest::newRow("H 31 means no circuit")
            << "31" << 0 << "H" << 255 << "001  00:00:00 (010 s)  ---  "
            << "Nr. 001: H31 bedeutet „kein Zündkreis“ – Eintrag ohne Zündkreis gespeichert.";
        // Kept on an empty slot further down, and said so: it fires once the list reaches it.
        QTest::newRow("empty slot keeps its circuit")
            << "3" << 5 << "A" << 3 << "006  --:--:-- (000 s)  A03"
            << "Nr. 006 ist leer: Kreis A03 ist vorgemerkt und wird erst gezündet, wenn die Liste bis Nr. 006 "
               "reicht (der nächste Eintrag ist Nr. 003).";
        QTest::newRow("first empty slot waits for its entry")
            << "4" << 2 << "B" << 36 << "003  --:--:-- (000 s)  B04" << "";
        QTest::newRow("last line stays selected")
            << "30" << 169 << "G" << 222 << "170  --:--:-- (000 s)  G30"
            << "Nr. 170 ist leer: Kreis G30 ist vorgemerkt und wird erst gezündet, wenn die Liste bis Nr. 170 "
               "reicht (der nächste Eintrag ist Nr. 003).";
    }
    void circuitCommit()
    {
        QFETCH(QString, typed);
        QFETCH(int, line);
        QFETCH(QString, device);
        QFETCH(int, code);
        QFETCH(QString, list2Line);
        QFETCH(QString, notice);
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10 });
        EditList(w, [&](ShotList& list) { list.circuits[0] = 5; });
        w.List2->setCurrentRow(line);
        w.Combo2->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Combo2, device);
        QTest::keyClick(w.Combo2, Qt::Key_Return);
        QTest::keyClicks(w.Text2[Circuit], typed);
        QTest::keyClick(w.Text2[Circuit], Qt::Key_Return);

        QCOMPARE(w.list().circuits[line], qint16(code));
        QCOMPARE(w.List2->item(line)->text(), list2Line);
        QCOMPARE(w.List2->currentRow(), qMin(line + 1, 169));
        QCOMPARE(entryTimes(w), Times({ 0, 10 }));
        QCOMPARE(w.Label9->text(), notice);

        // Shown again as the device and number it was typed with; no circuit as no device and no number.
        w.List2->setCurrentRow(line);
        QCOMPARE(w.Combo2->currentIndex(), code == NoCircuit ? -1 : code / 32);
        QCOMPARE(w.Text2[Circuit]->text(), code == NoCircuit ? QString() : QString::number(code & 31));
    }

    void fullListTakesNoMoreEntries()
    {
        Times full;
        for (int i = 0; i < EntryCount; ++i)
            full.append(i * 10);
        auto owned = std::make_unique<ScriptedPrompter>();
        ScriptedPrompter* script = owned.get();
        Form1 w(std::move(owned));
        openEditor(w, full);
        QCOMPARE(w.document().entryCount(), 170);

        w.List2->setCurrentRow(169);
        QCOMPARE(w.Text2[Until]->text(), QStringLiteral("0"));
        typeInto(w, Until, "20", Leave::FocusElsewhere);
        QCOMPARE(entryTimes(w), full);
        QCOMPARE(w.Text2[Until]->text(), QStringLiteral("0"));
        QCOMPARE(w.List2->currentRow(), 169);
        QVERIFY(script->asked.isEmpty());
        QVERIFY(w.Label4->text().endsWith(QStringLiteral("noch frei: 0")));

        // A shift near the end still works on a full list.
        w.List2->setCurrentRow(168);
        typeInto(w, Since, "5");
        full[168] -= 5;
        full[169] -= 5;
        QCOMPARE(entryTimes(w), full);
    }

    void captionEchoesTextBeforeTheKey()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 5 });
        w.List2->setCurrentRow(0);
        w.Text2[Until]->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(w.Text2[Until], Qt::Key_1);
        QCOMPARE(w.windowTitle(), QStringLiteral("1 >5<"));
        QTest::keyClick(w.Text2[Until], Qt::Key_2);
        QCOMPARE(w.windowTitle(), QStringLiteral("1 >1<"));
        QTest::keyClick(w.Text2[Until], Qt::Key_Return);
        QCOMPARE(w.windowTitle(), QStringLiteral("2 >12<"));
        QCOMPARE(entryTimes(w), Times({ 0, 12 }));
        // Keys in the list leave the caption alone.
        w.List2->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(w.List2, Qt::Key_Down);
        QCOMPARE(w.windowTitle(), QStringLiteral("2 >12<"));
        // Tab moves on and types nothing: no echo.
        w.Text2[Since]->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(w.Text2[Since], Qt::Key_Tab);
        QCOMPARE(w.windowTitle(), QStringLiteral("2 >12<"));
    }

    // After a gap committed with Enter the focus is in the device box; a click on another line takes it
    // to the list, not into "Nummer", where the next key would land unseen.
    void clickingLineFromDeviceBoxFocusesTheList()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10, 20, 30 });
        EditList(w, [&](ShotList& list) { list.circuits[1] = 37; });
        w.List2->setCurrentRow(1);
        typeInto(w, Until, "12");
        QCOMPARE(QApplication::focusWidget(), w.Combo2);
        clickLine(w, 3);
        QCOMPARE(QApplication::focusWidget(), w.List2);
        QCOMPARE(w.List2->currentRow(), 3);
        QCOMPARE(w.list().circuits[1], qint16(37));
        // Entf is the list's key now: it deletes the clicked entry, as one step to take back.
        QTest::keyClick(w.List2, Qt::Key_Delete);
        QCOMPARE(entryTimes(w), Times({ 0, 10, 22 }));
        QCOMPARE(w.list().circuits[1], qint16(37));
    }

    void tabWalksThePageInOrder()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10 });
        w.List2->setFocus(Qt::TabFocusReason);
        // Reached by keyboard, the current line is also the highlighted one.
        QCOMPARE(w.List2->currentRow(), 0);
        QVERIFY(w.List2->item(0)->isSelected());
        const QList<QWidget*> order { w.Text2[Since], w.Text2[Until], w.Combo2, w.Text2[Circuit], w.Text3,
            w.Text2[EntryNumber] };
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QCOMPARE(entryTimes(w), Times({ 0, 10 }));
    }

    void windowDeactivationCommitsNothing()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10, 20, 30 });
        w.List2->setCurrentRow(2);
        w.Text2[Since]->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Text2[Since], "4");
        w.Label4->setText(Marker);

        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(w.Label4->text(), Marker);
        QCOMPARE(w.Text2[Since]->text(), QStringLiteral("4"));

        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.Text2[Since]);
        // Coming back is no new entry: the text saved on the real entry stays.
        QCOMPARE(w.SavedFieldText[Since], QStringLiteral("10"));
        QCOMPARE(w.Label4->text(), Marker);

        QTest::keyClick(w.Text2[Since], Qt::Key_Return);
        QCOMPARE(entryTimes(w), Times({ 0, 10, 14, 24 }));
    }

    void fieldEnteredDuringCommitSavesRefreshedText()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        openEditor(w, { 0, 10, 25 });
        EditList(w, [&](ShotList& list) { list.circuits[1] = 3; });
        w.List2->setCurrentRow(1);
        w.Text2[Circuit]->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Text2[Circuit], "5");
        // Clicking the field "since" commits the circuit and edits the entry shown when the user clicked.
        w.Text2[Since]->setFocus(Qt::MouseFocusReason);
        QCOMPARE(w.list().circuits[1], qint16(5));
        QCOMPARE(w.List2->currentRow(), 1);
        QCOMPARE(QApplication::focusWidget(), w.Text2[Since]);
        QCOMPARE(w.SavedFieldText[Since], QStringLiteral("10"));
        QCOMPARE(w.Text2[Since]->selectedText(), QStringLiteral("10"));

        QTest::keyClicks(w.Text2[Since], "20");
        QTest::keyClick(w.Text2[Since], Qt::Key_Return);
        QCOMPARE(entryTimes(w), Times({ 0, 20, 35 }));
    }

    void questionBoxFromLeaveCommitsOnce_data()
    {
        QTest::addColumn<bool>("realBox");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<Times>("after");
        for (bool realBox : { true, false }) {
            const char* box = realBox ? "message box" : "activation back before return";
            QTest::addRow("%s, yes, Enter", box) << realBox << true << true << Times { 0, 10 };
            QTest::addRow("%s, no, Enter", box) << realBox << false << true << Times { 0, 10, 20, 30 };
            QTest::addRow("%s, yes, click on since", box) << realBox << true << false << Times { 0, 10 };
            QTest::addRow("%s, no, click on since", box)
                << realBox << false << false << Times { 0, 10, 20, 30 };
        }
    }
    void questionBoxFromLeaveCommitsOnce()
    {
        QFETCH(bool, realBox);
        QFETCH(bool, yes);
        QFETCH(bool, byEnter);
        QFETCH(Times, after);
        Form1 w;
        std::function<int()> questions;
        std::unique_ptr<BoxAnswerer> answerer;
        ActivationTakingPrompter* taking = nullptr;
        if (realBox) {
            auto owned = std::make_unique<CountingDialogPrompter>(&w);
            questions = [counting = owned.get()] { return counting->questions; };
            w.setPrompter(std::move(owned));
            answerer = std::make_unique<BoxAnswerer>(yes ? QMessageBox::Yes : QMessageBox::No);
        } else {
            auto owned = std::make_unique<ActivationTakingPrompter>();
            owned->window = &w;
            owned->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
            taking = owned.get();
            questions = [taking] { return int(taking->asked.size()); };
            w.setPrompter(std::move(owned));
        }
        openEditor(w, { 0, 10, 20, 30 });
        w.List2->setCurrentRow(1);
        w.Text2[Until]->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Text2[Until], "0");

        QWidget* next = byEnter ? static_cast<QWidget*>(w.Combo2) : w.Text2[Since];
        if (byEnter)
            QTest::keyClick(w.Text2[Until], Qt::Key_Return);
        else
            w.Text2[Since]->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // Under offscreen nothing hands the activation back after a real box: do what a window manager does.
        if (!w.isActiveWindow()) {
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
        }
        QCOMPARE(QApplication::focusWidget(), next);
        QTest::qWait(20);

        QCOMPARE(questions(), 1);
        if (taking)
            QVERIFY(taking->handedBack);
        if (answerer)
            QCOMPARE(answerer->seen,
                QStringList { QStringLiteral("Feuerwerksequenz beenden|Rest der Liste löschen?") });
        QCOMPARE(entryTimes(w), after);
        QCOMPARE(w.List2->currentRow(), 1);
        QCOMPARE(fieldTexts(w), expectedFields(after, 1));
        if (byEnter) {
            // The device box was not left by the question: Enter goes on to the circuit number.
            QTest::keyClick(w.Combo2, Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), w.Text2[Circuit]);
            QCOMPARE(w.SavedFieldText[Circuit], QString());
        } else {
            QCOMPARE(w.SavedFieldText[Since], QStringLiteral("10"));
            QCOMPARE(w.Text2[Since]->selectedText(), QStringLiteral("10"));
        }
        QCOMPARE(questions(), 1);
    }
};

KELTO_TEST_MAIN(TestEditor)
#include "tst_editor.moc"
