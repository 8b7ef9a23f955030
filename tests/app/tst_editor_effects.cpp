#include "browser_widgets.h"
#include "editor_page.h"
#include "file_bytes.h"
#include "scripted_prompter.h"
#include "test_main.h"

#include <QClipboard>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolTip>
#include <QUndoStack>

namespace {

struct Editor {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
};

// Types or pastes any characters, also those QTest::keyClicks cannot map to a key.
void enter(QWidget* into, const QString& text, bool paste)
{
    if (paste) {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(into, Qt::Key_V, Qt::ControlModifier);
        return;
    }
    for (const char32_t code : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, into, Qt::Key_unknown, QString::fromUcs4(&code, 1), Qt::NoModifier);
}

const QString Arrow = QString::fromUtf8("→");
const QString ArrowRefused = QString::fromUtf8("„→“ (U+2192) kann eine Listendatei nicht speichern.");
const QString LineBreakRefused = QStringLiteral("Eine Listendatei hat für den Kommentar nur eine Zeile.");

} // namespace

class TestEditorEffects : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Leaving the field or Enter stores the effect as one step; the List2 line ends with it, List1 stays.
    void effectIsCommittedLikeTheOtherFields_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("list2");
        QTest::newRow("Enter") << "  Kometen rot 50 mm €" << true
                               << "002  00:00:10 (010 s)  B05  Kometen rot 50 mm €";
        QTest::newRow("another line") << "Bombe" << false << "002  00:00:10 (010 s)  B05  Bombe";
        QTest::newRow("emptied removes it") << "" << false << "002  00:00:10 (010 s)  B05";
    }
    void effectIsCommittedLikeTheOtherFields()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        QFETCH(QString, list2);
        Editor e;
        ShotList start = ListWithTimes({ 0, 10, 20 });
        start.circuits[1] = 37;
        start.effects[1] = QStringLiteral("Alt");
        QVERIFY(OpenEditorPage(e.w, { 0 }));
        e.w.document().reset(start);
        ClickListLine(e.w, 1);
        e.w.Text3->setFocus(Qt::TabFocusReason);
        QTest::keyClick(e.w.Text3, Qt::Key_Delete);
        enter(e.w.Text3, typed, false);
        if (byEnter)
            QTest::keyClick(e.w.Text3, Qt::Key_Return);
        else
            ClickListLine(e.w, 2);

        QCOMPARE(e.w.list().effects[1], typed.trimmed());
        QCOMPARE(e.w.List2->item(1)->text(), list2);
        QCOMPARE(e.w.List1->item(1)->text(), QStringLiteral("002  00:00:10  B05"));
        QCOMPARE(e.w.document().undoStack().text(0), QStringLiteral("Effekt von Eintrag 2"));
        // Enter goes on to the next line's effect, the focus staying in the field.
        QCOMPARE(e.w.List2->currentRow(), 2);
        QCOMPARE(QApplication::focusWidget(), byEnter ? static_cast<QWidget*>(e.w.Text3) : e.w.List2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.w.list().effects[1], QStringLiteral("Alt"));
        QCOMPARE(e.w.Text3->text(), QStringLiteral("Alt"));
    }

    // What a list file cannot hold is refused as typed or pasted, the reason below the fields, no box.
    void effectFieldRefusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("notice");
        QTest::newRow("typed arrow") << false << Arrow << "Nr. 001: Das Zeichen " + ArrowRefused;
        QTest::newRow("pasted firework sign")
            << true << QString::fromUtf8("rot 🎆")
            << QString::fromUtf8("Nr. 001: Das Zeichen „🎆“ (U+1F386) kann eine Listendatei nicht speichern.");
        QTest::newRow("61st character") << false << "y"
                                        << "Nr. 001: Ein Effekt hat höchstens 60 Zeichen (dieser hat 61).";
    }
    void effectFieldRefusesWhatTheFileCannotHold()
    {
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, notice);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10 }));
        ClickListLine(e.w, 0);
        e.w.Text3->setFocus(Qt::TabFocusReason);
        const QString before(60, QLatin1Char('x'));
        QTest::keyClicks(e.w.Text3, before);
        enter(e.w.Text3, input, pasted);
        QCOMPARE(e.w.Text3->text(), before);
        QCOMPARE(e.w.Label9->text(), notice);
        QVERIFY(e.prompter->asked.isEmpty());
        QTest::keyClick(e.w.Text3, Qt::Key_Return);
        QCOMPARE(e.w.list().effects[0], before);
    }

    // A line shows as much of a long effect as the list is wide, ending in "…", and its tool tip the whole
    // effect; a wider window shows more of it.
    void longEffectLinesEndInAnEllipsis()
    {
        Editor e;
        ShotList list = ListWithTimes({ 0, 10, 20 });
        const QString effect = QStringLiteral("Bombette 50 mm rot mit Goldschweif und Knistern, ")
            + QString(20, QChar(0x00C4));
        list.effects[1] = effect;
        QVERIFY(OpenEditorPage(e.w, { 0 }));
        e.w.document().reset(list);
        QListWidget* list2 = e.w.List2;
        QCOMPARE(list2->textElideMode(), Qt::ElideRight);
        QCOMPARE(list2->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(list2->visualItemRect(list2->item(1)).width(), list2->viewport()->width());
        const int needed = list2->fontMetrics().horizontalAdvance(list2->item(1)->text());
        QVERIFY(needed > list2->viewport()->width());
        QCOMPARE(list2->item(1)->toolTip(), effect);
        QVERIFY(list2->item(0)->toolTip().isEmpty());

        // The tool tip as the pointer rests on the line.
        const QPoint at = list2->visualItemRect(list2->item(1)).center();
        QHelpEvent help(QEvent::ToolTip, at, list2->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list2->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), effect);

        const int before = list2->viewport()->width();
        e.w.resize(1200, 700);
        QTRY_VERIFY(list2->viewport()->width() > before + 500);
        QCOMPARE(list2->visualItemRect(list2->item(1)).width(), list2->viewport()->width());
        QCOMPARE(list2->horizontalScrollBar()->maximum(), 0);
    }

    // The comment box takes no character a list file cannot hold; the reason shows below it, no box.
    void commentBoxRefusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("typed arrow") << false << Arrow << "Show " << ArrowRefused;
        QTest::newRow("pasted with an arrow") << true << "Hafen " + Arrow << "Show " << ArrowRefused;
        QTest::newRow("Enter") << false << "\r" << "Show " << LineBreakRefused;
        QTest::newRow("pasted on two lines") << true << "Silvester\nVier Geräte" << "Show " << LineBreakRefused;
        QTest::newRow("Windows-1252 characters")
            << false << QString::fromUtf8("€ ä") << QString::fromUtf8("Show € ä") << QString();
    }
    void commentBoxRefusesWhatTheFileCannotHold()
    {
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0 }));
        e.w.SSTab1->setCurrentIndex(1);
        e.w.Text1->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(e.w.Text1, QStringLiteral("Show "));
        if (input == QLatin1String("\r"))
            QTest::keyClick(e.w.Text1, Qt::Key_Return);
        else
            enter(e.w.Text1, input, pasted);
        QCOMPARE(e.w.Text1->toPlainText(), text);
        // What the box holds is the list's comment, stored as typed.
        QCOMPARE(e.w.document().meta().comment, text);
        QCOMPARE(e.w.Label11->text(), reason.isEmpty() ? QStringLiteral("Kommentar der Liste im Editor") : reason);
        QVERIFY(e.w.Label11->fontMetrics().horizontalAdvance(reason) <= e.w.Label11->width());
        QVERIFY(e.prompter->asked.isEmpty());
    }

    // The save prompt names such a character and asks again; nothing is written with "?".
    void savePromptRefusesWhatTheFileCannotHold()
    {
        Editor e;
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/XXXXXX"));
        e.w.Dir1->setPath(dir.path());
        e.prompter->setNextInput(QStringLiteral("Hafen ") + Arrow);
        e.prompter->setNextInput(QStringLiteral("Hafen -"));
        e.prompter->setNextInput(QStringLiteral("fw_000"));
        e.w.Command4[1]->click();
        QCOMPARE(e.prompter->asked.size(), 4);
        QCOMPARE(e.prompter->asked[1].text,
            "Der Kommentar enthält „→“ (U+2192), das eine Listendatei nicht aufnehmen kann (nur westeuropäische "
            "Zeichen, Windows-1252).\n\nBitte den Kommentar ändern.");
        QCOMPARE(e.prompter->asked[2].defaultText, QStringLiteral("Hafen ") + Arrow);
        QVERIFY(readFile(dir.filePath("fw_000.fsl"))
                    .startsWith("Feuerwerk-Schussliste Pelorandistrake\r\nHafen -\r\n"));

        e.prompter->setNextInput(Arrow);
        e.prompter->setNextInput(std::nullopt); // cancelled when asked again
        e.w.Command4[1]->click();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "fw_000.fsl" });
    }

    // Nothing on the page lies on another element; the captions and a long notice have room.
    void editorPageFitsItsFrame()
    {
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0 }));
        const QList<QWidget*> page = e.w.Frame1[2]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (int i = 0; i < page.size(); ++i) {
            QVERIFY(e.w.Frame1[2]->rect().contains(page[i]->geometry()));
            for (int j = i + 1; j < page.size(); ++j)
                QVERIFY2(!page[i]->geometry().intersects(page[j]->geometry()),
                    qPrintable(page[i]->objectName() + " " + page[j]->objectName()));
        }
        e.w.Label9->setText(
            QString::fromUtf8("Nr. 001: 2000 s ist mehr als 999 s – 999 s gespeichert. Nr. 003 "
                              "bis Nr. 005 lägen nach 18:07:59 und sind gelöscht."));
        for (QLabel* label : { e.w.Label6[1], e.w.Label6[3], e.w.Label9 })
            QVERIFY2(
                label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
    }
};

KELTO_TEST_MAIN(TestEditorEffects)
#include "tst_editor_effects.moc"
