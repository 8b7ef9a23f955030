#include "browser_widgets.h"
#include "editor_page.h"
#include "file_bytes.h"
#include "fsl_fixtures.h"
#include "list_edit.h"
#include "scripted_prompter.h"
#include "shotlist/commit_notice.h"
#include "test_main.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUndoStack>

// What the list carries lives in the document: the comment, what is typed into the fields, what a
// removed entry had. Each case is a fault the window once had.

namespace {

constexpr int Until = 2;
constexpr int Circuit = 3;

const QByteArray Silvester = "Silvester am Hafen, Sicherheitsabstand 50 m";

struct Window {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/XXXXXX") };

    QString folder() const { return dir.path() + QLatin1Char('/'); }

    // a.fsl (Silvester, entries at 0 and 10 s on B01, B02) and b.fsl (four devices) in the folder shown.
    bool openFolder()
    {
        writeFile(folder() + "a.fsl", FslHead(Silvester) + FslEntries({ "0000 21", "000A 22" }));
        writeFile(folder() + "b.fsl", FslHead("Vier Ger\xE4te") + FslEntries({ "0000 01" }));
        w.show();
        if (!QTest::qWaitForWindowActive(&w))
            return false;
        w.Dir1->setPath(dir.path());
        return true;
    }
    void clickFile(const QString& name)
    {
        const QList<QListWidgetItem*> found = w.File1->findItems(name, Qt::MatchExactly);
        QTest::mouseClick(w.File1->viewport(), Qt::LeftButton, {}, w.File1->visualItemRect(found.first()).center());
    }
};

} // namespace

