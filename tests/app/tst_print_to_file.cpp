#include "file_bytes.h"
#include "pdf_text.h"
#include "prompter.h"
#include "test_main.h"

#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

// The print preview's "print to a PDF file" writes the file whole or not at all, as every other file.
class TestPrintToFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pdfFileIsWrittenWholeOrNotAtAll_data()
    {
        QTest::addColumn<int>("limitBytes"); // 0: none
        QTest::addColumn<QString>("message");
        QTest::newRow("written") << 0 << QString();
        QTest::newRow("file-size limit")
            << 2048 << QStringLiteral("konnte nicht geschrieben werden.\n\nGrund: Die Datei ist zu groß");
    }
    void pdfFileIsWrittenWholeOrNotAtAll()
    {
        QFETCH(int, limitBytes);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plan.pdf"));
        writeFile(path, "old");

        QWidget parent;
        DialogPrompter prompter(&parent);
        QString shown;
        bool printed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shown = box->text().remove(QChar(0x200B)); // break opportunities in long paths
                box->accept();
                return;
            }
            auto* dialog = qobject_cast<QPrintPreviewDialog*>(modal);
            if (!dialog || printed)
                return;
            printed = true;
            // As the print dialog leaves the printer when the user picks "print to file"; printed from
            // outside this slot, so that the poll can answer a box the print opens.
            dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog->printer()->setOutputFileName(path);
            QTimer::singleShot(0, dialog, [dialog, limitBytes] {
                rlimit old {};
                getrlimit(RLIMIT_FSIZE, &old);
                if (limitBytes > 0) {
                    const rlimit limited { rlim_t(limitBytes), old.rlim_max };
                    setrlimit(RLIMIT_FSIZE, &limited);
                }
                dialog->findChild<QPrintPreviewWidget*>()->print();
                setrlimit(RLIMIT_FSIZE, &old);
                dialog->reject();
            });
        });
        std::signal(SIGXFSZ, SIG_IGN);
        poll.start(20);
        prompter.printPreview(QStringLiteral("Schussplan"),
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12)), path,
            [](QPagedPaintDevice& device) {
                QPainter painter(&device);
                painter.drawText(QPointF(100, 100), QStringLiteral("Probe für die Datei"));
            });
        poll.stop();
        QVERIFY(printed);
        if (message.isEmpty()) {
            QVERIFY(shown.isEmpty());
            QCOMPARE(PdfPages(path).value(0).trimmed(), QStringLiteral("Probe für die Datei"));
        } else {
            QVERIFY2(shown.contains(message), qPrintable(shown));
            QVERIFY(shown.contains(QDir::toNativeSeparators(path)));
            QCOMPARE(readFile(path), QByteArray("old"));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "plan.pdf" });
    }
};

KELTO_TEST_MAIN(TestPrintToFile)
#include "tst_print_to_file.moc"
