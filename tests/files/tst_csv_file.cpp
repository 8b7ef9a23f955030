#include "files/csv_file.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

Q_DECLARE_METATYPE(CsvImportOptions)

namespace {

// The leading entries as "00:00:35 B03 Vulkan" ("---" without circuit); a slot behind them that is not
// empty shows as "?".
QStringList entriesOf(const ShotList& list)
{
    QStringList entries;
    int slot = 0;
    for (; slot < SlotCount && list.times[slot] != EmptyTime; ++slot) {
        const qint16 code = list.circuits[slot];
        QString entry = FormatClock(list.times[slot]) + QLatin1Char(' ')
            + (code == NoCircuit ? QStringLiteral("---") : CircuitLabel(code));
        if (!list.effects[slot].isEmpty())
            entry += QLatin1Char(' ') + list.effects[slot];
        entries.append(entry);
    }
    for (; slot < SlotCount; ++slot) {
        if (list.times[slot] != EmptyTime || list.circuits[slot] != NoCircuit
            || !list.effects[slot].isEmpty())
            entries.append(QStringLiteral("?"));
    }
    return entries;
}

QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return bytes;
}

// Entries "time code effect" into a list.
struct Entry {
    int time;
    int code;
    QString effect;
};
ShotList listOf(const QList<Entry>& entries)
{
    ShotList list = ShotList::startup();
    list.times[0] = EmptyTime;
    for (int i = 0; i < entries.size(); ++i) {
        list.times[i] = entries[i].time;
        list.circuits[i] = qint16(entries[i].code);
        list.effects[i] = entries[i].effect;
    }
    return list;
}

CsvImportOptions fromOne()
{
    CsvImportOptions options;
    options.circuitsFrom = 1;
    return options;
}

CsvImportOptions withoutCircuits()
{
    CsvImportOptions options;
    options.withoutCircuits = true;
    return options;
}

CsvImportOptions choosing(CsvColumnChoice time, CsvColumnChoice device, CsvColumnChoice circuit,
    CsvColumnChoice effect = CsvColumnChoice::automatic())
{
    CsvImportOptions options;
    options.time = time;
    options.device = device;
    options.circuit = circuit;
    options.effect = effect;
    return options;
}

EffectData bombeData()
{
    EffectData data;
    data.name = QStringLiteral("Bombe 75");
    data.caliberMm = 75;
    data.prefireTenths = 32;
    data.durationTenths = 25;
    data.nemTenthsGram = 12345;
    data.effectClass = EffectClass::F3;
    return data;
}

// The columns of a full-show export in the Finale Generic CSV format, as its public description lists them.
const QStringList FinaleColumns { "FIRING_HEADER_ROW", "Time Cue Number", "Ignition Event Time",
    "Number Of Devices", "Duration", "Coordinates", "Chain Identifier", "Lockout Identifier", "Device Delay",
    "Prefire Delay", "Effect Name", "Caliber", "Category", "Angles", "Position Name", "Animation Description",
    "Module Description", "Module Address", "Slat Address", "Pin Address", "Firing Notes", "Product ID",
    "Manufacturer Product ID", "Animation ID", "Location Primary", "Location Secondary", "Price Per Device",
    "Mortar Caliber", "Track Identifier" };

QString finaleRow(int cue, const QString& time, const QString& effect, int module, int pin, QChar separator)
{
    QStringList cells(FinaleColumns.size());
    cells[0] = QStringLiteral("FIRING_DATA_ROW");
    cells[1] = QString::number(cue);
    cells[2] = time;
    cells[3] = QStringLiteral("1");
    cells[4] = QStringLiteral("4.50s");
    cells[5] = QStringLiteral("12.000000 0.000000 0.000000");
    cells[8] = QStringLiteral("0.00s");
    cells[9] = QStringLiteral("2.00s");
    cells[10] = effect;
    cells[11] = QStringLiteral("75mm");
    cells[12] = QStringLiteral("Shell");
    cells[13] = QStringLiteral("0");
    cells[14] = QStringLiteral("Pos 1");
    cells[16] = QStringLiteral("Module %1").arg(module);
    cells[17] = QString::number(module);
    cells[19] = QString::number(pin);
    return cells.join(separator) + QStringLiteral("\r\n");
}

QString finaleFile(QChar separator)
{
    return FinaleColumns.join(separator) + QStringLiteral("\r\n")
        + finaleRow(1, QStringLiteral("00:00:05.0s"), QStringLiteral("Red Peony"), 1, 1, separator)
        + finaleRow(3, QStringLiteral("00:01:02.50s"), QStringLiteral("Kometen rot"), 2, 32, separator)
        + finaleRow(2, QStringLiteral("00:00:30.25s"), QStringLiteral("Gold Willow"), 1, 2, separator);
}

// Effects that a spreadsheet would run as formulas, and some it would not.
const QStringList FormulaEffects { "=HYPERLINK(\"http://x.example\";\"Klick\")", "+49 170 1234567",
    "-Kometen", "@SUMME(A1)", "=1+1", "'=schon mit Apostroph", "''-zwei", "'normal", "Bombe = laut", "-",
    "A\t=B" };

// The text of the cell the reader stands on: its paragraphs, with tabs and runs of blanks as written.
QString cellText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (xml.qualifiedName() == QLatin1String("text:tab"))
                text += QLatin1Char('\t');
            else if (xml.qualifiedName() == QLatin1String("text:s"))
                text += QString(
                    qMax(1, xml.attributes().value(QLatin1String("text:c")).toInt()), QLatin1Char(' '));
        } else if (xml.isEndElement()) {
            --depth;
        } else if (xml.isCharacters() && depth > 1) {
            text += xml.text();
        }
    }
    return text;
}

// Every cell of a spreadsheet's first table as text, row by row; a formula cell as "FORMULA:" and its
// formula.
QList<QStringList> spreadsheetCells(const QByteArray& fods)
{
    QList<QStringList> rows;
    QXmlStreamReader xml(fods);
    bool inTable = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.qualifiedName() == QLatin1String("table:table"))
            break;
        if (!xml.isStartElement())
            continue;
        if (xml.qualifiedName() == QLatin1String("table:table"))
            inTable = true;
        else if (inTable && xml.qualifiedName() == QLatin1String("table:table-row"))
            rows.append(QStringList());
        else if (inTable && !rows.isEmpty() && xml.qualifiedName() == QLatin1String("table:table-cell")) {
            const QString formula = xml.attributes().value(QLatin1String("table:formula")).toString();
            const QString text = cellText(xml);
            rows.last().append(formula.isEmpty() ? text : QStringLiteral("FORMULA:") + formula);
        }
    }
    return rows;
}

} // namespace

class TestCsvFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesSemicolonsCrLfUtf8WithBom()
    {
        // 0 s without circuit, B03 at 35 s with an effect, H30 at 1 h, G31 at the last second; effects with
        // a semicolon or quotes are quoted.
        const ShotList list = listOf({ { 0, 255, QString() }, { 35, 35, QStringLiteral("Vulkan grün") },
            { 3600, 254, QStringLiteral("Bombe 75; \"rot\"") }, { 65279, 223, QStringLiteral("Ende") } });
        QCOMPARE(ShotListCsvBytes(list),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n"
                       "1;00:00:00;0;;;\r\n"
                       "2;00:00:35;35;B;3;Vulkan gr\xC3\xBCn\r\n"
                       "3;01:00:00;3600;H;30;\"Bombe 75; \"\"rot\"\"\"\r\n"
                       "4;18:07:59;65279;G;31;Ende\r\n"));
    }

    void formulaCellsGetOneApostrophe_data()
    {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QByteArray>("cell");
        QTest::newRow("=") << "=HYPERLINK(\"x\")" << QByteArray("\"'=HYPERLINK(\"\"x\"\")\"");
        QTest::newRow("+") << "+49 170" << QByteArray("'+49 170");
        QTest::newRow("-") << "-Kometen" << QByteArray("'-Kometen");
        QTest::newRow("@") << "@SUMME(A1)" << QByteArray("'@SUMME(A1)");
        QTest::newRow("tab") << "\t=1" << QByteArray("\"'\t=1\"");
        QTest::newRow("CR") << "\r=1" << QByteArray("\"'\r=1\"");
        QTest::newRow("apostrophe before =") << "'=1" << QByteArray("''=1");
        QTest::newRow("apostrophe alone") << "'Kometen" << QByteArray("'Kometen");
        QTest::newRow("= inside") << "Bombe = laut" << QByteArray("Bombe = laut");
    }
    void formulaCellsGetOneApostrophe()
    {
        QFETCH(QString, effect);
        QFETCH(QByteArray, cell);
        ShotList list = ListWithTimes({ 5 });
        list.effects[0] = effect;
        QCOMPARE(ShotListCsvBytes(list),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n1;00:00:05;5;;;")
                + cell + "\r\n");
        QCOMPARE(CsvCellText(CsvTextCell(effect)), effect);
    }

    // LibreOffice Calc opens the exported table: not one cell is a formula, every effect is there.
    void spreadsheetRunsNoCellAsFormula()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice Calc (soffice) is not installed");
        QTemporaryDir dir;
        QList<Entry> entries;
        for (int i = 0; i < FormulaEffects.size(); ++i)
            entries.append({ i * 10, i, FormulaEffects[i] });
        const QString csv = dir.filePath(QStringLiteral("show.csv"));
        QString error;
        QVERIFY(WriteShotListCsv(csv, listOf(entries), &error));
        QProcess calc;
        calc.setWorkingDirectory(dir.path());
        calc.start(soffice,
            { QStringLiteral("-env:UserInstallation=")
                    + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                QStringLiteral("--headless"), QStringLiteral("--infilter=CSV:59,34,76,1"),
                QStringLiteral("--convert-to"), QStringLiteral("fods"), QStringLiteral("--outdir"),
                dir.path(), csv });
        QVERIFY(calc.waitForFinished(180000));
        QFile fods(dir.filePath(QStringLiteral("show.fods")));
        QVERIFY2(fods.open(QIODevice::ReadOnly), calc.readAllStandardError().constData());
        const QList<QStringList> rows = spreadsheetCells(fods.readAll());
        QCOMPARE(rows.size(), FormulaEffects.size() + 1);
        for (int i = 0; i < FormulaEffects.size(); ++i) {
            const QStringList& row = rows[i + 1];
            for (const QString& cell : row)
                QVERIFY2(!cell.startsWith(QLatin1String("FORMULA:")), qPrintable(cell));
            // Calc shows the apostrophe as part of the text.
            const QString effect = FormulaEffects[i];
            QCOMPARE(row.value(5), CsvTextCell(effect));
        }
    }

    void writesOnlyTheEntriesOfTheNormalisedList()
    {
        ShotList list = ListWithTimes({ 10, 10, 65535, 30 });
        list.circuits[1] = 0;
        list.effects[3] = QStringLiteral("hinter der Lücke");
        QCOMPARE(ShotListCsvBytes(list),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n"
                       "1;00:00:10;10;;;\r\n2;00:00:11;11;A;0;\r\n"));
        QCOMPARE(ShotListCsvBytes(ListWithTimes({ 65535 })),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n"));
    }

    void exportThenImportGivesTheSameEntries_data()
    {
        QTest::addColumn<QList<Entry>>("entries");
        QTest::newRow("start-up list") << QList<Entry> { { 0, 255, QString() } };
        QTest::newRow("mixed") << QList<Entry> { { 0, 255, QString() },
            { 35, 35, QStringLiteral("Vulkan grün") }, { 3600, 254, QStringLiteral("Bombe; \"rot\"\t75 mm") },
            { 65279, 223, QStringLiteral("€ und ß") } };
        QList<Entry> full;
        for (int i = 0; i < EntryCount; ++i)
            full.append({ i * 383, (i * 37) % 255, i % 3 ? QStringLiteral("Effekt %1").arg(i) : QString() });
        QTest::newRow("full, every device") << full;
        QList<Entry> formulas;
        for (int i = 0; i < FormulaEffects.size(); ++i)
            formulas.append({ i * 10, i, FormulaEffects[i] });
        QTest::newRow("formulas") << formulas;
    }
    void exportThenImportGivesTheSameEntries()
    {
        QFETCH(QList<Entry>, entries);
        const ShotList list = listOf(entries);
        const CsvImport imported = ReadShotListCsv(ShotListCsvBytes(list));
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), entriesOf(list));
        QVERIFY(SameList(*imported.list, list) || entries.size() < EntryCount);
        QCOMPARE(imported.summary.roundedLines, QList<int>());
        QVERIFY(!imported.summary.sorted);
    }

    // What show-design programs, firing systems and spreadsheets write, and the entries that come of it.
    void readsWhatIsReallyWritten_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CsvImportOptions>("options");
        QTest::addColumn<QStringList>("entries");
        const CsvImportOptions automatic;
        const QStringList b3 { "00:00:35 B03" };
        const QString plain = QStringLiteral("Zeit;Zündgerät;Kreis\r\n35;B;3\r\n");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + plain.toUtf8() << automatic << b3;
        QTest::newRow("UTF-8 without BOM") << plain.toUtf8() << automatic << b3;
        QTest::newRow("UTF-16 LE") << utf16(plain, false) << automatic << b3;
        QTest::newRow("UTF-16 BE") << utf16(plain, true) << automatic << b3;
        QTest::newRow("Windows-1252")
            << QByteArray("Z\xFCndger\xE4t;Zeit;Kreis;Effekt\r\nB;35;3;K\xF6nigsblau\r\n") << automatic
            << QStringList { "00:00:35 B03 Königsblau" };
        QTest::newRow("comma") << QByteArray("Time,Device,Circuit\n35,B,3\n") << automatic << b3;
        QTest::newRow("tab") << QByteArray("Time\tDevice\tCircuit\r35\tB\t3\r") << automatic << b3;
        QTest::newRow("quoted, padded")
            << QByteArray("\"Ignition Time\", \"Module\" , \"Pin\"\r\n \"35\" , \"b\" , \" 3 \"\r\n")
            << automatic << b3;
        QTest::newRow("quoted delimiter, doubled quote, line break in the effect")
            << QByteArray("Name,Zeit,Modul,Kanal\r\n\"Bombe, \"\"rot\"\"\r\n10 cm\",35,2,3\r\n") << automatic
            << QStringList { "00:00:35 B03 Bombe, \"rot\" 10 cm" };
        QTest::newRow("no line end at the end") << QByteArray("Zeit;Gerät;Kreis\n35;B;3") << automatic << b3;
        QTest::newRow("empty lines and separator-only lines skipped")
            << QByteArray("\r\n;;\r\nZeit;Gerät;Kreis\r\n\r\n;;\r\n35;B;3\r\n\r\n") << automatic << b3;
        QTest::newRow("Kelto's labels")
            << QByteArray("Zeit;Zündgerät;Kreis\n35;B (Verteiler);3\n40;h (alle verteiler);0\n") << automatic
            << QStringList { "00:00:35 B03", "00:00:40 H00" };
        QTest::newRow("other columns ignored, effect taken")
            << QByteArray("Nr;Effekt;Ignition Time;Kaliber;Device;Channel\n1;Vulkan;35;75;2;3\n") << automatic
            << QStringList { "00:00:35 B03 Vulkan" };
        QTest::newRow("decimal comma between semicolons")
            << QByteArray("Zeit;Gerät;Kreis\n35,4;B;3\n") << automatic << b3;
        QTest::newRow("without circuits, asked for") << QByteArray("Sekunden;Modul;Pin\n35;B;3\n")
                                                     << withoutCircuits() << QStringList { "00:00:35 ---" };
        QTest::newRow("sorted by time") << QByteArray("Zeit;Gerät;Kreis\n90;A;0\n35;B;3\n60;;\n") << automatic
                                        << QStringList { "00:00:35 B03", "00:01:00 ---", "00:01:30 A00" };

        // Kelto's own export: both time columns agree; a label column, numbers with units.
        QTest::newRow("own export, Zeit and Sekunden agree")
            << QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n"
                          "1;00:00:00;0;;;\r\n2;00:20:00;1200;B;3;Vulkan\r\n")
            << automatic << QStringList { "00:00:00 ---", "00:20:00 B03 Vulkan" };
        QTest::newRow("Finale Generic CSV, UTF-16, tab, pins from 1")
            << utf16(finaleFile(QLatin1Char('\t')), false) << fromOne()
            << QStringList { "00:00:05 A00 Red Peony", "00:00:30 A01 Gold Willow",
                   "00:01:03 B31 Kometen rot" };
        QTest::newRow("Finale Generic CSV, UTF-8, comma")
            << finaleFile(QLatin1Char(',')).toUtf8() << fromOne()
            << QStringList { "00:00:05 A00 Red Peony", "00:00:30 A01 Gold Willow",
                   "00:01:03 B31 Kometen rot" };
        QTest::newRow("German spreadsheet: sep line, title, grouping point settled by 5,67")
            << QByteArray("sep=;\r\nFeuerwerk Hafenfest 2024;;;\r\n;;;\r\n"
                          "Zeit;Verteiler;Ausgang;Beschreibung\r\n"
                          "5,67;1;0;Vulkan\r\n1.200;2;5;Bombe\r\n1.250,5;2;6;Finale\r\n")
            << automatic
            << QStringList { "00:00:06 A00 Vulkan", "00:20:00 B05 Bombe", "00:20:51 B06 Finale" };
        QTest::newRow("English spreadsheet: clock of day, Module # and Cue #")
            << QByteArray("Time,Module #,Cue #,Description\r\n12:00:05 AM,1,12,Red comet\r\n"
                          "12:01:10 AM,1,13,Blue peony\r\n")
            << automatic << QStringList { "00:00:05 A12 Red comet", "00:01:10 A13 Blue peony" };
        QTest::newRow("a title naming a column above the header") << QByteArray(
            "Zeit\r\nZeit;Modul;Pin\r\n5;1;0\r\n") << automatic << QStringList { "00:00:05 A00" };
        QTest::newRow("comment lines above the header, tab")
            << QByteArray("#VERSION 2\r\n#HAZARD 1 Shells\r\nCue\tFM\tOUT\tTime\tProduct\r\n"
                          "1\t3\t7\t2.5\tRed\r\n2\t3\t8\t4\tGreen\r\n")
            << automatic << QStringList { "00:00:03 C07 Red", "00:00:04 C08 Green" };
        QTest::newRow("Shot Time beside Break Time")
            << QByteArray("Shot Number,Break Time,Shot Time,Module,Pin,Effect\r\n1,7.5,5.5,1,0,Peony\r\n"
                          "2,12,10,1,1,Willow\r\n")
            << automatic << QStringList { "00:00:06 A00 Peony", "00:00:10 A01 Willow" };
        QTest::newRow("ignition time wins over event time and time")
            << QByteArray("Time;Event Time;Ignition Time;Modul;Pin\n9;9;7;1;0\n") << automatic
            << QStringList { "00:00:07 A00" };
        QTest::newRow("milliseconds by unit") << QByteArray("Zeit [ms];Modul;Pin\n7150;1;0\n9499;1;1\n")
                                              << automatic << QStringList { "00:00:07 A00", "00:00:09 A01" };
        QTest::newRow("minutes by unit") << QByteArray("Time (mm:ss),Module,Pin\n1:05,1,0\n75:00,1,1\n")
                                         << automatic << QStringList { "00:01:05 A00", "01:15:00 A01" };
        QTest::newRow("hours by unit") << QByteArray("Zeit (hh:mm:ss);Modul;Pin\n1:02:03;1;0\n") << automatic
                                       << QStringList { "01:02:03 A00" };
        QTest::newRow("one column with labels")
            << QByteArray("Zeit;Zündkreis\n5;B05\n7;h30\n9;\n") << automatic
            << QStringList { "00:00:05 B05", "00:00:07 H30", "00:00:09 ---" };
        QTest::newRow("a cue column counting the rows beside two others")
            << QByteArray("Cue;Channel;Modul;Zeit\n1;5;1;1\n2;9;1;2\n3;4;2;3\n") << automatic
            << QStringList { "00:00:01 A05", "00:00:02 A09", "00:00:03 B04" };
        QTest::newRow("Pin wins over Cue") << QByteArray("Zeit;Modul;Cue;Pin\n1;1;7;0\n2;1;3;1\n")
                                           << automatic << QStringList { "00:00:01 A00", "00:00:02 A01" };
        QTest::newRow("columns chosen by name and place")
            << QByteArray("Zeit;Channel;Cue;Slave;Notiz\n1;5;7;2;a\n2;6;8;2;b\n")
            << choosing(CsvColumnChoice::automatic(), CsvColumnChoice::named("SLAVE"), CsvColumnChoice::at(2),
                   CsvColumnChoice::named("notiz"))
            << QStringList { "00:00:01 B07 a", "00:00:02 B08 b" };
        QTest::newRow("the time column chosen between two that disagree")
            << QByteArray("Nr;Sekunden;Zeit;Modul;Pin\n1;3;0:10;1;0\n2;4;0:20;1;1\n")
            << choosing(
                   CsvColumnChoice::named("Zeit"), CsvColumnChoice::automatic(), CsvColumnChoice::automatic())
            << QStringList { "00:00:10 A00", "00:00:20 A01" };
        QTest::newRow("no effect, chosen")
            << QByteArray("Zeit;Modul;Pin;Name;Beschreibung\n1;1;0;a;b\n")
            << choosing(CsvColumnChoice::automatic(), CsvColumnChoice::automatic(),
                   CsvColumnChoice::automatic(), CsvColumnChoice::absent())
            << QStringList { "00:00:01 A00" };
        QTest::newRow("trailing s, fractions, halves up")
            << QByteArray("Zeit;Modul;Pin\n00:00:05.0s;1;0\n6.4999 s;1;1\n0:07.5;1;2\n") << automatic
            << QStringList { "00:00:05 A00", "00:00:06 A01", "00:00:08 A02" };
        QTest::newRow("characters a list cannot hold, effect of 60")
            << QByteArray("Zeit;Modul;Pin;Effekt\n1;1;0;Kometen \xE2\x86\x92 rot\n2;1;1;")
                + QByteArray(60, 'x') + QByteArray("\n")
            << automatic << QStringList { "00:00:01 A00 Kometen ? rot", "00:00:02 A01 " + QString(60, 'x') };
    }
    void readsWhatIsReallyWritten()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(CsvImportOptions, options);
        QFETCH(QStringList, entries);
        const CsvImport imported = ReadShotListCsv(bytes, options);
        if (entries.isEmpty()) {
            QVERIFY(!imported.list);
            return;
        }
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), entries);
        QCOMPARE(imported.rows.size(), entries.size());
        for (int i = 0; i < imported.rows.size(); ++i) {
            QCOMPARE(imported.rows[i].time, imported.list->times[i]);
            QCOMPARE(imported.rows[i].circuit, imported.list->circuits[i]);
            QCOMPARE(imported.rows[i].effect, imported.list->effects[i]);
        }
    }

    void readsTimesAndDevices_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("circuit");
        QTest::addColumn<QString>("entry");
        QTest::newRow("seconds") << "35"
                                 << "B"
                                 << "3"
                                 << "00:00:35 B03";
        QTest::newRow("point fraction below half") << "35.49"
                                                   << "B"
                                                   << "3"
                                                   << "00:00:35 B03";
        QTest::newRow("comma fraction, half up") << "\"35,5\""
                                                 << "B"
                                                 << "3"
                                                 << "00:00:36 B03";
        QTest::newRow("m:ss") << "1:05"
                              << "A"
                              << "0"
                              << "00:01:05 A00";
        QTest::newRow("m:ss beyond an hour") << "75:00"
                                             << "A"
                                             << "0"
                                             << "01:15:00 A00";
        QTest::newRow("m:ss with fraction") << "0:59.5"
                                            << "A"
                                            << "0"
                                            << "00:01:00 A00";
        QTest::newRow("h:mm:ss") << "01:02:03"
                                 << "A"
                                 << "0"
                                 << "01:02:03 A00";
        QTest::newRow("last second") << "18:07:59.4"
                                     << "A"
                                     << "0"
                                     << "18:07:59 A00";
        QTest::newRow("leading zeros") << "0035"
                                       << "B"
                                       << "03"
                                       << "00:00:35 B03";
        QTest::newRow("a fraction of three digits behind 0") << "0.200"
                                                             << "B"
                                                             << "3"
                                                             << "00:00:00 B03";
        QTest::newRow("afternoon clock") << "1:05:00 PM"
                                         << "A"
                                         << "0"
                                         << "13:05:00 A00";
        QTest::newRow("device 7 is G") << "5"
                                       << "7"
                                       << "30"
                                       << "00:00:05 G30";
        QTest::newRow("device 1 is A") << "5"
                                       << "1"
                                       << "31"
                                       << "00:00:05 A31";
        QTest::newRow("lower-case letter") << "5"
                                           << "g"
                                           << "31"
                                           << "00:00:05 G31";
        QTest::newRow("no circuit") << "5"
                                    << ""
                                    << ""
                                    << "00:00:05 ---";
    }
    void readsTimesAndDevices()
    {
        QFETCH(QString, time);
        QFETCH(QString, device);
        QFETCH(QString, circuit);
        QFETCH(QString, entry);
        const QString text = QStringLiteral("Zeit,Gerät,Kreis\n%1,%2,%3\n").arg(time, device, circuit);
        const CsvImport imported = ReadShotListCsv(text.toUtf8());
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), QStringList { entry });
    }

    void refusesWithEveryBadLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CsvImportOptions>("options");
        QTest::addColumn<QStringList>("problems");
        const CsvImportOptions automatic;
        QTest::newRow("row problems")
            << QByteArray("Zeit;Gerät;Kreis\r\n"
                          "1;A;0\r\n"
                          "2;K;1\r\n" // line 3
                          "3;B;32\r\n"
                          "abc;B;2\r\n" // line 5
                          ";B;2\r\n"
                          "4;B;\r\n" // line 7
                          "5;;4\r\n"
                          "18:08:00;A;1\r\n" // line 9
                          "6;H;31\r\n"
                          "1:60;A;2\r\n" // line 11
                          "7;9;-1\r\n"
                          "1.5.;A;3\r\n" // line 13
                          "99999999999999999999;A;4\r\n"
                          "8;8;5\r\n" // line 15
                          "9;A;B7\r\n"
                          "1:5;A;6\r\n") // line 17
            << automatic
            << QStringList {
                   "Zeile 3: unbekanntes Zündgerät \"K\"",
                   "Zeile 4: Kreis \"32\" nicht zwischen 0 und 31",
                   "Zeile 5: Zeit \"abc\" nicht lesbar",
                   "Zeile 6: keine Zeit",
                   "Zeile 7: Zündgerät ohne Kreis",
                   "Zeile 8: Kreis ohne Zündgerät",
                   "Zeile 9: Zeit \"18:08:00\" liegt nach 18:07:59",
                   "Zeile 10: H 31 lässt sich nicht speichern (255 bedeutet „kein Zündkreis“)",
                   "Zeile 11: Zeit \"1:60\" nicht lesbar",
                   "Zeile 12: unbekanntes Zündgerät \"9\"; Kreis \"-1\" nicht zwischen 0 und 31",
                   "Zeile 13: Zeit \"1.5.\" nicht lesbar",
                   "Zeile 14: Zeit \"99999999999999999999\" liegt nach 18:07:59",
                   "Zeile 15: Zündgerät \"8\": Module zählen von 1 (A) bis 7 (G); „H (alle "
                   "Verteiler)“ zündet auf allen Verteilern und gilt nur als „H“ oder „H (alle "
                   "Verteiler)“",
                   "Zeile 16: Kreis \"B7\" passt nicht zum Zündgerät \"A\"",
                   "Zeile 17: Zeit \"1:5\" nicht lesbar",
               };
        QTest::newRow("same second, counted after rounding")
            << QByteArray("Zeit;Gerät;Kreis\n10;A;0\n\n35;A;1\n34.5;A;2\n0:35;A;3\n") << automatic
            << QStringList {
                   "Zeile 4: zwei Schüsse in derselben Sekunde 00:00:35 (auch Zeile 5, 6)",
                   "Zeile 5: zwei Schüsse in derselben Sekunde 00:00:35 (auch Zeile 4, 6)",
                   "Zeile 6: zwei Schüsse in derselben Sekunde 00:00:35 (auch Zeile 4, 5)",
               };
        QByteArray tooMany = "Sekunden\r\n";
        for (int i = 0; i < 172; ++i)
            tooMany += QByteArray::number(i) + "\r\n";
        QTest::newRow("more than 170 shots")
            << tooMany << withoutCircuits()
            << QStringList { "Zeile 172: mehr als 170 Schüsse (die Datei hat 172)" };
        QTest::newRow("a grouping point nothing settles")
            << QByteArray("Zeit;Modul;Pin\n5;1;0\n1.200;1;1\n") << automatic
            << QStringList {
                   "Zeile 3: Zeit \"1.200\" ist mehrdeutig: 1200 s mit Tausenderpunkt oder 1,2 s mit "
                   "Dezimalpunkt; die anderen Zeiten der Datei entscheiden es nicht"
               };
        QTest::newRow("a grouping comma, and both marks as decimals")
            << QByteArray("Zeit;Modul;Pin\n5.5;1;0\n7,25;1;1\n1,200;1;2\n") << automatic
            << QStringList {
                   "Zeile 4: Zeit \"1,200\" ist mehrdeutig: 1200 s mit Tausenderkomma oder 1,2 s mit "
                   "Dezimalkomma; die anderen Zeiten der Datei entscheiden es nicht"
               };
        QTest::newRow("an unquoted decimal comma in a comma table")
            << QByteArray("Zeit,Modul,Pin\n10,1,0\n12,5,2,7\n14,1\n") << automatic
            << QStringList { "Zeile 3: 4 Felder, die Kopfzeile (Zeile 1) hat 3 (ein Dezimalkomma ohne "
                             "Anführungszeichen?)",
                   "Zeile 4: 2 Felder, die Kopfzeile (Zeile 1) hat 3" };
        QTest::newRow("Zeit and Sekunden disagree in one row")
            << QByteArray("Nr;Zeit;Sekunden;Zündgerät;Kreis\n1;00:00:10;10;A;0\n2;00:00:20;25;A;1\n3;00:00:"
                          "30;;A;2\n")
            << automatic
            << QStringList { "Zeile 3: „Zeit“ \"00:00:20\" und „Sekunden“ \"25\" nennen verschiedene Zeiten",
                   "Zeile 4: Zeit in „Zeit“, nicht in „Sekunden“" };
        QTest::newRow("durations in Sekunden beside the times")
            << QByteArray("Nr;Sekunden;Zeit;Modul;Pin\n1;3;0:10;1;0\n2;4;0:20;1;1\n") << automatic
            << QStringList {
                   "Zeile 1: die Spalten „Sekunden“ (Spalte 2), „Zeit“ (Spalte 3) könnten alle die Zeit sein "
                   "und stimmen in keiner Zeile überein; wählen Sie die Zeitspalte (--time-column)",
                   "Zeile 2: „Sekunden“ \"3\" und „Zeit“ \"0:10\" nennen verschiedene Zeiten",
                   "Zeile 3: „Sekunden“ \"4\" und „Zeit“ \"0:20\" nennen verschiedene Zeiten"
               };
        QTest::newRow("milliseconds without unit")
            << QByteArray("Zeit;Modul;Pin\n7150;1;0\n7800;1;1\n9200;1;2\n") << automatic
            << QStringList {
                   "Zeile 1: die Zeiten der Spalte „Zeit“ sind wohl Millisekunden: alle außer 0 über 1000 "
                   "und "
                   "mindestens 100 auseinander (als Sekunden wäre \"7150\" schon 01:59:10); eine Einheit im "
                   "Spaltennamen entscheidet („Zeit [ms]“ oder „Zeit [s]“)"
               };
        QTest::newRow("milliseconds from 0 without unit")
            << QByteArray("Zeit;Modul;Pin\n0;1;0\n7150;1;1\n") << automatic
            << QStringList {
                   "Zeile 1: die Zeiten der Spalte „Zeit“ sind wohl Millisekunden: alle außer 0 über 1000 "
                   "und "
                   "mindestens 100 auseinander (als Sekunden wäre \"7150\" schon 01:59:10); eine Einheit im "
                   "Spaltennamen entscheidet („Zeit [ms]“ oder „Zeit [s]“)"
               };
        QTest::newRow("milliseconds past the last second")
            << QByteArray("Time,Module,Pin\n500,1,0\n70000,1,1\n") << automatic
            << QStringList {
                   "Zeile 1: die Zeiten der Spalte „Time“ sind wohl Millisekunden: als Sekunden läge "
                   "\"70000\" nach 18:07:59; eine Einheit im Spaltennamen entscheidet („Time [ms]“ oder "
                   "„Time [s]“)",
                   "Zeile 3: Zeit \"70000\" liegt nach 18:07:59"
               };
        QTest::newRow("circuits counted from 1")
            << QByteArray("Zeit;Modul;Pin\n1;1;1\n2;1;32\n") << automatic
            << QStringList { "Zeile 1: die Kreise der Spalte „Pin“ zählen wohl ab 1 (32 kommt vor, 0 nie): "
                             "„Kreise ab 1“ "
                             "wählen (--circuits-from 1)",
                   "Zeile 3: Kreis \"32\" nicht zwischen 0 und 31" };
        QTest::newRow("circuit 0 when counted from 1")
            << QByteArray("Zeit;Modul;Pin\n1;1;0\n2;1;32\n") << fromOne()
            << QStringList { "Zeile 2: Kreis \"0\" nicht zwischen 1 und 32" };
        QTest::newRow("no address columns")
            << QByteArray("Nr;Zeit;Verteilerkasten;Bemerkung\n1;5;3;x\n") << automatic
            << QStringList {
                   "Zeile 1: keine Spalte für den Zündkreis (Zündgerät und Kreis, etwa „Modul“ und „Pin“) "
                   "gefunden: die Datei hat „Nr“, „Zeit“, „Verteilerkasten“, „Bemerkung“. Ohne Zündkreise "
                   "übernehmen: „Liste ohne Zündkreise“ (--without-circuits)"
               };
        QTest::newRow("a circuit column of numbers alone")
            << QByteArray("Zeit;Pin\n1;3\n") << automatic
            << QStringList { "Zeile 1: Spalte \"Pin\" ohne Spalte für das Zündgerät" };
        QTest::newRow("device column without circuit column")
            << QByteArray("Zeit;Device\n1;A\n") << automatic
            << QStringList { "Zeile 1: Spalte \"Device\" ohne Spalte für den Kreis" };
        QTest::newRow("two circuit columns, nothing decides")
            << QByteArray("Zeit;Channel;Cue\n1;5;7\n2;6;9\n") << automatic
            << QStringList {
                   "Zeile 1: mehrere Spalten könnten der Kreis sein: „Channel“ (Spalte 2), „Cue“ (Spalte 3); "
                   "wählen Sie eine"
               };
        QTest::newRow("only an event time")
            << QByteArray("Event Time;Modul;Pin\n1;1;0\n") << automatic
            << QStringList {
                   "Zeile 1: keine Spalte für die Zündzeit gefunden (etwa „Zeit“, „Sekunden“, „Zündzeit“, "
                   "„Ignition Time“); die Datei hat „Event Time“, „Modul“, „Pin“"
               };
        QTest::newRow("frames") << QByteArray("Zeit;Modul;Pin\n00:00:05:12;1;0\n") << automatic
                                << QStringList {
                                       "Zeile 2: Zeit \"00:00:05:12\" hat Bilder (hh:mm:ss:ff); Kelto liest "
                                       "Stunden, Minuten und Sekunden"
                                   };
        QTest::newRow("a value against the unit")
            << QByteArray("Zeit [s];Modul;Pin\n1:05;1;0\n") << automatic
            << QStringList { "Zeile 2: Zeit \"1:05\" passt nicht zur Einheit [s] der Spalte" };
        QTest::newRow("an unknown unit")
            << QByteArray("Zeit [min];Modul;Pin\n1;1;0\n") << automatic
            << QStringList { "Zeile 1: Spalte „Zeit [min]“: Einheit „min“ unbekannt (Kelto "
                             "kennt [s], [ms], (mm:ss) und (hh:mm:ss))" };
        QTest::newRow("a Finale row of another kind")
            << QByteArray("FIRING_HEADER_ROW,Ignition Event Time,Module Address,Pin Address\r\n"
                          "FIRING_DATA_ROW,00:00:01.00s,1,1\r\nFIRING_NOTE_ROW,x,1,1\r\n")
            << automatic
            << QStringList { "Zeile 3: keine Zeile FIRING_DATA_ROW, sondern \"FIRING_NOTE_ROW\"" };
        QTest::newRow("an effect of 61 characters")
            << QByteArray("Zeit;Modul;Pin;Effekt\n1;1;0;") + QByteArray(61, 'x') + "\n"
            << automatic << QStringList { "Zeile 2: Effekt hat 61 Zeichen, höchstens 60" };
        QTest::newRow("a column named that is not there")
            << QByteArray("Zeit;Modul;Pin\n1;1;0\n")
            << choosing(CsvColumnChoice::named("Zündzeit"), CsvColumnChoice::automatic(),
                   CsvColumnChoice::automatic())
            << QStringList {
                   "Zeile 1: keine Spalte „Zündzeit“ für die Zeit; die Datei hat „Zeit“, „Modul“, „Pin“"
               };
        QTest::newRow("one column for two roles")
            << QByteArray("Zeit;Modul;Pin\n1;1;0\n")
            << choosing(CsvColumnChoice::automatic(), CsvColumnChoice::automatic(),
                   CsvColumnChoice::automatic(), CsvColumnChoice::named("Pin"))
            << QStringList { "Zeile 1: Spalte „Pin“ kann nicht zugleich Kreis und Effekt sein" };
        QTest::newRow("header only") << QByteArray("Nr;Zeit;Sekunden;Zündgerät;Kreis;Effekt\r\n") << automatic
                                     << QStringList {
                                            "Zeile 1: keine Schüsse: unter der Kopfzeile steht keine Zeile"
                                        };
        QTest::newRow("no header, data first")
            << QByteArray("35;B;3\r\n40;B;4\r\n") << automatic
            << QStringList {
                   "Die Datei enthält keine Kopfzeile: keine der ersten 20 Zeilen nennt eine Spalte für "
                   "Zeit, Zündgerät oder Kreis (etwa „Zeit“, „Modul“, „Pin“)."
               };
        QTest::newRow("unclosed quote")
            << QByteArray("Zeit;Gerät;Kreis\n1;A;0\n2;\"A;1\n3;A;2\n") << automatic
            << QStringList { "Zeile 3: Anführungszeichen nicht geschlossen" };
        QTest::newRow("empty file") << QByteArray() << automatic
                                    << QStringList { "Die Datei enthält keine Kopfzeile." };
        QTest::newRow("only blank lines")
            << QByteArray("\r\n ; \r\n") << automatic << QStringList { "Die Datei enthält keine Kopfzeile." };
        QTest::newRow("broken UTF-16") << QByteArray("\xFF\xFE"
                                                     "Z\0"
                                                     "e",
            5) << automatic << QStringList { "Die Datei ist kein gültiger Unicode-Text." };
        QTest::newRow("too large") << QByteArray(MaxCsvBytes + 1, '\n') << automatic
                                   << QStringList { "Die Datei ist größer als 4 MB." };
    }
    void refusesWithEveryBadLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(CsvImportOptions, options);
        QFETCH(QStringList, problems);
        const CsvImport imported = ReadShotListCsv(bytes, options);
        QVERIFY(!imported.list);
        QCOMPARE(imported.problems, problems);
    }

    // Every success says what it did.
    // Times that all look like "1.200": the file's format, its delimiter and the range of times settle
    // the mark where they can, and the summary says which did.
    void decimalMarkIsSettledByTheFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CsvImportOptions>("options");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("said");
        QString finale = FinaleColumns.join(QLatin1Char(',')) + QStringLiteral("\r\n");
        QStringList finaleEntries;
        for (int i = 0; i < EntryCount; ++i) {
            const int ms = 3000 + i * 1570; // 3.000 … 268.330
            finale += finaleRow(i + 1,
                QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0')),
                QStringLiteral("Bombe %1").arg(i), 1 + i / 32, 1 + i % 32, QLatin1Char(','));
            finaleEntries.append(FormatClock(qint32((ms + 500) / 1000)) + QLatin1Char(' ')
                + CircuitLabel(qint16((i / 32) * 32 + i % 32)) + QStringLiteral(" Bombe %1").arg(i));
        }
        QTest::newRow("show-design export, 170 rows")
            << finale.toUtf8() << fromOne() << finaleEntries
            << "„.“ ist der Dezimalpunkt in 170 Zeiten wie „3.000“: Finale Generic CSV schreibt einen "
               "Dezimalpunkt; das Komma ist das Trennzeichen der Datei; mit "
               "Tausenderpunkt läge „268.330“ (268330 s) nach 18:07:59.";
        QTest::newRow("comma delimiter") << QByteArray("Time,Module,Pin\n1.200,1,1\n") << CsvImportOptions()
                                         << QStringList { "00:00:01 A01" }
                                         << "„.“ ist der Dezimalpunkt in „1.200“: das Komma ist "
                                            "das Trennzeichen der Datei.";
        QTest::newRow("range, decimal comma")
            << QByteArray("Zeit;Modul;Pin\n3,000;1;0\n70,500;1;1\n") << CsvImportOptions()
            << QStringList { "00:00:03 A00", "00:01:11 A01" }
            << "„,“ ist das Dezimalkomma in 2 Zeiten wie „3,000“: mit "
               "Tausenderkomma läge „70,500“ (70500 s) nach 18:07:59.";
        QTest::newRow("still open") << QByteArray("Zeit;Modul;Pin\n3.000;1;0\n1.200;1;1\n")
                                    << CsvImportOptions() << QStringList() << "mehrdeutig";
        QTest::newRow("both marks") << QByteArray("Zeit;Modul;Pin\n3.000;1;0\n70,500;1;1\n")
                                    << CsvImportOptions() << QStringList() << "mehrdeutig";
    }
    void decimalMarkIsSettledByTheFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(CsvImportOptions, options);
        QFETCH(QStringList, entries);
        QFETCH(QString, said);
        const CsvImport imported = ReadShotListCsv(bytes, options);
        if (entries.isEmpty()) {
            QVERIFY(!imported.list);
            QVERIFY2(imported.problems.join('\n').contains(said), qPrintable(imported.problems.join('\n')));
            return;
        }
        QVERIFY2(
            imported.problems.isEmpty(), qPrintable(imported.problems.mid(0, 3).join(QLatin1Char('\n'))));
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), entries);
        QVERIFY2(CsvSummaryLines(imported).contains(said), qPrintable(CsvSummaryLines(imported).join('\n')));
    }

    void summarySaysWhatWasDone_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CsvImportOptions>("options");
        QTest::addColumn<QStringList>("summary");
        QTest::newRow("Finale Generic CSV")
            << utf16(finaleFile(QLatin1Char('\t')), false) << fromOne()
            << QStringList { "3 Schüsse, Dauer 00:01:03.",
                   "Kopfzeile in Zeile 1, Finale Generic CSV, Trennzeichen "
                   "Tabulator, UTF-16 LE.",
                   "Spalten: Zeit „Ignition Event Time“, Zündgerät „Module Address“, Kreis „Pin Address“, "
                   "Effekt "
                   "„Effect Name“, Effektdaten „Duration“ und „Caliber“.",
                   "Daten für 3 Effekte übernommen.",
                   "Kreise ab 1 gezählt: Kreis 1 der Datei ist Kreis 00 in Kelto.",
                   "2 Zeiten auf ganze Sekunden gerundet (Zeilen 3, 4).",
                   "Jeder Eintrag hat einen Zündkreis.",
                   "Die Zeilen standen nicht in der Reihenfolge ihrer Zeiten; sie wurden nach der Zeit "
                   "sortiert." };
        QTest::newRow("spreadsheet with changed effects")
            << QByteArray(
                   "sep=;\r\nZeit;Zeit [s];Modul;Pin;Effekt\r\n1;1;1;0;\"Kometen\r\nrot\"\r\n2,4;2;;;Ω\r\n")
            << CsvImportOptions()
            << QStringList { "2 Schüsse, Dauer 00:00:02.",
                   "Kopfzeile in Zeile 2 (die Zeilen davor übersprungen), Trennzeichen Semikolon, UTF-8.",
                   "Spalten: Zeit „Zeit“ und „Zeit [s]“, Zündgerät „Modul“, Kreis „Pin“, Effekt „Effekt“.",
                   "Kreise ab 0 gezählt, wie in Kelto.", "1 Zeit auf ganze Sekunden gerundet (Zeile 5).",
                   "1 Eintrag ohne Zündkreis (Zeile 5).",
                   "Zeichen, die eine Listendatei nicht speichern kann, wurden zu „?“ (Zeile 5).",
                   "Zeilenumbrüche in Effekten wurden zu Leerzeichen (Zeile 3)." };
        QTest::newRow("three data columns")
            << QByteArray("Zeit;Kreis;Effekt;Vorlauf (s);Dauer (s);NEM (g)\r\n1;A00;Bombe;3,2;2,5;45\r\n")
            << CsvImportOptions()
            << QStringList { "1 Schuss, Dauer 00:00:01.", "Kopfzeile in Zeile 1, Trennzeichen Semikolon, UTF-8.",
                   "Spalten: Zeit „Zeit“, Kreis „Kreis“, Effekt „Effekt“, Effektdaten „Vorlauf (s)“, "
                   "„Dauer (s)“ und „NEM (g)“.",
                   "Daten für 1 Effekt übernommen.", "Kreise ab 0 gezählt, wie in Kelto.", "Keine Zeit gerundet.",
                   "Jeder Eintrag hat einen Zündkreis." };
        QTest::newRow("without circuits")
            << QByteArray("Sekunden\n5\n") << withoutCircuits()
            << QStringList { "1 Schuss, Dauer 00:00:05.",
                   "Kopfzeile in Zeile 1, Trennzeichen Semikolon, UTF-8.", "Spalten: Zeit „Sekunden“.",
                   "Liste ohne Zündkreise: kein Eintrag hat einen Zündkreis.", "Keine Zeit gerundet." };
    }
    void summarySaysWhatWasDone()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(CsvImportOptions, options);
        QFETCH(QStringList, summary);
        const CsvImport imported = ReadShotListCsv(bytes, options);
        QCOMPARE(imported.problems, QStringList());
        QCOMPARE(CsvSummaryLines(imported), summary);
    }

    // The columns found, with the role each plays and why the others play none.
    void columnsCarryTheirRoles()
    {
        const CsvImport finale = ReadShotListCsv(finaleFile(QLatin1Char(',')).toUtf8(), fromOne());
        QCOMPARE(finale.columns.size(), FinaleColumns.size());
        QStringList roles;
        for (const CsvColumn& column : finale.columns) {
            if (column.role != CsvRole::None || !column.note.isEmpty())
                roles.append(
                    QStringLiteral("%1=%2 (%3)").arg(column.name, CsvRoleName(column.role), column.note));
        }
        QCOMPARE(roles,
            QStringList({ "FIRING_HEADER_ROW=– (Zeilenart)", "Ignition Event Time=Zeit (Zündzeit)",
                "Duration=Effektdaten (Dauer)", "Device Delay=– (Verzögerung, nicht die Zündzeit)",
                "Prefire Delay=– (Verzögerung, nicht die Zündzeit)", "Effect Name=Effekt (Effekt)",
                "Caliber=Effektdaten (Kaliber)",
                "Category=– (keine Effektdaten: kein Wert ist als Klasse lesbar (etwa \"Shell\"))",
                "Module Address=Zündgerät (Zündgerät)", "Pin Address=Kreis (Kreis, ab 1 gezählt)" }));

        const CsvImport counted
            = ReadShotListCsv(QByteArray("Cue;Channel;Modul;Zeit;Time\n1;5;1;1;1\n2;9;1;2;2\n"));
        QCOMPARE(counted.columns[0].note, QStringLiteral("zählt die Zeilen (1, 2, 3 …), keine Adresse"));
        QCOMPARE(counted.columns[1].role, CsvRole::Circuit);
        QCOMPARE(counted.columns[3].role, CsvRole::Time);
        QCOMPARE(counted.columns[4].role, CsvRole::Time);

        const CsvImport refused = ReadShotListCsv(QByteArray("Zeit;Modul;Pin\n1;1;0\n1;1;1\n"));
        QVERIFY(!refused.list);
        QCOMPARE(refused.rows.size(), 2);
        QCOMPARE(refused.columns[2].role, CsvRole::Circuit);
    }

    void longReportIsCutWithACount()
    {
        QByteArray bytes = "Zeit\n";
        for (int i = 0; i < 5000; ++i)
            bytes += "x\n";
        const CsvImport imported = ReadShotListCsv(bytes, withoutCircuits());
        QVERIFY(!imported.list);
        QCOMPARE(imported.problems.size(), MaxCsvProblems + 2);
        QCOMPARE(imported.problems.first(), QStringLiteral("Zeile 2: Zeit \"x\" nicht lesbar"));
        QVERIFY(imported.problems.contains(
            QStringLiteral("Zeile 172: mehr als 170 Schüsse (die Datei hat 5000)")));
        QCOMPARE(imported.problems.last(), QStringLiteral("… und 4800 weitere Fehler"));
    }

    void readsAndWritesFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("show.csv"));
        const ShotList list = listOf({ { 0, 255, QString() }, { 35, 35, QStringLiteral("Vulkan") } });
        QString error;
        QVERIFY(WriteShotListCsv(path, list, &error));
        const CsvImport imported = ReadShotListCsv(path);
        QVERIFY(imported.list);
        QVERIFY(SameList(*imported.list, list));

        QVERIFY(!WriteShotListCsv(dir.filePath(QStringLiteral("gone/show.csv")), list, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("gone/show.csv"))));

        const CsvImport missing = ReadShotListCsv(dir.filePath(QStringLiteral("nothing.csv")));
        QVERIFY(!missing.list);
        QCOMPARE(missing.problems.size(), 1);
        QVERIFY(missing.problems.first().contains(QStringLiteral("gibt es nicht")));
        const CsvImport folder = ReadShotListCsv(dir.path());
        QVERIFY(!folder.list);
        QVERIFY(folder.problems.value(0).contains(QStringLiteral("keine Datei")));
        QVERIFY(!ReadCsvFile(dir.path()).bytes);
    }
    // Data columns follow only when the list has data for an effect its entries use.
    void writesDataColumnsWhenTheListHasData()
    {
        const ShotList list = listOf({ { 0, 255, QString() }, { 35, 35, QStringLiteral("Bombe 75") },
            { 40, 36, QStringLiteral("Vulkan") }, { 50, 37, QStringLiteral("Bombe 75") } });
        EffectDataMap data;
        data.insert(QStringLiteral("Bombe 75"), bombeData());
        QCOMPARE(ShotListCsvBytes(list, data),
            QByteArray(
                "\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt;Vorlauf (s);Dauer (s);"
                "Kaliber (mm);NEM (g);Klasse\r\n"
                "1;00:00:00;0;;;;;;;;\r\n"
                "2;00:00:35;35;B;3;Bombe 75;3,2;2,5;75;1234,5;F3\r\n"
                "3;00:00:40;40;B;4;Vulkan;;;;;\r\n"
                "4;00:00:50;50;B;5;Bombe 75;3,2;2,5;75;1234,5;F3\r\n"));
        // Data only for names no entry uses: the bytes of a list without data.
        EffectDataMap unused;
        unused.insert(QStringLiteral("Fontäne"), bombeData());
        QCOMPARE(ShotListCsvBytes(list, unused), ShotListCsvBytes(list));
    }

    void exportThenImportGivesTheDataBack()
    {
        QList<Entry> entries;
        for (int i = 0; i < EntryCount; ++i)
            entries.append({ i * 10, i % 255, QStringLiteral("Effekt %1").arg(i % 40) });
        const ShotList list = listOf(entries);
        EffectDataMap data;
        for (int i = 0; i < 40; i += 2) {
            EffectData effect = bombeData();
            effect.name = QStringLiteral("Effekt %1").arg(i);
            effect.prefireTenths = i;
            effect.effectClass = i % 4 ? std::optional<EffectClass>() : EffectClass::F2;
            data.insert(effect.name, effect);
        }
        const QByteArray bytes = ShotListCsvBytes(list, data);
        const CsvImport imported = ReadShotListCsv(bytes);
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QVERIFY(SameList(*imported.list, list));
        QCOMPARE(imported.effectData, data);
        QCOMPARE(ShotListCsvBytes(*imported.list, imported.effectData), bytes);
    }

    // A designer's spreadsheet: data columns by the names the catalogue import knows.
    void readsDataColumnsOfASpreadsheet()
    {
        const CsvImport imported
            = ReadShotListCsv(QByteArray("Zeit;Modul;Pin;Effekt;Caliber (mm);NEM (kg);Art;Bestand\n"
                                         "5;1;0;Bombe 75;75;1,2345;Bombe;10\n"
                                         "7;1;1;Vulkan;;;;\n"
                                         "9;1;2;Bombe 75;75;1,2345;Bombe;12\n"));
        QCOMPARE(imported.problems, QStringList());
        QCOMPARE(imported.effectData.keys(), QStringList { QStringLiteral("Bombe 75") });
        const EffectData& bombe = imported.effectData.first();
        QCOMPARE(bombe.caliberMm, std::optional<qint32>(75));
        QCOMPARE(bombe.nemTenthsGram, std::optional<qint32>(12345));
        QCOMPARE(bombe.art, std::optional<EffectArt>(EffectArt::Bombe));
        QCOMPARE(bombe.stock, std::optional<qint32>());
        QCOMPARE(
            imported.columns[7].note, QStringLiteral("Bestand gehört in den Katalog, nicht in die Liste"));
    }

    void refusesDataThatDoesNotAgree_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("same name, other data") << QByteArray(
            "Zeit;Modul;Pin;Effekt;Vorlauf (s);Klasse\n1;1;1;A;2,5;F2\n2;1;2;A;2,5;F2\n3;1;3;A;2,0;F2\n"
            "4;1;4;B;1;F3\n5;1;5;A;2,5;F3\n")
                                               << QStringList {
                                                      "Zeile 4: „A“ hat hier andere Daten als in Zeile 2",
                                                      "Zeile 6: „A“ hat hier andere Daten als in Zeile 2"
                                                  };
        QTest::newRow("data without an effect name")
            << QByteArray("Zeit;Modul;Pin;Effekt;NEM (g)\n1;1;1;A;12\n2;1;2;;13\n")
            << QStringList { "Zeile 3: Effektdaten ohne Effektname" };
        QTest::newRow("data and no effect column") << QByteArray("Zeit;Modul;Pin;NEM (g)\n1;1;1;12\n")
                                                   << QStringList { "Zeile 2: Effektdaten ohne Effektname" };
        QTest::newRow("values that cannot be read")
            << QByteArray("Zeit;Modul;Pin;Effekt;Dauer (s);Kaliber\n1;1;1;A;121;75\n2;1;2;B;2;x\n")
            << QStringList { "Zeile 2: Dauer „121“ liegt über 120 s.",
                   "Zeile 3: Kaliber „x“ ist keine Zahl." };
        QTest::newRow("a unit that does not fit")
            << QByteArray("Zeit;Modul;Pin;Effekt;Vorlauf (min)\n1;1;1;A;2\n")
            << QStringList {
                   "Zeile 1: Spalte „Vorlauf (min)“: die Einheit „min“ passt nicht zu Vorlauf (erwartet: s)"
               };
    }
    void refusesDataThatDoesNotAgree()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, problems);
        const CsvImport imported = ReadShotListCsv(bytes);
        QVERIFY(!imported.list);
        QCOMPARE(imported.problems, problems);
        QVERIFY(imported.effectData.isEmpty());
    }
};

KELTO_TEST_MAIN(TestCsvFile)
#include "tst_csv_file.moc"
