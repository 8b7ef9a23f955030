#include "form1.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

namespace {

using Times = QList<int>;

struct Editor {
    ScriptedPrompter* prompter = nullptr;
    Form1 w;

    explicit Editor(const Times& times, const QList<qint16>& circuits = {})
    {
        auto owned = std::make_unique<ScriptedPrompter>();
        prompter = owned.get();
        w.setPrompter(std::move(owned));
        w.show();
        if (!QTest::qWaitForWindowActive(&w))
            qFatal("window not active");
        w.SSTab1->setCurrentIndex(2);
        ShotList list = ListWithTimes(times);
        for (int i = 0; i < circuits.size(); ++i)
            list.circuits[i] = circuits[i];
        w.document().reset(list);
    }

    Times times() const { return LeadingTimes(w.list(), w.document().entryCount()); }

    void type(int field, const QString& text)
    {
        QLineEdit* edit = w.Text2[field];
        edit->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

} // namespace

class TestEditorUndo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Strg+Z and Strg+Y from the list: the line the step touched is selected with its stored values.
    void undoAndRedoFromTheList()
    {
        Editor e({ 0, 10, 20, 30 });
        e.w.List2->setCurrentRow(2);
        e.type(1, "4"); // entry 3 moves to 14, the rest with it
        QCOMPARE(e.times(), Times({ 0, 10, 14, 24 }));
        e.w.List2->setCurrentRow(0);
        e.w.List2->setFocus();

        QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.times(), Times({ 0, 10, 20, 30 }));
        QCOMPARE(e.w.List2->currentRow(), 2);
        QCOMPARE(e.w.Text2[1]->text(), QStringLiteral("10"));
        QCOMPARE(e.w.List2->item(2)->text(), QStringLiteral("003  00:00:20 (010 s)  ---  "));

        QTest::keyClick(e.w.List2, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(e.times(), Times({ 0, 10, 14, 24 }));
        QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(e.times(), Times({ 0, 10, 14, 24 }));
        QCOMPARE(e.w.Text2[1]->text(), QStringLiteral("4"));
    }

    // In a field with typing of its own, Strg+Z first takes back the typing, then the list's last step.
    void undoInAFieldTakesBackTypingFirst()
    {
        Editor e({ 0, 10, 20 });
        e.w.List2->setCurrentRow(0);
        e.type(2, "15"); // entry 2 and 3 move by 5
        QCOMPARE(e.times(), Times({ 0, 15, 25 }));
        QCOMPARE(e.w.List2->currentRow(), 0);

        QLineEdit* since = e.w.Text2[1];
        since->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(since, "7");
        QTest::keyClick(since, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(since->text(), QStringLiteral("0"));
        QCOMPARE(e.times(), Times({ 0, 15, 25 }));

        QTest::keyClick(since, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.times(), Times({ 0, 10, 20 }));
        QCOMPARE(e.w.Text2[2]->text(), QStringLiteral("10"));
        // Leaving the field now commits nothing: it compares with the text shown after the undo.
        e.w.List2->setFocus(Qt::MouseFocusReason);
        QCOMPARE(e.times(), Times({ 0, 10, 20 }));
        QCOMPARE(e.w.document().undoStack().count(), 1);
    }

    // Einfg inserts before the selected line at the whole second halfway; Entf deletes the selected entry.
    void insertAndDeleteByKeyboard_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("key");
        QTest::addColumn<Times>("after");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("insert halfway") << 2 << int(Qt::Key_Insert) << Times { 0, 10, 15, 21 } << QString();
        QTest::newRow("insert on the first line") << 0 << int(Qt::Key_Insert) << Times { 0, 10, 21 }
                                                  << "Vor Eintrag 1 (00:00:00) ist keine volle Sekunde frei.";
        QTest::newRow("insert on an empty line")
            << 5 << int(Qt::Key_Insert) << Times { 0, 10, 21 } << QString();
        QTest::newRow("delete keeps later times") << 1 << int(Qt::Key_Delete) << Times { 0, 21 } << QString();
        QTest::newRow("delete on an empty line")
            << 4 << int(Qt::Key_Delete) << Times { 0, 10, 21 } << QString();
    }
    void insertAndDeleteByKeyboard()
    {
        QFETCH(int, row);
        QFETCH(int, key);
        QFETCH(Times, after);
        QFETCH(QString, refusal);
        Editor e({ 0, 10, 21 }, { 1, 2, 3 });
        e.w.List2->setCurrentRow(row);
        e.w.List2->setFocus();
        QTest::keyClick(e.w.List2, Qt::Key(key));
        QCOMPARE(e.times(), after);
        QCOMPARE(e.w.List2->currentRow(), row);
        QCOMPARE(e.prompter->asked.size(), refusal.isEmpty() ? 0 : 1);
        if (!refusal.isEmpty()) {
            QCOMPARE(e.prompter->asked[0].title, QStringLiteral("Eintrag einfügen"));
            QCOMPARE(e.prompter->asked[0].text, refusal);
        }
        if (after.size() != 3) {
            QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(e.times(), Times({ 0, 10, 21 }));
            QCOMPARE(e.w.list().circuits[1], qint16(2));
        }
    }

