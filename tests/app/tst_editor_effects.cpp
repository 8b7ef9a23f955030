#include "browser_widgets.h"
#include "editor_page.h"
#include "file_bytes.h"
#include "scripted_prompter.h"
#include "test_main.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

using Times = QList<int>;

struct Editor {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
};

// Types any characters, also those QTest::keyClicks cannot map to a key.
void typeText(QWidget* into, const QString& text)
{
    for (const uint code : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, into, Qt::Key_unknown,
            QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1), Qt::NoModifier);
}

void paste(QWidget* into, const QString& text)
{
    QApplication::clipboard()->setText(text);
    QTest::keyClick(into, Qt::Key_V, Qt::ControlModifier);
}

const QString Arrow = QString::fromUtf8("→");
const QString ArrowRefused
    = QString::fromUtf8("Das Zeichen „→“ (U+2192) kann eine Listendatei nicht speichern.");

} // namespace

class TestEditorEffects : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Leaving the field or Enter stores the effect as one step; the List2 line ends with it, List1 stays.
    void effectIsCommittedLikeTheOtherFields_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("list2");
        QTest::newRow("Enter") << "Kometen rot 50 mm"
                               << "Enter"
                               << "Kometen rot 50 mm"
                               << "002  00:00:10 (010 s)  B05  Kometen rot 50 mm";
        QTest::newRow("another line") << "Bombe"
                                      << "line"
                                      << "Bombe"
                                      << "002  00:00:10 (010 s)  B05  Bombe";
        QTest::newRow("another field, blanks around") << "  Vulkan  "
                                                      << "field"
                                                      << "Vulkan"
                                                      << "002  00:00:10 (010 s)  B05  Vulkan";
        QTest::newRow("Windows-1252 characters") << "Feuertopf € 30 ä"
                                                 << "Enter"
                                                 << "Feuertopf € 30 ä"
                                                 << "002  00:00:10 (010 s)  B05  Feuertopf € 30 ä";
        QTest::newRow("emptied removes it") << ""
                                            << "line" << QString() << "002  00:00:10 (010 s)  B05";
        QTest::newRow("as it was stores nothing") << "Alt"
                                                  << "Enter"
                                                  << "Alt"
                                                  << "002  00:00:10 (010 s)  B05  Alt";
    }
    void effectIsCommittedLikeTheOtherFields()
    {
        QFETCH(QString, typed);
        QFETCH(QString, leave);
        QFETCH(QString, stored);
        QFETCH(QString, list2);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10, 20 }, { 3, 37 }));
        ShotList start = e.w.list();
        start.effects[1] = QStringLiteral("Alt");
        e.w.document().reset(start);
        ClickListLine(e.w, 1);
        QCOMPARE(e.w.Text3->text(), QStringLiteral("Alt"));
        e.w.Text3->setFocus(Qt::TabFocusReason);
        QCOMPARE(e.w.Text3->selectedText(), QStringLiteral("Alt"));
        QTest::keyClick(e.w.Text3, Qt::Key_Delete);
        typeText(e.w.Text3, typed);
        if (leave == "Enter")
            QTest::keyClick(e.w.Text3, Qt::Key_Return);
        else if (leave == "line")
            ClickListLine(e.w, 2);
        else
            e.w.Text2[1]->setFocus(Qt::MouseFocusReason);

        QCOMPARE(e.w.list().effects[1], stored);
        QCOMPARE(e.w.List2->item(1)->text(), list2);
        QCOMPARE(e.w.List1->item(1)->text(), QStringLiteral("002  00:00:10  B05"));
        QCOMPARE(EntryTimes(e.w), Times({ 0, 10, 20 }));
        const bool changed = stored != QStringLiteral("Alt");
        QCOMPARE(e.w.document().undoStack().count(), changed ? 1 : 0);
        if (leave == "Enter") {
            // On to the next line's effect, the focus staying in the field.
            QCOMPARE(e.w.List2->currentRow(), 2);
            QCOMPARE(QApplication::focusWidget(), e.w.Text3);
            QCOMPARE(e.w.SavedFieldText[4], QString());
        }
        if (changed) {
            QCOMPARE(e.w.document().undoStack().text(0), QStringLiteral("Effekt von Eintrag 2"));
            e.w.List2->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(e.w.list().effects[1], QStringLiteral("Alt"));
            QCOMPARE(e.w.Text3->text(), QStringLiteral("Alt"));
            QCOMPARE(e.w.List2->item(1)->text(), QStringLiteral("002  00:00:10 (010 s)  B05  Alt"));
            QTest::keyClick(e.w.List2, Qt::Key_Y, Qt::ControlModifier);
            QCOMPARE(e.w.list().effects[1], stored);
        }
    }

    // Enter after Enter types the effects of a show line by line; Einfg and Entf keep them with their
    // entries.
    void effectsTypedInSequenceStayWithTheirEntries()
    {
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10, 20 }));
        ClickListLine(e.w, 0);
        QTest::mouseClick(e.w.Text3, Qt::LeftButton);
        for (const char* effect : { "Vulkan", "Bombe", "Finale" }) {
            QTest::keyClicks(e.w.Text3, effect);
            QTest::keyClick(e.w.Text3, Qt::Key_Return);
        }
        QCOMPARE(e.w.List2->currentRow(), 3);
        QCOMPARE(QApplication::focusWidget(), e.w.Text3);
        QCOMPARE(e.w.document().undoStack().count(), 3);

        ClickListLine(e.w, 1);
        QTest::keyClick(e.w.List2, Qt::Key_Insert); // a new entry at 5 s before "Bombe"
        QCOMPARE(EntryTimes(e.w), Times({ 0, 5, 10, 20 }));
        QCOMPARE(e.w.list().effects[1], QString());
        QCOMPARE(e.w.list().effects[2], QStringLiteral("Bombe"));
        QCOMPARE(e.w.List2->item(2)->text(), QStringLiteral("003  00:00:10 (010 s)  ---    Bombe"));
        ClickListLine(e.w, 0);
        QTest::keyClick(e.w.List2, Qt::Key_Delete);
        QCOMPARE(e.w.list().effects[0], QString());
        QCOMPARE(e.w.list().effects[1], QStringLiteral("Bombe"));
        QCOMPARE(e.w.list().effects[2], QStringLiteral("Finale"));
        QCOMPARE(e.w.Text3->text(), QString());
        QTest::keyClick(e.w.List2, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.w.list().effects[0], QStringLiteral("Vulkan"));
        QCOMPARE(e.w.Text3->text(), QStringLiteral("Vulkan"));
    }

    // What a list file cannot hold is refused as it is typed or pasted, with the reason below the
    // fields and without a box; what was there stays.
    void effectFieldRefusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("notice");
        QTest::newRow("typed arrow") << "Vulkan " << false << Arrow << "Vulkan "
                                     << "Nr. 001: " + ArrowRefused;
        QTest::newRow("pasted with an arrow") << "Vulkan " << true << "rot " + Arrow + " blau"
                                              << "Vulkan "
                                              << "Nr. 001: " + ArrowRefused;
        QTest::newRow("pasted firework sign")
            << "" << true << QString::fromUtf8("Vulkan 🎆") << ""
            << QString::fromUtf8("Nr. 001: Das Zeichen „🎆“ (U+1F386) kann eine Listendatei nicht speichern.");
        QTest::newRow("61st character typed")
            << QString(60, QLatin1Char('x')) << false << "y" << QString(60, QLatin1Char('x'))
            << "Nr. 001: Ein Effekt hat höchstens 60 Zeichen (dieser hat 61).";
        QTest::newRow("61 characters pasted")
            << "" << true << QString(61, QLatin1Char('z')) << ""
            << "Nr. 001: Ein Effekt hat höchstens 60 Zeichen (dieser hat 61).";
        QTest::newRow("60 characters pasted")
            << "" << true << QString(60, QLatin1Char('z')) << QString(60, QLatin1Char('z')) << "";
    }
    void effectFieldRefusesWhatTheFileCannotHold()
    {
        QFETCH(QString, before);
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, field);
        QFETCH(QString, notice);
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10 }));
        ClickListLine(e.w, 0);
        e.w.Text3->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(e.w.Text3, before);
        if (pasted)
            paste(e.w.Text3, input);
        else
            typeText(e.w.Text3, input);
        QCOMPARE(e.w.Text3->text(), field);
        QCOMPARE(e.w.Label9->text(), notice);
        QVERIFY(e.prompter->asked.isEmpty());
        // What the field holds is what is stored, with no "?" for a refused character.
        QTest::keyClick(e.w.Text3, Qt::Key_Return);
        QCOMPARE(e.w.list().effects[0], field.trimmed());
    }

    // Lines with long effects are as wide as they need: the list scrolls to their end.
    void longEffectLinesAreNotCut()
    {
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10, 20 }));
        QCOMPARE(e.w.List2->horizontalScrollBar()->maximum(), 0);
        ShotList list = e.w.list();
        list.effects[1] = QString(60, QChar(0x00C4)); // "Ä", as wide as any letter of the fixed font
        e.w.document().reset(list);
        const QString line = e.w.List2->item(1)->text();
        QCOMPARE(line.size(), 28 + 2 + 60);
        const int needed = e.w.List2->fontMetrics().horizontalAdvance(line);
        for (int row : { 0, 1, 169 })
            QVERIFY(e.w.List2->visualItemRect(e.w.List2->item(row)).width() >= needed);
        QVERIFY(e.w.List2->horizontalScrollBar()->maximum() > 0);
        // Without the effect, the lines fit the list again.
        list.effects[1].clear();
        e.w.document().reset(list);
        QTRY_COMPARE(e.w.List2->horizontalScrollBar()->maximum(), 0);
    }

    // The comment box takes no character a list file cannot hold; the reason shows below it, no box.
    void commentBoxRefusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        const QString refused = QString::fromUtf8("„→“ (U+2192) kann eine Listendatei nicht speichern.");
        QTest::newRow("typed arrow") << false << Arrow << "Show " << refused;
        QTest::newRow("pasted with an arrow") << true << "Hafen " + Arrow + " Mole"
                                              << "Show " << refused;
        QTest::newRow("Windows-1252 characters typed")
            << false << QString::fromUtf8("€ äöü") << QString::fromUtf8("Show € äöü") << "";
        QTest::newRow("line break pasted") << true << "Teil 1\nTeil 2"
                                           << "Show Teil 1\nTeil 2"
                                           << "";
    }
    void commentBoxRefusesWhatTheFileCannotHold()
    {
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        Editor e;
        e.w.show();
        QVERIFY(QTest::qWaitForWindowActive(&e.w));
        e.w.SSTab1->setCurrentIndex(1);
        e.w.Text1->setPlainText(QString());
        e.w.Text1->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(e.w.Text1, "Show ");
        if (pasted)
            paste(e.w.Text1, input);
        else
            typeText(e.w.Text1, input);
        QCOMPARE(e.w.Text1->toPlainText(), text);
        QCOMPARE(e.w.Label11->text(), reason);
        QVERIFY(e.prompter->asked.isEmpty());
        if (!reason.isEmpty()) {
            QVERIFY(e.w.Label11->fontMetrics().horizontalAdvance(reason) <= e.w.Label11->width());
            // It goes with the next change of the comment.
            QTest::keyClicks(e.w.Text1, "x");
            QCOMPARE(e.w.Label11->text(), QString());
        }
    }

    // The comment asked for on saving: a character the file cannot hold is named and the comment asked
    // for again; nothing is written with "?".
    void savePromptRefusesWhatTheFileCannotHold()
    {
        Editor e;
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/XXXXXX"));
        e.w.Dir1->setPath(dir.path());
        QVERIFY(e.w.Command4[1]->isEnabled());
        e.prompter->setNextInput(QStringLiteral("Hafen ") + Arrow + QStringLiteral(" Mole"));
        e.prompter->setNextInput(QStringLiteral("Hafen - Mole"));
        e.prompter->setNextInput(QStringLiteral("fw_000"));
        e.w.Command4[1]->click();

        QCOMPARE(e.prompter->asked.size(), 4);
        QCOMPARE(e.prompter->asked[1].text, ArrowRefused + QStringLiteral("\n\nBitte den Kommentar ändern."));
        QCOMPARE(e.prompter->asked[1].icon, Prompter::Icon::Warning);
        QVERIFY(e.prompter->asked[2].isInput);
        QCOMPARE(
            e.prompter->asked[2].defaultText, QStringLiteral("Hafen ") + Arrow + QStringLiteral(" Mole"));
        const QByteArray bytes = readFile(dir.filePath(QStringLiteral("fw_000.fsl")));
        QVERIFY(bytes.startsWith("Feuerwerk-Schussliste Pelorandistrake\r\nHafen - Mole\r\n"));
        QCOMPARE(e.w.Text1->toPlainText(), QStringLiteral("Hafen - Mole"));

        // Cancelled when asked again: nothing is written.
        e.prompter->asked.clear();
        e.prompter->setNextInput(Arrow);
        e.prompter->setNextInput(std::nullopt);
        e.w.Command4[1]->click();
        QCOMPARE(e.prompter->asked.size(), 3);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("fw_001.fsl"))));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("fw_000.fsl"))), bytes);
    }

    // Nothing on the page lies on another element, and every caption and notice has room for its text.
    void editorPageFitsItsFrame()
    {
        Editor e;
        QVERIFY(OpenEditorPage(e.w, { 0, 10 }));
        const QList<QWidget*> page = e.w.Frame1[2]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QVERIFY(page.size() >= 14);
        for (int i = 0; i < page.size(); ++i) {
            QVERIFY2(e.w.Frame1[2]->rect().contains(page[i]->geometry()), qPrintable(page[i]->objectName()));
            for (int j = i + 1; j < page.size(); ++j)
                QVERIFY2(!page[i]->geometry().intersects(page[j]->geometry()),
                    qPrintable(page[i]->objectName() + " " + page[j]->objectName()));
        }
        const QString longNotice
            = QString::fromUtf8("Nr. 001: 2000 s ist mehr als 999 s – 999 s gespeichert. Nr. "
                                "003 bis Nr. 005 lägen nach 18:07:59 und sind gelöscht.");
        e.w.Label9->setText(longNotice);
        e.w.List2->setCurrentRow(0);
        for (QLabel* label : { e.w.Label6[0], e.w.Label6[1], e.w.Label6[2], e.w.Label6[3], e.w.Label9 })
            QVERIFY2(
                label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
        QVERIFY(e.w.Label10->fontMetrics().horizontalAdvance(e.w.Label10->text()) <= e.w.Label10->width());
        // The effect field is as wide as the column of fields.
        QCOMPARE(e.w.Text3->geometry().right(), e.w.Label8->geometry().right());
    }
};

KELTO_TEST_MAIN(TestEditorEffects)
#include "tst_editor_effects.moc"
