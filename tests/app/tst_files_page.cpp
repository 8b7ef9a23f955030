#include "browser_widgets.h"
#include "file_bytes.h"
#include "form1.h"
#include "fsl_fixtures.h"
#include "list_edit.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "widgets.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

using Answer = Prompter::Answer;

const QString NoFile = QStringLiteral("Keine Datei ausgewählt...");
const QString NotAList = QStringLiteral("Diese Datei ist keine gültige Feuerwerks-Schussliste...");
QByteArray listFile(const QByteArray& comment, const QByteArrayList& first = {}, int total = EntryCount)
{
    return FslHead(comment) + FslEntries(first, total);
}

QStringList fileList(Form1& w)
{
    QStringList names;
    for (int i = 0; i < w.File1->count(); ++i)
        names.append(w.File1->item(i)->text());
    return names;
}

// A window answered by a script; the folder lives inside the test's own temporary folder.
struct Page {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/XXXXXX") };

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    void open() { w.Dir1->setPath(dir.path()); }
    void save(const QString& comment, const QString& name)
    {
        prompter->setNextInput(comment);
        prompter->setNextInput(name);
        w.Command4[1]->click();
    }
};

} // namespace

class TestFilesPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QFile::remove(qEnvironmentVariable("temp") + QStringLiteral("/kelto.ini")); }

    void savesStartUpListByteExact()
    {
        Page p;
        p.open();
        QVERIFY(p.w.Command4[1]->isEnabled());
        // A comment on two lines is refused and asked for again: the file has one line for it.
        p.prompter->setNextInput(QString::fromUtf8("Probe\r\nmit € und ü"));
        p.save(QString::fromUtf8("Probe mit € und ü"), "fw_000");

        const QByteArray bytes = listFile("Probe mit \x80 und \xFC", { "0000 FF" });
        QCOMPARE(readFile(p.folder() + "fw_000.fsl"), bytes);
        QCOMPARE(p.prompter->asked.size(), 4);
        QCOMPARE(p.prompter->asked[0].title, QStringLiteral("Liste speichern"));
        QCOMPARE(p.prompter->asked[0].text, QStringLiteral("Kommentar zur Liste:"));
        QCOMPARE(p.prompter->asked[1].text,
            QStringLiteral("Der Kommentar muss auf einer Zeile stehen; eine Listendatei hat für ihn nur eine.\n\n"
                           "Bitte den Kommentar ändern."));
        QCOMPARE(p.prompter->asked[2].defaultText, QString::fromUtf8("Probe\r\nmit € und ü"));
        QCOMPARE(p.prompter->asked[3].text, QStringLiteral("Dateiname (ohne Erweiterung!):"));
        QCOMPARE(p.prompter->asked[3].defaultText, QStringLiteral("fw_000"));
        QCOMPARE(p.w.Text1->toPlainText(), QString::fromUtf8("Probe mit € und ü"));
        QCOMPARE(fileList(p.w), QStringList { "fw_000.fsl" });
    }

    // After a rejected load Label4 holds one line, while a receive List1 is empty: the file still gets
    // the four lines describing the list saved.
    void statisticsBlockDescribesTheSavedList_data()
    {
        QTest::addColumn<bool>("emptyList1");
        QTest::newRow("after a rejected load") << false;
        QTest::newRow("List1 emptied") << true;
    }
    void statisticsBlockDescribesTheSavedList()
    {
        QFETCH(bool, emptyList1);
        Page p;
        writeFile(p.folder() + "bad.fsl", "keine Liste\r\n");
        p.open();
        if (emptyList1) {
            p.w.List1->clear();
        } else {
            p.w.Command4_Click(0);
            QCOMPARE(p.w.Label4->text(), NotAList);
        }
        p.save("c", "neu");
        // The comment prompt starts with the list's own comment, never with what a preview shows.
        QCOMPARE(p.prompter->asked[p.prompter->asked.size() - 2].defaultText, QString());
        QCOMPARE(readFile(p.folder() + "neu.fsl"), listFile("c", { "0000 FF" }));
    }

    void loadTakesLooseEntryLines()
    {
        Page p;
        writeFile(p.folder() + "show.fsl",
            listFile("Silvester \xE4", { "0000 ff", "005a 2f", "005B-23", "7", "FFFF FF" })
                + "0001 01\r\nmehr\r\n");
        p.open();
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Silvester ä"));
        QVERIFY(p.w.Command4[0]->isEnabled());
        p.w.Command4[0]->click();

        QCOMPARE(p.w.SSTab1->currentIndex(), 0);
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Silvester ä"));
        QCOMPARE(p.w.list().times[1], 90);
        QCOMPARE(p.w.list().circuits[1], qint16(47));
        QCOMPARE(p.w.list().times[2], 91);
        QCOMPARE(p.w.list().circuits[2], qint16(35));
        // "7" lies before 91 and is pushed behind it by the refresh; its circuit is 0.
        QCOMPARE(p.w.List1->item(3)->text(), QStringLiteral("004  00:01:32  A00"));
        QCOMPARE(p.w.List1->item(4)->text(), QStringLiteral("005  --:--:--  ---"));
        QCOMPARE(p.w.Label4->text(),
            QStringLiteral(
                "Anzahl Einträge: 170\r\nAnzahl Schüsse: 4\r\nZeitdauer : 00:01:32\r\nnoch frei: 166"));
        QCOMPARE(p.w.document().entryCount(), 4);
    }

    void invalidFileIsRejected_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("previewValid");
        const QByteArray valid = listFile("Kommentar");
        QTest::newRow("letter case") << QByteArray(valid).replace("Schussliste", "schussliste") << false;
        QTest::newRow("175 lines") << listFile("Kommentar", {}, 169) << true;
    }
    void invalidFileIsRejected()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, previewValid);
        Page p;
        writeFile(p.folder() + "a.fsl", listFile("gut"));
        writeFile(p.folder() + "b.fsl", bytes);
        p.open();
        p.w.File1->setCurrentRow(0);
        QCOMPARE(p.w.Label5->text(),
            QStringLiteral("Anzahl Einträge: 170\r\nAnzahl Schüsse: 1\r\n"
                           "Zeitdauer : 00:00:00\r\nnoch frei: 169"));
        p.w.File1->setCurrentRow(1);
        QCOMPARE(p.w.Text1->toPlainText(), previewValid ? QStringLiteral("Kommentar") : NotAList);
        QCOMPARE(p.w.Command4[0]->isEnabled(), previewValid);
        // A file that is no list shows no figures, least of all those of the file before.
        QCOMPARE(p.w.Label5->text().isEmpty(), !previewValid);

        EditList(p.w, [](ShotList& list) { list.times[1] = 5; });
        const ShotList before = p.w.list();
        const QString text = p.w.Text1->toPlainText();
        p.w.Command4_Click(0);
        QCOMPARE(p.w.Label4->text(), NotAList);
        QVERIFY(!p.w.Command4[0]->isEnabled());
        QVERIFY(SameList(p.w.list(), before));
        QCOMPARE(p.w.Text1->toPlainText(), text);
        QCOMPARE(p.w.SSTab1->currentIndex(), 1);
        QCOMPARE(p.w.Label5->text().count(QStringLiteral("\r\n")), previewValid ? 3 : 0);
        // The rejection is readable in full.
        QVERIFY(p.w.Label4->wordWrap());
        QVERIFY(p.w.Label4->heightForWidth(p.w.Label4->width()) <= p.w.Label4->height());
    }

    // A file named on the command line opens in its folder as "Datei laden" would, on the first page.
    void fileNamedAtStartOpens_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label4");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("notFound");
        QTest::newRow("a list") << "show.fsl"
                                << "" << true << false;
        QTest::newRow("a list not named .fsl") << "show.txt"
                                               << "" << true << false;
        QTest::newRow("no list") << "kaputt.fsl" << NotAList << false << false;
        QTest::newRow("missing") << "weg.fsl"
                                 << "" << false << true;
    }
    void fileNamedAtStartOpens()
    {
        QFETCH(QString, name);
        QFETCH(QString, label4);
        QFETCH(bool, loaded);
        QFETCH(bool, notFound);
        Page p;
        writeFile(p.folder() + "show.fsl", listFile("Finale", { "0000 21", "000A 22" }));
        writeFile(p.folder() + "show.txt", listFile("Finale", { "0000 21", "000A 22" }));
        writeFile(p.folder() + "kaputt.fsl", "keine Liste\r\n");
        writeFile(p.folder() + "zzz.fsl", listFile("letzte"));

        p.w.OpenListFile(p.folder() + name);
        QCOMPARE(p.w.SSTab1->currentIndex(), 0);
        QCOMPARE(p.w.CurrentFolder, p.folder());
        QCOMPARE(p.w.document().entryCount(), loaded ? 2 : 1);
        if (label4.isEmpty())
            QVERIFY(p.w.Label4->text().startsWith(QStringLiteral("Anzahl Einträge: 170")));
        else
            QCOMPARE(p.w.Label4->text(), label4);
        if (loaded) {
            QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Finale"));
            QCOMPARE(p.w.List1->item(1)->text(), QStringLiteral("002  00:00:10  B02"));
        }
        QCOMPARE(p.prompter->asked.size(), notFound ? 1 : 0);
        if (notFound) {
            QCOMPARE(p.prompter->asked[0].title, p.folder() + name);
            QCOMPARE(p.prompter->asked[0].text, QStringLiteral("Datei nicht gefunden..."));
        }
    }

    void vanishedFileIsNotFound()
    {
        Page p;
        writeFile(p.folder() + "weg.fsl", listFile("c"));
        p.open();
        QVERIFY(QFile::remove(p.folder() + "weg.fsl"));
        const ShotList before = p.w.list();
        p.w.Command4_Click(0);
        QCOMPARE(p.prompter->asked.size(), 1);
        QCOMPARE(p.prompter->asked[0].title, p.folder() + "weg.fsl");
        QCOMPARE(p.prompter->asked[0].text, QStringLiteral("Datei nicht gefunden..."));
        QCOMPARE(p.prompter->asked[0].buttons, Prompter::Buttons::Ok);
        QVERIFY(SameList(p.w.list(), before));
    }

    void folderChangeListsAndPreviewsLastFile()
    {
        Page p;
        for (int n = 0; n < 5; ++n)
            writeFile(p.folder() + QStringLiteral("fw_00%1.fsl").arg(n),
                listFile("Liste " + QByteArray::number(n)));
        writeFile(p.folder() + "A.FSL", listFile("gross"));
        writeFile(p.folder() + "notiz.txt", "x");
        QVERIFY(QDir(p.dir.path()).mkdir("ordner.fsl"));
        p.open();
        QCOMPARE(fileList(p.w),
            (QStringList { "A.FSL", "fw_000.fsl", "fw_001.fsl", "fw_002.fsl", "fw_003.fsl", "fw_004.fsl" }));
        QCOMPARE(p.w.File1->currentRow(), 5);
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Liste 4"));
        QCOMPARE(p.w.CurrentFolder, p.folder());
        QVERIFY(p.w.Command4[0]->isEnabled() && p.w.Command4[1]->isEnabled() && p.w.Command4[2]->isEnabled());

        // An empty folder: nothing selected, nothing to load.
        QVERIFY(QDir(p.dir.path()).mkdir("leer"));
        p.w.Dir1->setPath(p.folder() + "leer");
        QCOMPARE(p.w.CurrentFolder, p.folder() + "leer/");
        QCOMPARE(p.w.File1->count(), 0);
        QCOMPARE(p.w.Text1->toPlainText(), QString());
        QCOMPARE(p.w.Label5->text(), NoFile);
        QVERIFY(!p.w.Command4[0]->isEnabled());

        p.w.Dir1->setPath("/");
        QCOMPARE(p.w.CurrentFolder, QStringLiteral("/"));
        QCOMPARE(p.w.Drive1->itemData(0).toString(), QStringLiteral("/"));
    }

    void saveFollowsListCompleteness()
    {
        Page p;
        p.w.List1->clear();
        p.open();
        QVERIFY(!p.w.Command4[1]->isEnabled());
        p.w.RefreshLists();
        writeFile(p.folder() + "x.fsl", listFile("c"));
        p.open();
        QVERIFY(p.w.Command4[1]->isEnabled());
    }

    void proposesFirstFreeNameAndAppendsExtension()
    {
        Page p;
        writeFile(p.folder() + "fw_000.fsl", listFile("0"));
        writeFile(p.folder() + "fw_002.fsl", listFile("2"));
        p.open();
        p.save("Neu", QString());
        QCOMPARE(p.prompter->asked[1].defaultText, QStringLiteral("fw_001"));
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Neu"));
        QCOMPARE(QDir(p.dir.path()).entryList(QDir::Files).size(), 2);

        p.save("Neu", "show.fsl");
        QVERIFY(QFile::exists(p.folder() + "show.fsl.fsl"));
        // The saved file is selected and previewed.
        QCOMPARE(p.w.File1->currentItem()->text(), QStringLiteral("show.fsl.fsl"));
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Neu"));
        QVERIFY(fileList(p.w).contains("fw_002.fsl"));
    }

    void overwriteAsksWithFullPath_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("overwritten");
        QTest::newRow("Cancel keeps the old bytes") << Answer::Cancel << false;
        QTest::newRow("OK replaces") << Answer::Ok << true;
    }
    void overwriteAsksWithFullPath()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, overwritten);
        Page p;
        const QByteArray old = listFile("alt", { "0001 01" });
        writeFile(p.folder() + "fw_000.fsl", old);
        p.open();
        p.prompter->setNextAnswer(answer);
        p.save("neu", "fw_000");
        QCOMPARE(p.prompter->asked.size(), 3);
        QCOMPARE(p.prompter->asked[2].title, QStringLiteral("Kelto"));
        QCOMPARE(p.prompter->asked[2].text, "Datei " + p.folder() + "fw_000.fsl überschreiben?");
        QCOMPARE(p.prompter->asked[2].buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(readFile(p.folder() + "fw_000.fsl"), overwritten ? listFile("neu", { "0000 FF" }) : old);
    }

    void namesLeavingTheFolderAreRefused_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("name");
        for (int button : { 1, 3 }) {
            const char* what = button == 1 ? "file" : "folder";
            for (const char* name : { "../x", "a/b", ".." })
                QTest::addRow("%s %s", what, name) << button << QString(name);
        }
    }
    void namesLeavingTheFolderAreRefused()
    {
        QFETCH(int, button);
        QFETCH(QString, name);
        Page p;
        QVERIFY(QDir(p.dir.path()).mkdir("a"));
        p.open();
        if (button == 1)
            p.prompter->setNextInput("Kommentar");
        p.prompter->setNextInput(name);
        p.w.Command4[button]->click();
        QCOMPARE(p.prompter->asked.last().title, QStringLiteral("Kelto"));
        QVERIFY(p.prompter->asked.last().text.contains("\"" + name + "\""));
        QCOMPARE(QDir(p.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList { "a" });
        QCOMPARE(
            QDir(p.dir.path() + "/a").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList {});
        QCOMPARE(QDir(p.dir.path() + "/..").entryList({ "x", "x.fsl" }), QStringList {});
        QCOMPARE(p.w.CurrentFolder, p.folder());
    }

    // Root ignores permission bits, so the failures are made by removing the folder, putting a plain
    // file in its place, or a file size limit that stops the write half way (as a full disk would).
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("folder removed") << "removed";
        QTest::newRow("folder replaced by a file") << "file";
        QTest::newRow("disk full") << "full";
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, failure);
        Page p;
        QVERIFY(QDir(p.dir.path()).mkdir("listen"));
        const QString folder = p.folder() + "listen/";
        const QByteArray old = listFile("alt");
        writeFile(folder + "fw_000.fsl", old);
        p.w.Dir1->setPath(folder);
        const QString kept = failure == "full" ? folder + "fw_000.fsl" : p.folder() + "kept.fsl";
        if (failure != "full") {
            QVERIFY(QFile::rename(folder + "fw_000.fsl", kept));
            QVERIFY(QDir(folder).removeRecursively());
        }
        if (failure == "file")
            writeFile(p.folder() + "listen", "plain");

        rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (failure == "full") {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limited = saved;
            limited.rlim_cur = 300;
            setrlimit(RLIMIT_FSIZE, &limited);
            p.prompter->setNextAnswer(Answer::Ok);
        }
        p.save("neu", "fw_000");
        setrlimit(RLIMIT_FSIZE, &saved);

        const Prompter::Buttons last = p.prompter->asked.last().buttons;
        QCOMPARE(last, Prompter::Buttons::Ok);
        QCOMPARE(p.prompter->asked.last().title, QStringLiteral("Kelto"));
        QVERIFY2(p.prompter->asked.last().text.startsWith("Die Datei " + folder + "fw_000.fsl konnte nicht"),
            qPrintable(p.prompter->asked.last().text));
        QCOMPARE(readFile(kept), old);
        if (failure == "file")
            QCOMPARE(readFile(p.folder() + "listen"), QByteArray("plain"));
        QCOMPARE(fileList(p.w), QStringList { "fw_000.fsl" });
        // No temporary file is left behind.
        if (failure == "full")
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList { "fw_000.fsl" });
        else
            QCOMPARE(QDir(p.dir.path()).entryList(QDir::Files | QDir::Hidden),
                (failure == "file" ? QStringList { "kept.fsl", "listen" } : QStringList { "kept.fsl" }));
    }

    void rememberedFolderAndPortOpenAtNextStart()
    {
        Page p;
        writeFile(p.folder() + "fw_000.fsl", listFile("erste"));
        writeFile(p.folder() + "fw_001.fsl", listFile("zweite"));
        QVERIFY(!p.w.Command4[2]->isEnabled());
        p.open();
        p.w.Combo1->setCurrentIndex(1);
        p.w.Command4[2]->click();
        QVERIFY(p.prompter->asked.isEmpty());
        QCOMPARE(readFile(p.w.TempFolder + "kelto.ini"), p.folder().toUtf8() + "\r\nCOM2\r\n");

        // A folder name the settings file cannot hold is refused, not stored wrongly.
        QVERIFY(QDir(p.dir.path()).mkdir(QString::fromUtf8("花火")));
        p.w.Dir1->setPath(p.folder() + QString::fromUtf8("花火"));
        p.w.Command4[2]->click();
        QCOMPARE(p.prompter->asked.size(), 1);
        QVERIFY(p.prompter->asked[0].text.contains(p.w.CurrentFolder));
        QCOMPARE(readFile(p.w.TempFolder + "kelto.ini"), p.folder().toUtf8() + "\r\nCOM2\r\n");

        Form1 next(std::make_unique<ScriptedPrompter>());
        QCOMPARE(next.CurrentFolder, p.folder());
        QCOMPARE(next.Dir1->path(), p.dir.path());
        QCOMPARE(next.Combo1->currentText(), QStringLiteral("COM2"));
        QCOMPARE(next.File1->currentItem()->text(), QStringLiteral("fw_001.fsl"));
        QCOMPARE(next.Text1->toPlainText(), QStringLiteral("zweite"));
        QCOMPARE(next.Label5->text().count(QStringLiteral("\r\n")), 3);
        QVERIFY(next.Command4[2]->isEnabled());
        // The list was still empty then: saving waits for the next selection or page switch.
        QVERIFY(!next.Command4[1]->isEnabled());
    }

    // What can be applied of the settings is: the folder and the port each on their own.
    void settingsAppliedPartByPart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("folderApplied");
        QTest::addColumn<QString>("port");
        QTest::newRow("folder gone") << QByteArray("/nicht/vorhanden/\r\nCOM2\r\n") << false << "COM2";
        QTest::newRow("one line") << QByteArray("<folder>\r\n") << false << "COM1";
        QTest::newRow("unknown port") << QByteArray("<folder>\r\nCOM9\r\n") << true << "COM1";
        QTest::newRow("empty folder line") << QByteArray("\r\nCOM2\r\n") << false << "COM2";
        QTest::newRow("both") << QByteArray("<folder>\r\nCOM3\r\n") << true << "COM3";
    }
    void settingsAppliedPartByPart()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, folderApplied);
        QFETCH(QString, port);
        QTemporaryDir dir(QDir::currentPath() + "/XXXXXX");
        writeFile(dir.filePath("fw_000.fsl"), listFile("c"));
        writeFile(qEnvironmentVariable("temp") + "/kelto.ini",
            bytes.replace("<folder>", dir.path().toUtf8() + "/"));
        Form1 w(std::make_unique<ScriptedPrompter>());
        QCOMPARE(w.CurrentFolder, folderApplied ? dir.path() + "/" : QString());
        QCOMPARE(w.Dir1->path(), folderApplied ? dir.path() : QDir::currentPath());
        QCOMPARE(w.Combo1->currentText(), port);
        QCOMPARE(w.Text1->toPlainText(), folderApplied ? QStringLiteral("c") : QStringLiteral("Text1"));
        QCOMPARE(w.Command4[2]->isEnabled(), folderApplied);
    }

    void newFolderOpensEmpty()
    {
        Page p;
        writeFile(p.folder() + "fw_000.fsl", listFile("c"));
        Form1& w = p.w;
        w.Dir1->blockSignals(true);
        w.Dir1->setPath(p.dir.path());
        w.Dir1->blockSignals(false);
        w.CurrentFolder.clear();

        w.Command4[3]->click(); // cancelled: only the folder is completed
        QCOMPARE(w.CurrentFolder, p.folder());
        QCOMPARE(p.prompter->asked[0].title, "Neuer Ordner in " + p.folder());
        QCOMPARE(p.prompter->asked[0].text, QStringLiteral("Ordnername:"));
        QCOMPARE(p.prompter->asked[0].defaultText, QStringLiteral("listen"));

        p.prompter->setNextInput("listen");
        w.Command4[3]->click();
        QVERIFY(QFileInfo(p.folder() + "listen").isDir());
        QCOMPARE(w.Dir1->path(), p.folder() + "listen");
        QCOMPARE(w.CurrentFolder, p.folder() + "listen/");
        QCOMPARE(w.File1->count(), 0);
        QCOMPARE(w.Text1->toPlainText(), QString());
        QCOMPARE(w.Label5->text(), NoFile);
        QVERIFY(!w.Command4[0]->isEnabled());

        // Already there: named in a message, nothing else changes.
        w.Dir1->setPath(p.dir.path());
        p.prompter->setNextInput("listen");
        w.Command4[3]->click();
        QCOMPARE(p.prompter->asked.last().text, "Der Ordner " + p.folder() + "listen existiert bereits.");
        QCOMPARE(w.Dir1->path(), p.dir.path());
        QCOMPARE(w.Text1->toPlainText(), QStringLiteral("c"));
        writeFile(p.folder() + "datei", "x");
        p.prompter->setNextInput("datei");
        w.Command4[3]->click();
        QCOMPARE(p.prompter->asked.last().text,
            "Der Ordner " + p.folder()
                + "datei konnte nicht angelegt werden.\n\nGrund: Dort gibt es bereits eine Datei dieses "
                  "Namens.");
        QCOMPARE(w.Dir1->path(), p.dir.path());
    }

    void keyboardOpensDrivesAndFolders()
    {
        Page p;
        QVERIFY(QDir(p.dir.path()).mkpath("b/tief"));
        QVERIFY(QDir(p.dir.path()).mkdir("a"));
        writeFile(p.folder() + "b/fw_000.fsl", listFile("in b"));
        p.open();
        Form1& w = p.w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.Dir1->setFocus();
        const int openRow = w.Dir1->currentRow();
        QCOMPARE(w.Dir1->item(openRow)->data(Qt::UserRole).toString(), p.dir.path());
        // Moving the highlight opens nothing; Enter opens the highlighted folder.
        QTest::keyClick(w.Dir1, Qt::Key_Down);
        QTest::keyClick(w.Dir1, Qt::Key_Down);
        QCOMPARE(w.CurrentFolder, p.folder());
        QTest::keyClick(w.Dir1, Qt::Key_Return);
        QCOMPARE(w.CurrentFolder, p.folder() + "b/");
        QCOMPARE(w.Text1->toPlainText(), QStringLiteral("in b"));
        QCOMPARE(QApplication::focusWidget(), w.File1);

        // A double click opens a folder too: the open one's parent here.
        QListWidgetItem* parent = w.Dir1->item(w.Dir1->currentRow() - 1);
        const QRect rect = w.Dir1->visualItemRect(parent);
        QTest::mouseClick(w.Dir1->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(w.CurrentFolder, p.folder() + "b/");
        QTest::mouseDClick(w.Dir1->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(w.CurrentFolder, p.folder());

        // Enter in the drive list opens the drive's folder and moves on to the folder list.
        w.Drive1->setFocus();
        w.Text1->setPlainText("vorher");
        QTest::keyClick(w.Drive1, Qt::Key_Return);
        QCOMPARE(w.Drive1->currentIndex(), w.Drive1->indexOfDriveOf(p.dir.path()));
        QCOMPARE(w.CurrentFolder, p.folder());
        QVERIFY(!w.CommentShowsPreview());
        QCOMPARE(w.Text1->toPlainText(), w.document().meta().comment);
        QCOMPARE(QApplication::focusWidget(), w.Dir1);
    }
};

KELTO_TEST_MAIN(TestFilesPage)
#include "tst_files_page.moc"
