#include "files/crew_sheet.h"
#include "pdf_text.h"
#include "test_main.h"

#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every device, times up to 18 hours, one entry without circuit.
ShotList fullList()
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 383;
        list.circuits[i] = qint16((i * 37) % 255);
    }
    list.circuits[5] = NoCircuit;
    return list;
}

CrewSheet sheetOf(const ShotList& list)
{
    return { list, QStringLiteral("show.fsl"), QStringLiteral("Silvester am See"),
        QDateTime(QDate(2024, 12, 31), QTime(18, 5)), QString(), 0 };
}

} // namespace

class TestCrewSheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullListPdfHoldsEveryEntryAndSection()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plan.pdf"));
        const ShotList list = fullList();
        QString error;
        QVERIFY2(WriteCrewSheetPdf(path, sheetOf(list), &error), qPrintable(error));
        const QStringList pages = PdfPages(path);
        QVERIFY(pages.size() > 2);
        const QString all = pages.join(QLatin1Char('\n'));

        for (int page = 0; page < pages.size(); ++page) {
            QVERIFY(pages[page].contains(QStringLiteral("Seite %1 von %2").arg(page + 1).arg(pages.size())));
            QVERIFY(pages[page].contains(QStringLiteral("show.fsl – Silvester am See")));
            QVERIFY(pages[page].contains(QStringLiteral("gedruckt am 31.12.2024 18:05")));
        }
        QVERIFY(pages[0].contains(QStringLiteral("Anzahl Schüsse: 170")));
        QVERIFY(pages[0].contains(QStringLiteral("Zeitdauer : 17:58:47")));
        QVERIFY(pages[0].contains(QStringLiteral("Zeitleiste")));

        // One table row per entry: number, time, gap, device, circuit.
        for (int slot = 0; slot < EntryCount; ++slot) {
            const int code = list.circuits[slot];
            const QString gap = slot + 1 < EntryCount ? QStringLiteral("383") : QStringLiteral("–");
            const QString firing = code == NoCircuit ? QStringLiteral("kein Zündkreis\\s+–")
                                                     : QRegularExpression::escape(DeviceName(code / 32))
                    + QStringLiteral("\\s+%1").arg(code % 32, 2, 10, QLatin1Char('0'));
            const QRegularExpression row(QStringLiteral("(^|\\n)\\s*%1\\s+%2\\s+%3\\s+%4")
                                             .arg(slot + 1)
                                             .arg(FormatClock(list.times[slot]), gap, firing));
            QVERIFY2(row.match(all).hasMatch(), qPrintable(row.pattern()));
            if (code != NoCircuit) {
                QVERIFY2(all.contains(
                             QStringLiteral("Nr. %1 (%2").arg(slot + 1).arg(FormatClock(list.times[slot]))),
                    qPrintable(QString::number(slot + 1)));
            }
        }
        for (int device = 0; device < 8; ++device)
            QVERIFY(all.contains(QStringLiteral("Zündgerät ") + DeviceName(device)));
        QVERIFY(all.contains(QStringLiteral("über H")));
        QVERIFY(all.contains(QStringLiteral("frei")));
    }

    void sectionsOnlyForDevicesInUse_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("start-up list") << QList<int> { 255 } << QStringList {};
        QTest::newRow("A only") << QList<int> { 3 } << QStringList { "A (Brenzor)" };
        QTest::newRow("H brings B and C")
            << QList<int> { 7 * 32 + 4 }
            << QStringList { "B (Verteiler)", "C (Verteiler)", "H (alle Verteiler)" };
    }
    void sectionsOnlyForDevicesInUse()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, sections);
        ShotList list = ShotList::startup();
        for (int i = 0; i < codes.size(); ++i) {
            list.times[i] = i * 10;
            list.circuits[i] = qint16(codes[i]);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plan.pdf"));
        QString error;
        QVERIFY(WriteCrewSheetPdf(path, sheetOf(list), &error));
        const QString all = PdfPages(path).join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("Seite 1 von")));
        for (int device = 0; device < 8; ++device) {
            QCOMPARE(all.contains(QStringLiteral("Zündgerät ") + DeviceName(device)),
                sections.contains(DeviceName(device)));
        }
    }

    void paintsEveryPageItCounts()
    {
        QTemporaryDir dir;
        QPdfWriter writer(dir.filePath(QStringLiteral("direct.pdf")));
        writer.setPageSize(QPageSize(QPageSize::A4));
        const int pages = PaintCrewSheet(writer, sheetOf(fullList()));
        QVERIFY(pages > 2);
        QCOMPARE(PdfPages(dir.filePath(QStringLiteral("direct.pdf"))).size(), pages);
    }

    void unwritableTargetFailsWithReasonAndNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone/plan.pdf"));
        QString error;
        QVERIFY(!WriteCrewSheetPdf(path, sheetOf(fullList()), &error));
        // The reason alone, in German; whoever reports it names the file once.
        QCOMPARE(error, QStringLiteral("Die Datei oder der Ordner existiert nicht."));
        QVERIFY(!QFile::exists(path));

        // A folder in the way of the target.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
        error.clear();
        QVERIFY(!WriteCrewSheetPdf(dir.filePath(QStringLiteral("folder.pdf")), sheetOf(fullList()), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder.pdf"))).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
};

KELTO_TEST_MAIN(TestCrewSheet)
#include "tst_crew_sheet.moc"