class TestListData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Looking at another file never changes the comment that goes into the list's file: the save
    // prompt starts with the list's own, and the box says which of the two it shows.
    void savePromptStartsWithTheListsComment()
    {
        Window x;
        QVERIFY(x.openFolder());
        x.clickFile("a.fsl");
        QTest::mouseClick(x.w.Command4[0], Qt::LeftButton);
        QCOMPARE(x.w.document().meta().comment, QString::fromLatin1(Silvester));
        x.w.SSTab1->setCurrentIndex(1);
        x.clickFile("b.fsl");
        QVERIFY(x.w.CommentShowsPreview());
        QCOMPARE(x.w.Text1->toPlainText(), QStringLiteral("Vier Geräte"));
        QVERIFY(x.w.Text1->isReadOnly());
        QCOMPARE(x.w.Label11->text(), QStringLiteral("Kommentar von b.fsl (Vorschau)"));
        QCOMPARE(x.w.document().meta().comment, QString::fromLatin1(Silvester));

        x.prompter->setNextInput(QString::fromLatin1(Silvester));
        x.prompter->setNextInput(QStringLiteral("neu"));
        QTest::mouseClick(x.w.Command4[1], Qt::LeftButton);
        QCOMPARE(x.prompter->asked[0].defaultText, QString::fromLatin1(Silvester));
        QVERIFY(readFile(x.folder() + "neu.fsl").startsWith(FslHead(Silvester).left(60)));
        // The saved file is selected and previewed: its comment is the list's.
        QVERIFY(x.w.CommentShowsPreview());
        QCOMPARE(x.w.File1->currentItem()->text(), QStringLiteral("neu.fsl"));
        QCOMPARE(x.w.Text1->toPlainText(), QString::fromLatin1(Silvester));
        QCOMPARE(x.w.Label11->text(), QStringLiteral("Kommentar von neu.fsl (Vorschau)"));
    }

    // Typed into the box, the comment is the list's at once: unsaved, one undo step a run, taken back
    // with Strg+Z; a preview clicked later shows another file's and leaves it.
    void typedCommentBelongsToTheList()
    {
        Window x;
        QVERIFY(x.openFolder());
        x.w.SSTab1->setCurrentIndex(1);
        QVERIFY(x.w.CommentShowsPreview()); // the last file of the folder
        QTest::mouseClick(x.w.Text1->viewport(), Qt::LeftButton);
        QVERIFY(!x.w.CommentShowsPreview());
        QCOMPARE(x.w.Text1->toPlainText(), QString());
        QTest::keyClicks(x.w.Text1, QStringLiteral("Hafen"));
        QCOMPARE(x.w.document().meta().comment, QStringLiteral("Hafen"));
        QVERIFY(!x.w.document().isSaved());
        QCOMPARE(x.w.document().undoStack().count(), 1);

        x.clickFile("a.fsl");
        QCOMPARE(x.w.Text1->toPlainText(), QString::fromLatin1(Silvester));
        QCOMPARE(x.w.document().meta().comment, QStringLiteral("Hafen"));

        QTest::mouseClick(x.w.Text1->viewport(), Qt::LeftButton);
        QCOMPARE(x.w.Text1->toPlainText(), QStringLiteral("Hafen"));
        QTest::keyClick(x.w.Text1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(x.w.document().meta().comment, QString());
        QCOMPARE(x.w.Text1->toPlainText(), QString());
        QVERIFY(x.w.document().isSaved());
    }

    // The effect is stored as it is typed: one step for the run, the field keeps its caret and blanks.
    void effectIsStoredAsTyped()
    {
        Window x;
        QVERIFY(OpenEditorPage(x.w, { 0, 10 }));
        ClickListLine(x.w, 1);
        ClickInto(x.w.Text3);
        QTest::keyClicks(x.w.Text3, QStringLiteral("Bombette 50 mm "));
        QCOMPARE(x.w.list().effects[1], QStringLiteral("Bombette 50 mm"));
        QCOMPARE(x.w.Text3->text(), QStringLiteral("Bombette 50 mm "));
        QTest::keyClicks(x.w.Text3, QStringLiteral("rot"));
        QCOMPARE(x.w.list().effects[1], QStringLiteral("Bombette 50 mm rot"));
        QCOMPARE(x.w.Text3->cursorPosition(), 18);
        QCOMPARE(x.w.List2->currentRow(), 1);
        QCOMPARE(x.w.document().undoStack().count(), 1);
        QTest::keyClick(x.w.Text3, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(x.w.list().effects[1], QString());
        QCOMPARE(x.w.Text3->text(), QString());
        // Typing goes on where it was: the field keeps the focus and the line.
        QCOMPARE(QApplication::focusWidget(), x.w.Text3);
        QTest::keyClicks(x.w.Text3, QStringLiteral("Vulkan"));
        QCOMPARE(x.w.list().effects[1], QStringLiteral("Vulkan"));
    }

    // After a circuit number, a click into "Effekt" edits the entry shown when the user clicked.
    void clickIntoEffectEditsTheShownEntry()
    {
        Window x;
        QVERIFY(OpenEditorPage(x.w, { 0, 10, 20 }));
        ClickListLine(x.w, 0);
        x.w.Combo2->setCurrentIndex(1);
        ClickInto(x.w.Text2[Circuit]);
        QTest::keyClicks(x.w.Text2[Circuit], QStringLiteral("5"));
        ClickInto(x.w.Text3);
        QCOMPARE(x.w.list().circuits[0], qint16(32 + 5));
        QCOMPARE(x.w.List2->currentRow(), 0);
        QTest::keyClicks(x.w.Text3, QStringLiteral("Vulkan weiß"));
        QCOMPARE(x.w.list().effects[0], QStringLiteral("Vulkan weiß"));
        QVERIFY(x.w.list().effects[1].isEmpty());
    }

    // An entry a gap pushes past 18:07:59 is deleted whole: the entry appended there later has neither
    // its circuit nor its effect.
    void deletedEntryLeavesNothingBehind()
    {
        Window x;
        QVERIFY(OpenEditorPage(x.w, { 0, 10, 65270 }, { 1, 2, 66 }));
        EditList(x.w, [](ShotList& list) { list.effects[2] = QStringLiteral("Bombe 150 mm"); });
        ClickListLine(x.w, 0);
        ClickInto(x.w.Text2[Until]);
        QTest::keyClicks(x.w.Text2[Until], QStringLiteral("300"));
        QTest::keyClick(x.w.Text2[Until], Qt::Key_Return);
        QCOMPARE(x.w.document().entryCount(), 2);
        QVERIFY2(x.w.Label9->text().contains(QStringLiteral("gelöscht")), qPrintable(x.w.Label9->text()));
        QCOMPARE(x.w.list().circuits[2], NoCircuit);
        QVERIFY(x.w.list().effects[2].isEmpty());

        ClickListLine(x.w, 1);
        ClickInto(x.w.Text2[Until]);
        QTest::keyClicks(x.w.Text2[Until], QStringLiteral("5"));
        QTest::keyClick(x.w.Text2[Until], Qt::Key_Return);
        QCOMPARE(x.w.document().entryCount(), 3);
        QCOMPARE(x.w.List2->item(2)->text(), QStringLiteral("003  00:05:05 (000 s)  ---  "));
    }

    // An effect waits on the first empty slot for its entry; further down it is refused with a notice.
    void effectOnEmptySlots_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("stored");
        QTest::newRow("first empty slot") << 2 << true;
        QTest::newRow("further down") << 52 << false;
    }
    void effectOnEmptySlots()
    {
        QFETCH(int, row);
        QFETCH(bool, stored);
        Window x;
        QVERIFY(OpenEditorPage(x.w, { 0, 10 }));
        ClickListLine(x.w, row);
        ClickInto(x.w.Text3);
        QTest::keyClicks(x.w.Text3, QStringLiteral("Bombe"));
        QCOMPARE(x.w.list().effects[row], stored ? QStringLiteral("Bombe") : QString());
        QCOMPARE(x.w.Text3->text(), stored ? QStringLiteral("Bombe") : QString());
        QCOMPARE(x.w.Label9->text(), stored ? QString() : ReservedEffectNotice(row, 2));
        QCOMPARE(x.w.document().undoStack().count(), stored ? 1 : 0);
    }

    // "Datei laden", "Empfang" and a restored copy replace the list: unsaved work is not given up unasked.
    void replacingUnsavedWorkAsks_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("yes");
        for (const char* how : { "load", "receive", "restore" }) {
            QTest::newRow(qPrintable(QStringLiteral("%1, Nein").arg(how))) << how << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, Ja").arg(how))) << how << true;
        }
    }
    void replacingUnsavedWorkAsks()
    {
        QFETCH(QString, how);
        QFETCH(bool, yes);
        Window x;
        QVERIFY(x.openFolder());
        QVERIFY(x.w.document().applySince(x.w.document().revision(), 1, 7, 0));
        const ShotList edited = x.w.list();
        const int asked = x.prompter->asked.size();
        x.prompter->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        bool replaced = false;
        if (how == "load") {
            x.clickFile("a.fsl");
            QTest::mouseClick(x.w.Command4[0], Qt::LeftButton);
            replaced = x.w.document().name() == QStringLiteral("a.fsl");
        } else if (how == "receive") {
            x.w.Combo1->setCurrentIndex(0);
            x.w.Command2_Click(0);
            // Asked before the port is opened; a port that is not there then refuses with a box of its own.
            replaced = x.prompter->asked.size() > asked + 1 || x.w.Receiving();
        } else {
            replaced = x.w.RestoreList(ListWithTimes({ 3, 4, 5 }), ListMeta());
        }
        QVERIFY(x.prompter->asked.size() > asked);
        const ScriptedPrompter::Asked& box = x.prompter->asked[asked];
        QVERIFY2(box.text.startsWith(QStringLiteral("Die Liste im Editor ist nicht gespeichert (2 Schüsse, zuletzt "
                                                    "geändert um %1).")
                                         .arg(x.w.document().lastChanged().toString(QStringLiteral("HH:mm")))),
            qPrintable(box.text));
        QCOMPARE(box.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(box.defaultButton, Prompter::Answer::No);
        QCOMPARE(replaced, yes);
        if (!yes)
            QVERIFY(SameList(x.w.list(), edited));
    }

    // A step that touched no line (the music) leaves the selected line shown; a restored list shows
    // empty, disabled fields, not the old line's values.
    void fieldsShowTheSelectedLineOrNothing()
    {
        Window x;
        QVERIFY(OpenEditorPage(x.w, { 0, 10, 30 }, { 33, 34, 35 }));
        ClickListLine(x.w, 1);
        // The music page's change selects no line: the fields show no old line.
        QVERIFY(x.w.document().setMusic(x.w.document().revision(), QDir::current().filePath("fehlt.ogg")));
        QCOMPARE(x.w.List2->currentRow(), -1);
        QVERIFY(!x.w.Text2[Until]->isEnabled());
        QCOMPARE(x.w.Text2[Until]->text(), QString());
        ClickListLine(x.w, 1);
        x.w.UndoList();
        QCOMPARE(x.w.List2->currentRow(), 1);
        QVERIFY(x.w.Text2[Until]->isEnabled());
        QCOMPARE(x.w.Text2[Until]->text(), QStringLiteral("20"));
        QCOMPARE(x.w.Text2[Circuit]->text(), QStringLiteral("2"));

        QVERIFY(x.w.RestoreList(ListWithTimes({ 4, 9 }), ListMeta()));
        for (QLineEdit* field : { x.w.Text2[1], x.w.Text2[2], x.w.Text2[3], x.w.Text3 }) {
            QVERIFY(!field->isEnabled());
            QCOMPARE(field->text(), QString());
        }
        QVERIFY(!x.w.Combo2->isEnabled());
        QCOMPARE(x.w.Combo2->currentIndex(), -1);
    }
};

KELTO_TEST_MAIN(TestListData)
#include "tst_list_data.moc"
