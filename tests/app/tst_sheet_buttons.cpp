#include "browser_widgets.h"
#include "file_bytes.h"
#include "files/crew_sheet.h"
#include "files/csv_file.h"
#include "form1.h"
#include "fsl_fixtures.h"
#include "pdf_text.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "widgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray CsvHeader("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n");

// 0 s without circuit, B03 at 35 s, H30 at one hour.
ShotList smallShow()
{
    ShotList list = ListWithTimes({ 0, 35, 3600 });
    list.circuits[1] = 35;
    list.circuits[2] = 254;
    return list;
}

// A shown window answered by a script, on the page "Datei" with a folder of the test's own.
struct Page {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/XXXXXX") };

    Page()
    {
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            qFatal("window not shown");
        w.Dir1->setPath(dir.path());
    }
    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
    void click(int index)
    {
        w.SSTab1->setCurrentIndex(1);
        QTest::mouseClick(w.Command5[index], Qt::LeftButton);
    }
    void importFile(const QString& path)
    {
        prompter->setNextFile(path);
        click(2);
    }
};

} // namespace

class TestSheetButtons : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buttonsStandOnTheFilePage_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("crew sheet") << 0 << QStringLiteral("Schussplan drucken\u2026");
        QTest::newRow("export") << 1 << QStringLiteral("CSV exportieren\u2026");
        QTest::newRow("import") << 2 << QStringLiteral("CSV importieren\u2026");
    }
    void buttonsStandOnTheFilePage()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        Page p;
        auto* button = p.w.findChild<QPushButton*>(QStringLiteral("Command5_%1").arg(index));
        QVERIFY(button);
        QCOMPARE(button, p.w.Command5[index]);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->parentWidget(), p.w.Frame1[1]);
        QVERIFY(button->isVisible());
        QVERIFY(button->isEnabled());
    }

    void importReplacesListAsLoadingDoes()
    {
        Page p;
        const ShotList before = ListWithTimes({ 0, 7 });
        p.w.document().replace(
            p.w.document().revision(), before, p.w.document().meta(), QStringLiteral("vorher"));
        writeFile(
            p.folder() + "show.csv", "Zeit;Zündgerät;Kreis\r\n00:00:00;;\r\n1:00:00;H;30\r\n35;B;3\r\n");

        // The list in the editor is not saved: replacing it is asked first.
        p.prompter->setNextAnswer(Prompter::Answer::Yes);
        p.importFile(p.folder() + "show.csv");

        QCOMPARE(p.prompter->asked.size(), 3);
        QVERIFY2(p.prompter->asked[2].text.startsWith(
                     QStringLiteral("Die Liste im Editor ist nicht gespeichert (2 Schüsse, zuletzt geändert um ")),
            qPrintable(p.prompter->asked[2].text));
        QVERIFY(p.prompter->asked[2].text.endsWith(QStringLiteral(").\n\nTrotzdem ersetzen?")));
        QCOMPARE(p.prompter->asked[2].defaultButton, Prompter::Answer::No);
        const ScriptedPrompter::Asked& box = p.prompter->asked[0];
        QVERIFY(box.isFile);
        QCOMPARE(box.fileChoice, Prompter::FileChoice::Open);
        QCOMPARE(box.title, QStringLiteral("CSV importieren"));
        QCOMPARE(box.text, p.folder());
        QCOMPARE(box.defaultText, QStringLiteral("CSV-Dateien (*.csv)"));
        // The preview came before anything changed.
        QVERIFY(p.prompter->asked[1].isImport);
        QCOMPARE(p.prompter->asked[1].title, QStringLiteral("CSV importieren"));
        QCOMPARE(p.prompter->asked[1].text, QDir::toNativeSeparators(p.folder() + "show.csv"));
        QCOMPARE(p.prompter->previews.size(), 1);
        QCOMPARE(p.prompter->previews[0].rows.size(), 3);
        QCOMPARE(p.prompter->previews[0].rows[2].line, 3);

        QVERIFY(SameList(p.w.list(), smallShow()));
        QCOMPARE(p.w.SSTab1->currentIndex(), 0);
        QCOMPARE(p.w.List1->count(), 170);
        QCOMPARE(p.w.List1->item(0)->text(), QStringLiteral("001  00:00:00  ---"));
        QCOMPARE(p.w.List1->item(1)->text(), QStringLiteral("002  00:00:35  B03"));
        QCOMPARE(p.w.List1->item(2)->text(), QStringLiteral("003  01:00:00  H30"));
        QCOMPARE(p.w.List1->item(3)->text(), QStringLiteral("004  --:--:--  ---"));
        QCOMPARE(p.w.Label4->text(),
            QStringLiteral(
                "Anzahl Einträge: 170\r\nAnzahl Schüsse: 3\r\nZeitdauer : 01:00:00\r\nnoch frei: 167"));
        QCOMPARE(p.w.Label6[0]->text(), QStringLiteral("Eintrag Nummer\r\n3 / 170"));
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Import aus show.csv"));
        QCOMPARE(p.files(), QStringList { "show.csv" });

        // One step back (Strg+Z) brings the list before the import.
        QVERIFY(QTest::qWaitForWindowActive(&p.w));
        p.w.List1->setFocus();
        QTest::keyClick(p.w.List1, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(SameList(p.w.list(), before));
        QCOMPARE(p.w.List1->item(1)->text(), QStringLiteral("002  00:00:07  ---"));
    }

    void importOfTheSameListStillShowsIt()
    {
        Page p;
        p.w.document().replace(p.w.document().revision(), smallShow(), p.w.document().meta(),
            QStringLiteral("vorher"), ListDocument::Saved::Yes);
        p.w.List1->clear(); // as a receive leaves it
        writeFile(p.folder() + "gleich.csv", ShotListCsvBytes(smallShow()));
        p.importFile(p.folder() + "gleich.csv");
        QCOMPARE(p.w.List1->count(), 170);
        QCOMPARE(p.w.List1->item(2)->text(), QStringLiteral("003  01:00:00  H30"));
        QCOMPARE(p.w.SSTab1->currentIndex(), 0);
    }

    void refusedImportChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("unknown device and circuit 40")
            << QByteArray("Zeit;Zündgerät;Kreis\r\n0;A;1\r\n5;K;2\r\n10;B;3\r\n15;C;40\r\n")
            << QStringList { "Zeile 3: unbekanntes Zündgerät \"K\"",
                   "Zeile 5: Kreis \"40\" nicht zwischen 0 und 31" };
        QTest::newRow("header only") << QByteArray("Nr;Zeit;Sekunden;Zündgerät;Kreis;Effekt\r\n")
                                     << QStringList {
                                            "Zeile 1: keine Schüsse: unter der Kopfzeile steht keine Zeile"
                                        };
        QTest::newRow("missing file") << QByteArray() << QStringList { "Die Datei %1 gibt es nicht." };
    }
    void refusedImportChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, problems);
        Page p;
        const ShotList before = smallShow();
        p.w.document().replace(
            p.w.document().revision(), before, p.w.document().meta(), QStringLiteral("vorher"));
        p.w.Text1->setPlainText(QStringLiteral("Kommentar"));
        const QString path = p.folder() + "tabelle.csv";
        if (!bytes.isNull())
            writeFile(path, bytes);
        const QStringList files = p.files();
        const quint64 revision = p.w.document().revision();
        const int steps = p.w.document().undoStack().count();

        p.importFile(path);

        QCOMPARE(p.prompter->asked.size(), 2);
        const ScriptedPrompter::Asked& box = p.prompter->asked[1];
        QCOMPARE(box.title, QStringLiteral("CSV importieren"));
        if (bytes.isNull()) {
            // Nothing to preview: the file cannot be read.
            QCOMPARE(box.icon, Prompter::Icon::Warning);
            QCOMPARE(box.buttons, Prompter::Buttons::Ok);
            QCOMPARE(box.text,
                QStringLiteral("Die Datei %1 wurde nicht übernommen:\n\n").arg(path)
                    + problems.join(QLatin1Char('\n')).replace(QStringLiteral("%1"), path));
        } else {
            QVERIFY(box.isImport);
            QCOMPARE(p.prompter->previews.size(), 1);
            QCOMPARE(p.prompter->previews[0].problems, problems);
        }
        QVERIFY(SameList(p.w.list(), before));
        QCOMPARE(p.w.document().revision(), revision);
        QCOMPARE(p.w.document().undoStack().count(), steps);
        QCOMPARE(p.w.SSTab1->currentIndex(), 1);
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Kommentar"));
        QCOMPARE(p.files(), files);
    }

    // A show-design export whose pins count from 1: refused until the preview says so, then one step
    // with its effects.
    void importTakesTheChoicesOfThePreview()
    {
        Page p;
        const ShotList before = smallShow();
        p.w.document().replace(p.w.document().revision(), before, p.w.document().meta(), QStringLiteral("vorher"),
            ListDocument::Saved::Yes);
        const int steps = p.w.document().undoStack().count();
        writeFile(p.folder() + "finale.csv",
            "FIRING_HEADER_ROW,Time Cue Number,Ignition Event Time,Effect Name,Module Description,Module "
            "Address,Pin Address\r\n"
            "FIRING_DATA_ROW,2,00:00:12.50s,Kometen rot,Module 2,2,32\r\n"
            "FIRING_DATA_ROW,1,00:00:05.00s,Vulkan,Module 1,1,1\r\n");
        CsvImportOptions fromOne;
        fromOne.circuitsFrom = 1;
        p.prompter->importChoices.enqueue(fromOne);

        p.importFile(p.folder() + "finale.csv");

        QCOMPARE(p.prompter->previews.size(), 2);
        QVERIFY(!p.prompter->previews[0].list);
        QCOMPARE(p.prompter->previews[0].problems.first(),
            QStringLiteral(
                "Zeile 1: die Kreise der Spalte „Pin Address“ zählen wohl ab 1 (32 kommt vor, 0 nie): "
                "„Kreise ab 1“ wählen (--circuits-from 1)"));
        ShotList expected = ListWithTimes({ 5, 13 });
        expected.circuits[0] = 0;
        expected.circuits[1] = 63;
        expected.effects[0] = QStringLiteral("Vulkan");
        expected.effects[1] = QStringLiteral("Kometen rot");
        QVERIFY(SameList(p.w.list(), expected));
        QCOMPARE(p.w.document().undoStack().count(), steps + 1);
        QVERIFY(p.w.document().isSaved());
        QCOMPARE(p.w.document().meta().comment, QStringLiteral("Import aus finale.csv"));
        p.w.document().undo();
        QVERIFY(SameList(p.w.list(), before));
    }

    // A receive that completes while the preview is open keeps its list.
    void importOverAListReplacedMeanwhileIsRefused()
    {
        Page p;
        writeFile(p.folder() + "show.csv", "Zeit;Modul;Pin\r\n5;1;0\r\n");
        const ShotList received = ListWithTimes({ 0, 1, 2, 3 });
        p.prompter->whileOpen = [&p, &received](const ScriptedPrompter::Asked& box) {
            if (box.isImport)
                p.w.document().replace(
                    p.w.document().revision(), received, p.w.document().meta(), QStringLiteral("empfangen"));
        };
        const int steps = p.w.document().undoStack().count();
        p.importFile(p.folder() + "show.csv");
        QCOMPARE(p.prompter->asked.size(), 3);
        const ScriptedPrompter::Asked& box = p.prompter->asked[2];
        QCOMPARE(box.icon, Prompter::Icon::Warning);
        QCOMPARE(box.text,
            QStringLiteral(
                "Die Liste wurde inzwischen ersetzt (Empfang). Der Import wurde nicht übernommen."));
        QVERIFY(SameList(p.w.list(), received));
        QCOMPARE(p.w.document().undoStack().count(), steps + 1);
    }

    void cancelledDialogChangesNothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("export") << 1;
        QTest::newRow("import") << 2;
    }
    void cancelledDialogChangesNothing()
    {
        QFETCH(int, index);
        Page p;
        writeFile(p.folder() + "show.csv", "Zeit\r\n5\r\n");
        const quint64 revision = p.w.document().revision();
        const QString text = p.w.Text1->toPlainText();
        p.prompter->setNextFile(std::nullopt);
        p.click(index);
        QCOMPARE(p.prompter->asked.size(), 1);
        QVERIFY(p.prompter->asked[0].isFile);
        QCOMPARE(p.w.document().revision(), revision);
        QCOMPARE(p.w.SSTab1->currentIndex(), 1);
        QCOMPARE(p.w.Text1->toPlainText(), text);
        QCOMPARE(p.files(), QStringList { "show.csv" });
        QCOMPARE(readFile(p.folder() + "show.csv"), QByteArray("Zeit\r\n5\r\n"));
    }

    // The list of the moment of the click is written, also when a receive replaces it meanwhile.
    // A table with data columns: the list gets its effects' data, and the export writes it out again.
    void importAndExportCarryEffectData()
    {
        Page p;
        const QByteArray table = CsvHeader.chopped(2)
            + ";Vorlauf (s);Dauer (s);Kaliber (mm);NEM (g);Klasse\r\n"
              "1;00:00:05;5;A;0;Bombe 75;3,2;2,5;75;45,0;F3\r\n"
              "2;00:00:09;9;A;1;Vulkan;;;;;\r\n"
              "3;00:00:12;12;A;2;Bombe 75;3,2;2,5;75;45,0;F3\r\n";
        writeFile(p.folder() + "design.csv", table);
        p.importFile(p.folder() + "design.csv");
        QCOMPARE(p.w.document().meta().effectData.keys(), QStringList { QStringLiteral("Bombe 75") });
        QCOMPARE(p.w.document().meta().effectData.first().nemTenthsGram, std::optional<qint32>(450));
        p.prompter->setNextFile(p.folder() + "back.csv");
        p.click(1);
        QCOMPARE(readFile(p.folder() + "back.csv"), table);
    }

    void exportWritesTheListOfTheClick()
    {
        Page p;
        p.w.document().replace(
            p.w.document().revision(), smallShow(), p.w.document().meta(), QStringLiteral("vorher"));
        p.prompter->setNextFile(p.folder() + "plan.csv");
        p.prompter->whileOpen = [&p](const ScriptedPrompter::Asked&) {
            p.w.document().replace(p.w.document().revision(), ListWithTimes({ 0, 1, 2, 3 }),
                p.w.document().meta(), QStringLiteral("empfangen"));
        };
        p.click(1);
        QCOMPARE(p.prompter->asked.size(), 1);
        QCOMPARE(p.prompter->asked[0].fileChoice, Prompter::FileChoice::Save);
        QCOMPARE(p.prompter->asked[0].title, QStringLiteral("CSV exportieren"));
        QCOMPARE(readFile(p.folder() + "plan.csv"),
            CsvHeader
                + "1;00:00:00;0;;;\r\n"
                  "2;00:00:35;35;B;3;\r\n"
                  "3;01:00:00;3600;H;30;\r\n");
    }

    void failedExportIsReported()
    {
        Page p;
        const QString path = p.folder() + "weg/plan.csv";
        p.prompter->setNextFile(path);
        p.click(1);
        QCOMPARE(p.prompter->asked.size(), 2);
        const ScriptedPrompter::Asked& box = p.prompter->asked[1];
        QCOMPARE(box.icon, Prompter::Icon::Critical);
        QVERIFY2(
            box.text.startsWith(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.\n\nGrund: ")
                                    .arg(QDir::toNativeSeparators(path))),
            qPrintable(box.text));
        QVERIFY(!QFile::exists(path));
    }

    // The desktop's dialogs: a name typed without extension is saved as .csv; the preview paints A4.
    void realDialogs()
    {
        QTemporaryDir dir;
        QWidget parent;
        DialogPrompter prompter(&parent);
        QString caption;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            caption = dialog->windowTitle();
            dialog->selectFile(QStringLiteral("plan"));
            static_cast<QDialog*>(dialog)->accept(); // the file dialog's own accept, with its checks
        });
        const std::optional<QString> path = prompter.chooseFile(Prompter::FileChoice::Save,
            QStringLiteral("CSV exportieren"), dir.path(), QStringLiteral("CSV-Dateien (*.csv)"));
        QCOMPARE(caption, QStringLiteral("CSV exportieren"));
        QVERIFY(path);
        QCOMPARE(QFileInfo(*path).absoluteFilePath(), QDir(dir.path()).filePath(QStringLiteral("plan.csv")));

        int paints = 0;
        QSizeF page;
        QMarginsF margins;
        QString title, proposed;
        const QString pdfFile = QDir(dir.path()).filePath(QStringLiteral("silvester.pdf"));
        QTimer poll;
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (dialog && (paints > 0 || waited.elapsed() > 5000)) {
                title = dialog->windowTitle();
                // The print dialog's name for "print to file" (PDF).
                QPrintDialog print(dialog->printer(), dialog);
                if (auto* name = print.findChild<QLineEdit*>(QStringLiteral("filename")))
                    proposed = name->text();
                dialog->reject();
            }
        });
        poll.start(20);
        prompter.printPreview(
            QStringLiteral("Schussplan"), CrewSheetPageLayout(), pdfFile, [&](QPagedPaintDevice& device) {
                ++paints;
                page = device.pageLayout().fullRect(QPageLayout::Millimeter).size();
                margins = device.pageLayout().margins(QPageLayout::Millimeter);
                QPainter painter(&device);
                painter.drawText(QPointF(100, 100), QStringLiteral("Probe"));
            });
        QCOMPARE(title, QStringLiteral("Schussplan"));
        QVERIFY(paints > 0);
        QCOMPARE(qRound(page.width()), 210);
        QCOMPARE(qRound(page.height()), 297);
        QVERIFY2(
            margins.left() >= 12 && margins.top() >= 12 && margins.right() >= 12 && margins.bottom() >= 12,
            qPrintable(QStringLiteral("%1 %2 %3 %4")
                           .arg(margins.left())
                           .arg(margins.top())
                           .arg(margins.right())
                           .arg(margins.bottom())));
        QCOMPARE(proposed, pdfFile);
    }

    // The sheet from the window and from kelto print: the same pages, the same text; the PDF is proposed
    // beside the list; the statistics speak of shots.
    void windowAndCommandLinePrintOneSheet()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is missing");
        Page p;
        // 49 shots, 20 s apart: C00 twice through H00, a few effects, a legend under the timeline.
        QByteArrayList entries;
        QByteArray effects = "[Kelto]\r\n";
        for (int i = 0; i < 49; ++i) {
            const int code = i == 5 ? 0x40 : i == 7 ? 0xE0 : (i * 5) % 0xC0 + 1;
            entries.append(QStringLiteral("%1 %2")
                               .arg(i < 40 ? i * 20 : 800 + i, 4, 16, QLatin1Char('0'))
                               .arg(code, 2, 16, QLatin1Char('0'))
                               .toUpper()
                               .toLatin1());
            if (i % 7 == 0)
                effects += QStringLiteral("Effekt %1=Bombe %2 mm\r\n")
                               .arg(i + 1, 3, 10, QLatin1Char('0'))
                               .arg(75 + i)
                               .toLatin1();
        }
        writeFile(p.folder() + "silvester.fsl",
            FslHead("Hafen am See") + FslEntries(entries, EntryCount) + effects);
        p.w.Dir1->setPath(p.dir.path());
        QTest::mouseClick(p.w.Command4[0], Qt::LeftButton);
        QCOMPARE(p.w.document().name(), QStringLiteral("silvester.fsl"));

        p.click(0);
        QCOMPARE(p.prompter->printed.size(), 1);
        const ScriptedPrompter::Asked& box = p.prompter->asked.last();
        QVERIFY(box.isPrint);
        QCOMPARE(box.text, p.folder() + QStringLiteral("silvester.pdf"));
        const QMarginsF margins = box.pageLayout.margins(QPageLayout::Millimeter);
        QVERIFY(
            margins.left() >= 12 && margins.top() >= 12 && margins.right() >= 12 && margins.bottom() >= 12);
        QCOMPARE(box.pageLayout.pageSize().id(), QPageSize::A4);

        QProcess kelto;
        kelto.setWorkingDirectory(p.dir.path());
        kelto.start(qEnvironmentVariable("KELTO_PROGRAM"),
            { QStringLiteral("print"), QStringLiteral("silvester.fsl"), QStringLiteral("--pdf"),
                QStringLiteral("kelto.pdf") });
        QVERIFY(kelto.waitForFinished(60000));
        QCOMPARE(kelto.exitCode(), 0);

        // The minute of printing may differ.
        const QRegularExpression printed(QStringLiteral("gedruckt am \\S+ \\S+"));
        const auto text = [&](const QString& pdf) {
            QStringList pages = PdfPages(pdf);
            for (QString& page : pages)
                page.replace(printed, QStringLiteral("gedruckt am"));
            return pages;
        };
        const QStringList window = text(p.prompter->printed[0]);
        const QStringList commandLine = text(p.folder() + QStringLiteral("kelto.pdf"));
        QVERIFY(!window.isEmpty());
        QCOMPARE(window, commandLine);
        const QString all = window.join(QLatin1Char('\f'));
        QVERIFY2(all.contains(QStringLiteral("Anzahl Schüsse: 49")), qPrintable(window.value(0)));
        QVERIFY(all.contains(QStringLiteral("Noch frei: 121 von 170 Einträgen")));
        QVERIFY(!all.contains(QStringLiteral("Anzahl Einträge")));
        QVERIFY(all.contains(QStringLiteral("C00 (Nr. 6 und Nr. 8 über H00)")));
        QVERIFY(all.contains(QStringLiteral("Legende")));
    }

    void crewSheetTitleNamesTheList_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("comment");
        QTest::newRow("new list") << QString() << QStringLiteral("Neue Liste") << QString();
        QTest::newRow("loaded") << QStringLiteral("load") << QStringLiteral("silvester.fsl")
                                << "Hafen am See";
        QTest::newRow("saved") << QStringLiteral("save") << QStringLiteral("probe.fsl") << "Probe am See";
        QTest::newRow("imported") << QStringLiteral("import") << QStringLiteral("hafen.csv")
                                  << "Import aus hafen.csv";
    }
    void crewSheetTitleNamesTheList()
    {
        QFETCH(QString, source);
        QFETCH(QString, title);
        QFETCH(QString, comment);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is missing");
        Page p;
        if (source == "load") {
            writeFile(p.folder() + "silvester.fsl",
                FslHead("Hafen am See") + FslEntries({ "0000 FF" }, EntryCount));
            p.w.Dir1->setPath(p.dir.path());
            QTest::mouseClick(p.w.Command4[0], Qt::LeftButton);
        } else if (source == "save") {
            p.prompter->setNextInput(QStringLiteral("Probe am See"));
            p.prompter->setNextInput(QStringLiteral("probe"));
            QTest::mouseClick(p.w.Command4[1], Qt::LeftButton);
            QVERIFY(QFile::exists(p.folder() + "probe.fsl"));
        } else if (source == "import") {
            writeFile(p.folder() + "hafen.csv", "Zeit;Modul;Pin\r\n5;1;0\r\n");
            p.importFile(p.folder() + "hafen.csv");
        }
        p.w.document().replace(
            p.w.document().revision(), smallShow(), p.w.document().meta(), QStringLiteral("bearbeitet"));
        // The comment is the list's, not that of a file previewed since.
        writeFile(p.folder() + "zzz.fsl", FslHead("Vorschau einer anderen Datei") + FslEntries({ "0000 FF" }, EntryCount));
        p.w.Dir1->setPath(p.dir.path());
        p.w.Dir1_Change();
        QVERIFY(p.w.CommentShowsPreview());
        QCOMPARE(p.w.Text1->toPlainText(), QStringLiteral("Vorschau einer anderen Datei"));
        const int before = p.prompter->asked.size();
        // A list replaced while the preview is open does not reach the sheet.
        p.prompter->whileOpen = [&p](const ScriptedPrompter::Asked&) {
            p.w.document().replace(p.w.document().revision(), ListWithTimes({ 0, 4444 }),
                p.w.document().meta(), QStringLiteral("empfangen"));
        };

        p.click(0);

        QCOMPARE(p.prompter->asked.size(), before + 1);
        QVERIFY(p.prompter->asked.last().isPrint);
        QCOMPARE(p.prompter->asked.last().title, QStringLiteral("Schussplan"));
        QCOMPARE(p.prompter->printed.size(), 1);
        const QStringList pages = PdfPages(p.prompter->printed[0]);
        QVERIFY(!pages.isEmpty());
        for (int i = 0; i < pages.size(); ++i) {
            QVERIFY2(pages[i].contains(title), qPrintable(pages[i]));
            QVERIFY(comment.isEmpty() || pages[i].contains(comment));
            QVERIFY(!pages[i].contains(QStringLiteral("Vorschau einer anderen Datei")));
            QVERIFY(pages[i].contains(QStringLiteral("Seite %1 von %2").arg(i + 1).arg(pages.size())));
        }
        const QString all = pages.join(QLatin1Char('\f'));
        QVERIFY(all.contains(QStringLiteral("01:00:00")));
        QVERIFY(!all.contains(QStringLiteral("01:14:04")));
    }
};

KELTO_TEST_MAIN(TestSheetButtons)
#include "tst_sheet_buttons.moc"
