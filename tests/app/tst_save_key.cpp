#include "browser_widgets.h"
#include "file_bytes.h"
#include "files/list_file.h"
#include "form1.h"
#include "list_edit.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList names(const QListWidget* list)
{
    QStringList found;
    for (int i = 0; i < list->count(); ++i)
        found.append(list->item(i)->text().trimmed());
    return found;
}

// Written by another program: whole, through a file of its own renamed into place.
bool writeFromOutside(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

struct Window {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/XXXXXX") };

    QString path(const QString& name) const { return dir.filePath(name); }
    bool show()
    {
        w.Dir1->setPath(dir.path());
        w.show();
        return QTest::qWaitForWindowActive(&w);
    }
    void pressSave()
    {
        QTest::keyClick(
            QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_S, Qt::ControlModifier);
    }
};

ListMeta withComment(const QString& comment)
{
    ListMeta meta;
    meta.comment = comment;
    return meta;
}

} // namespace

class TestSaveKey : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Strg+S writes the list into the file it came from with its comment, asks nothing, says so on the
    // page in sight and selects the file on "Datei" with its preview.
    void saveKeyWritesTheOwnFile_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("notice"); // the element that says it
        QTest::newRow("Kommunikation") << 0 << "Label19";
        QTest::newRow("Datei") << 1 << "Label11";
        QTest::newRow("Bearbeiten") << 2 << "Label9";
        QTest::newRow("Probelauf") << 3 << "Label13";
    }
    void saveKeyWritesTheOwnFile()
    {
        QFETCH(int, page);
        QFETCH(QString, notice);
        Window t;
        const QString file = t.path(QStringLiteral("silvester.fsl"));
        QVERIFY(WriteListFile(file, ListWithTimes({ 0, 5 }), withComment(QStringLiteral("Hafen")), nullptr));
        QVERIFY(writeFromOutside(t.path(QStringLiteral("zzz.fsl")), readFile(file)));
        QVERIFY(t.show());
        t.w.OpenListFile(file);
        QVERIFY(t.w.document().isSaved());
        ShotList changed = t.w.list();
        changed.times[2] = 9;
        QVERIFY(t.w.document().replace(
            t.w.document().revision(), changed, t.w.document().meta(), QStringLiteral("x")));
        QVERIFY(!t.w.document().isSaved());
        t.w.SSTab1->setCurrentIndex(page);
        t.w.File1->setCurrentRow(1); // zzz.fsl previewed
        t.w.SSTab1->setCurrentIndex(page);

        t.pressSave();
        QVERIFY(t.prompter->asked.isEmpty());
        QVERIFY(t.w.document().isSaved());
        const ListFileRead read = ReadListFile(file);
        QVERIFY(read.ok());
        QCOMPARE(read.list.times[2], 9);
        QCOMPARE(read.meta.comment, QStringLiteral("Hafen"));
        QCOMPARE(readFile(file), ListFileBytes(t.w.list(), t.w.document().meta(), file));
        const auto* label = t.w.findChild<QLabel*>(notice);
        QVERIFY(label);
        QVERIFY2(label->text().startsWith(QStringLiteral("Gespeichert: silvester.fsl, ")),
            qPrintable(label->text()));
        QCOMPARE(t.w.File1->currentItem()->text(), QStringLiteral("silvester.fsl"));
        QCOMPARE(t.w.Text1->toPlainText(), QStringLiteral("Hafen"));
        QVERIFY2(
            t.w.Label5->text().contains(QStringLiteral("Anzahl Schüsse: 3")), qPrintable(t.w.Label5->text()));
        QCOMPARE(t.w.findChild<QAction*>(QStringLiteral("SaveAction"))->text(), QStringLiteral("Speichern"));
    }

    // Typing in a field of the editor not yet committed goes into the file too.
    void saveKeyCommitsTheFieldFirst()
    {
        Window t;
        const QString file = t.path(QStringLiteral("show.fsl"));
        QVERIFY(WriteListFile(file, ListWithTimes({ 0, 5 }), withComment(QStringLiteral("x")), nullptr));
        QVERIFY(t.show());
        t.w.OpenListFile(file);
        t.w.SSTab1->setCurrentIndex(2);
        t.w.List2->setCurrentRow(1);
        t.w.Text2[1]->setFocus();
        QTRY_VERIFY(t.w.Text2[1]->hasFocus());
        QTest::keyClick(t.w.Text2[1], Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(t.w.Text2[1], QStringLiteral("7"));
        t.pressSave();
        QCOMPARE(ReadListFile(file).list.times[1], 7);
        QVERIFY(t.w.document().isSaved());
    }

    // A list without a list file of its own (new, or imported from a table) runs "Datei speichern":
    // the table is never overwritten with a list file.
    void listWithoutOwnFileAsksAsDateiSpeichern_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("new list") << QString();
        QTest::newRow("imported table") << QStringLiteral("show.csv");
    }
    void listWithoutOwnFileAsksAsDateiSpeichern()
    {
        QFETCH(QString, source);
        Window t;
        QVERIFY(t.show());
        ListMeta meta;
        if (!source.isEmpty()) {
            meta.sourcePath = t.path(source);
            QVERIFY(writeFromOutside(meta.sourcePath, "Zeit;Kreis\r\n"));
        }
        t.w.document().reset(ListWithTimes({ 0, 3 }), meta);
        t.prompter->setNextInput(QStringLiteral("Probe"));
        t.prompter->setNextInput(QStringLiteral("fw_000"));
        t.pressSave();
        QCOMPARE(t.prompter->asked.size(), 2);
        QCOMPARE(t.prompter->asked[0].text, QStringLiteral("Kommentar zur Liste:"));
        QVERIFY(ReadListFile(t.path(QStringLiteral("fw_000.fsl"))).ok());
        if (!source.isEmpty())
            QCOMPARE(readFile(t.path(source)), QByteArray("Zeit;Kreis\r\n"));
        // Saved, the list has its own file: the next Strg+S asks nothing.
        QCOMPARE(t.w.File1->currentItem()->text(), QStringLiteral("fw_000.fsl"));
        t.pressSave();
        QCOMPARE(t.prompter->asked.size(), 2);
    }

    // Lists and folders made, written or removed by another program show up in File1 and Dir1 without
    // a click; the previewed list keeps its selection.
    void folderFollowsTheDisk()
    {
        Window t;
        QVERIFY(
            WriteListFile(t.path(QStringLiteral("a.fsl")), ListWithTimes({ 0 }), withComment("a"), nullptr));
        QVERIFY(t.show());
        QCOMPARE(names(t.w.File1), QStringList { "a.fsl" });
        QCOMPARE(t.w.File1->currentRow(), 0);
        QCOMPARE(t.w.Text1->toPlainText(), QStringLiteral("a"));

        QVERIFY(writeFromOutside(t.path(QStringLiteral("b.fsl")), readFile(t.path(QStringLiteral("a.fsl")))));
        QTRY_COMPARE(names(t.w.File1), (QStringList { "a.fsl", "b.fsl" }));
        QCOMPARE(t.w.File1->currentItem()->text(), QStringLiteral("a.fsl"));
        QCOMPARE(t.w.Text1->toPlainText(), QStringLiteral("a"));

        QVERIFY(QDir(t.dir.path()).mkdir(QStringLiteral("Sommerfest")));
        QTRY_VERIFY(names(t.w.Dir1).contains(QStringLiteral("Sommerfest")));
        QCOMPARE(t.w.Dir1->path(), QDir::toNativeSeparators(t.dir.path()));

        QVERIFY(QFile::remove(t.path(QStringLiteral("a.fsl"))));
        QTRY_COMPARE(names(t.w.File1), QStringList { "b.fsl" });
        QCOMPARE(t.w.File1->currentRow(), -1);
        QCOMPARE(t.w.Label5->text(), QStringLiteral("Keine Datei ausgewählt..."));
        QVERIFY(!t.w.Command4[0]->isEnabled());

        // The open folder itself removed: the nearest folder left opens.
        t.w.Dir1->setPath(t.path(QStringLiteral("Sommerfest")));
        QVERIFY(QDir(t.path(QStringLiteral("Sommerfest"))).removeRecursively());
        QTRY_COMPARE(t.w.Dir1->path(), QDir::toNativeSeparators(t.dir.path()));
        QTRY_COMPARE(names(t.w.File1), QStringList { "b.fsl" });
    }
};

KELTO_TEST_MAIN(TestSaveKey)
#include "tst_save_key.moc"