    void fullListRefusesInsert()
    {
        Times full;
        for (int i = 0; i < EntryCount; ++i)
            full.append(i * 10);
        Editor e(full);
        e.w.List2->setCurrentRow(100);
        QTest::keyClick(e.w.List2, Qt::Key_Insert);
        QCOMPARE(e.prompter->asked.size(), 1);
        QCOMPARE(
            e.prompter->asked[0].text, QStringLiteral("Die Liste ist voll: Alle 170 Einträge sind belegt."));
        QCOMPARE(e.times(), full);
    }

    // A circuit fired twice shows below the fields and marks its lines; the line texts stay as they are.
    void doubleCircuitShownAndMarked()
    {
        Editor e({ 0, 10, 20 }, { 37, 1, 255 });
        QCOMPARE(e.w.Label8->text(), QString());
        const QBrush plain = e.w.List2->item(0)->background();
        e.w.List2->setCurrentRow(2);
        e.w.Combo2->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(e.w.Combo2, Qt::Key_H);
        QTest::keyClick(e.w.Combo2, Qt::Key_Return);
        e.type(3, "5");

        QCOMPARE(e.w.Label8->text(), QStringLiteral("Doppelt belegt: B05 (Nr. 1 und Nr. 3 über H05)"));
        QCOMPARE(e.w.List2->item(2)->text(), QStringLiteral("003  00:00:20 (000 s)  H05"));
        QVERIFY(e.w.List2->item(0)->background() != plain);
        QVERIFY(e.w.List2->item(1)->background() == plain);
        QVERIFY(e.w.List2->item(2)->background() != plain);

        QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.w.Label8->text(), QString());
        QVERIFY(e.w.List2->item(0)->background() == plain);
    }

    // Too many to show: the line ends in "…" and the whole text is its tool tip.
    void longDoubleCircuitLineIsShortened()
    {
        Times times;
        QList<qint16> circuits;
        for (int i = 0; i < 40; ++i) {
            times.append(i);
            circuits.append(qint16(i % 20));
        }
        Editor e(times, circuits);
        QVERIFY(e.w.Label8->text().endsWith(QChar(0x2026)));
        QVERIFY(e.w.Label8->toolTip().startsWith(
            QStringLiteral("Doppelt belegt: A00 (Nr. 1 und Nr. 21); A01 (Nr. 2 und Nr. 22)")));
        QVERIFY(e.w.Label8->fontMetrics().horizontalAdvance(e.w.Label8->text()) <= e.w.Label8->width());
    }
};

KELTO_TEST_MAIN(TestEditorUndo)
#include "tst_editor_undo.moc"
