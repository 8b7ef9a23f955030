#include "files/csv_file.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Times and circuit codes of the leading entries; a slot behind them that is not empty shows as
// { -1, -1 }.
QList<QPair<int, int>> entriesOf(const ShotList& list)
{
    QList<QPair<int, int>> entries;
    int slot = 0;
    for (; slot < SlotCount && list.times[slot] != EmptyTime; ++slot)
        entries.append({ list.times[slot], list.circuits[slot] });
    for (; slot < SlotCount; ++slot) {
        if (list.times[slot] != EmptyTime || list.circuits[slot] != NoCircuit)
            entries.append({ -1, -1 });
    }
    return entries;
}

using Entries = QList<QPair<int, int>>;

QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return bytes;
}

ShotList listOf(const Entries& entries)
{
    ShotList list = ShotList::startup();
    list.times[0] = EmptyTime;
    for (int i = 0; i < entries.size(); ++i) {
        list.times[i] = entries[i].first;
        list.circuits[i] = qint16(entries[i].second);
    }
    return list;
}

} // namespace

class TestCsvFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesSemicolonsCrLfUtf8WithBom()
    {
        // 0 s without circuit, B03 at 35 s, H30 at 1 h, G31 at the last second.
        const ShotList list = listOf({ { 0, 255 }, { 35, 35 }, { 3600, 254 }, { 65279, 223 } });
        QCOMPARE(ShotListCsvBytes(list),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis\r\n"
                       "1;00:00:00;0;;\r\n"
                       "2;00:00:35;35;B;3\r\n"
                       "3;01:00:00;3600;H;30\r\n"
                       "4;18:07:59;65279;G;31\r\n"));
    }

    void writesOnlyTheEntriesOfTheNormalisedList()
    {
        ShotList list = ListWithTimes({ 10, 10, 65535, 30 });
        list.circuits[1] = 0;
        QCOMPARE(ShotListCsvBytes(list),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis\r\n"
                       "1;00:00:10;10;;\r\n2;00:00:11;11;A;0\r\n"));
        QCOMPARE(ShotListCsvBytes(ListWithTimes({ 65535 })),
            QByteArray("\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis\r\n"));
    }

    void exportThenImportGivesTheSameEntries_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::newRow("start-up list") << Entries { { 0, 255 } };
        QTest::newRow("no entries") << Entries {};
        QTest::newRow("mixed") << Entries { { 0, 255 }, { 35, 35 }, { 3600, 254 }, { 65279, 223 } };
        Entries full;
        for (int i = 0; i < EntryCount; ++i)
            full.append({ i * 383, (i * 37) % 255 });
        QTest::newRow("full, every device") << full;
    }
    void exportThenImportGivesTheSameEntries()
    {
        QFETCH(Entries, entries);
        const CsvImport imported = ReadShotListCsv(ShotListCsvBytes(listOf(entries)));
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), entries);
    }

    void readsWhatSpreadsheetsWrite_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Entries>("entries");
        const Entries b3 { { 35, 35 } };
        const QString plain = QStringLiteral("Zeit;Zündgerät;Kreis\r\n35;B;3\r\n");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + plain.toUtf8() << b3;
        QTest::newRow("UTF-8 without BOM") << plain.toUtf8() << b3;
        QTest::newRow("UTF-16 LE") << utf16(plain, false) << b3;
        QTest::newRow("UTF-16 BE") << utf16(plain, true) << b3;
        QTest::newRow("Windows-1252") << QByteArray("Z\xFCndger\xE4t;Zeit;Kreis\r\nB;35;3\r\n") << b3;
        QTest::newRow("comma") << QByteArray("Time,Device,Circuit\n35,B,3\n") << b3;
        QTest::newRow("tab") << QByteArray("Time\tDevice\tCircuit\r35\tB\t3\r") << b3;
        QTest::newRow("quoted, padded")
            << QByteArray("\"Event Time\", \"Module\" , \"Pin\"\r\n \"35\" , \"b\" , \" 3 \"\r\n") << b3;
        QTest::newRow("quoted delimiter, doubled quote, line break")
            << QByteArray("Name,Zeit,Modul,Kanal\r\n\"Bombe, \"\"rot\"\"\r\n10 cm\",35,2,3\r\n") << b3;
        QTest::newRow("no line end at the end") << QByteArray("Zeit;Gerät;Kreis\n35;B;3") << b3;
        QTest::newRow("empty lines and separator-only lines skipped")
            << QByteArray("\r\n;;\r\nZeit;Gerät;Kreis\r\n\r\n;;\r\n35;B;3\r\n\r\n") << b3;
        QTest::newRow("case and accents, first of two time columns")
            << QByteArray("ZEIT;sekunden;ZUNDGERAT;zündkreis\n0:35;99;B;3\n") << b3;
        QTest::newRow("other columns ignored")
            << QByteArray("Nr;Effekt;Ignition Time;Kaliber;Device;Channel\n1;Vulkan;35;75;2;3\n") << b3;
        QTest::newRow("no device and circuit columns")
            << QByteArray("Sekunden\n35\n") << Entries { { 35, 255 } };
        QTest::newRow("decimal comma between semicolons") << QByteArray("Zeit;Gerät;Kreis\n35,4;B;3\n") << b3;
        QTest::newRow("semicolon wins a tie")
            << QByteArray("Zeit;Gerät,Kreis\n35;B,3\n") << Entries { { 35, 255 } };
        QTest::newRow("sorted by time") << QByteArray("Zeit;Gerät;Kreis\n90;A;0\n35;B;3\n60;;\n")
                                        << Entries { { 35, 35 }, { 60, 255 }, { 90, 0 } };
    }
    void readsWhatSpreadsheetsWrite()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Entries, entries);
        const CsvImport imported = ReadShotListCsv(bytes);
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), entries);
    }

    void readsTimesAndDevices_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("circuit");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("code");
        QTest::newRow("seconds") << "35"
                                 << "B"
                                 << "3" << 35 << 35;
        QTest::newRow("point fraction below half") << "35.49"
                                                   << "B"
                                                   << "3" << 35 << 35;
        QTest::newRow("comma fraction, half up") << "\"35,5\""
                                                 << "B"
                                                 << "3" << 36 << 35;
        QTest::newRow("m:ss") << "1:05"
                              << "A"
                              << "0" << 65 << 0;
        QTest::newRow("m:ss beyond an hour") << "75:00"
                                             << "A"
                                             << "0" << 4500 << 0;
        QTest::newRow("m:ss with fraction") << "0:59.5"
                                            << "A"
                                            << "0" << 60 << 0;
        QTest::newRow("h:mm:ss") << "01:02:03"
                                 << "A"
                                 << "0" << 3723 << 0;
        QTest::newRow("last second") << "18:07:59.4"
                                     << "A"
                                     << "0" << 65279 << 0;
        QTest::newRow("leading zeros") << "0035"
                                       << "B"
                                       << "03" << 35 << 35;
        QTest::newRow("device as number") << "5"
                                          << "8"
                                          << "30" << 5 << 254;
        QTest::newRow("device 1 is A") << "5"
                                       << "1"
                                       << "31" << 5 << 31;
        QTest::newRow("lower-case letter") << "5"
                                           << "g"
                                           << "31" << 5 << 223;
        QTest::newRow("no circuit") << "5"
                                    << ""
                                    << "" << 5 << 255;
    }
    void readsTimesAndDevices()
    {
        QFETCH(QString, time);
        QFETCH(QString, device);
        QFETCH(QString, circuit);
        QFETCH(int, seconds);
        QFETCH(int, code);
        const QString text = QStringLiteral("Zeit,Gerät,Kreis\n%1,%2,%3\n").arg(time, device, circuit);
        const CsvImport imported = ReadShotListCsv(text.toUtf8());
        QCOMPARE(imported.problems, QStringList());
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), (Entries { { seconds, code } }));
    }

    void refusesWithEveryBadLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("problems");
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
                          "99999999999999999999;A;4\r\n")
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
               };
        QTest::newRow("same second, counted after rounding")
            << QByteArray("Zeit;Gerät;Kreis\n10;A;0\n\n35;A;1\n34.5;A;2\n0:35;A;3\n")
            << QStringList {
                   "Zeile 4: zwei Schüsse in derselben Sekunde 00:00:35 (auch Zeile 5, 6)",
                   "Zeile 5: zwei Schüsse in derselben Sekunde 00:00:35 (auch Zeile 4, 6)",
                   "Zeile 6: zwei Schüsse in derselben Sekunde 00:00:35 (auch Zeile 4, 5)",
               };
        QByteArray tooMany = "Sekunden\r\n";
        for (int i = 0; i < 172; ++i)
            tooMany += QByteArray::number(i) + "\r\n";
        QTest::newRow("more than 170 shots")
            << tooMany << QStringList { "Zeile 172: mehr als 170 Schüsse (die Datei hat 172)" };
        QTest::newRow("no time column")
            << QByteArray("\r\nNr;Gerät;Kreis\r\n1;A;0\r\n")
            << QStringList {
                   "Zeile 2: keine Spalte für die Zeit (erwartet \"Zeit\", \"Time\", \"Event Time\", "
                   "\"Ignition Time\", \"Sekunden\" oder \"Seconds\")"
               };
        QTest::newRow("device column without circuit column") << QByteArray(
            "Zeit;Device\n1;A\n") << QStringList { "Zeile 1: Spalte \"Device\" ohne Spalte für den Kreis" };
        QTest::newRow("circuit column without device column") << QByteArray(
            "Zeit;Pin\n1;3\n") << QStringList { "Zeile 1: Spalte \"Pin\" ohne Spalte für das Zündgerät" };
        QTest::newRow("unclosed quote") << QByteArray("Zeit;Gerät;Kreis\n1;A;0\n2;\"A;1\n3;A;2\n")
                                        << QStringList { "Zeile 3: Anführungszeichen nicht geschlossen" };
        QTest::newRow("empty file") << QByteArray() << QStringList { "Die Datei enthält keine Kopfzeile." };
        QTest::newRow("only blank lines")
            << QByteArray("\r\n ; \r\n") << QStringList { "Die Datei enthält keine Kopfzeile." };
        QTest::newRow("broken UTF-16") << QByteArray("\xFF\xFE"
                                                     "Z\0"
                                                     "e",
            5) << QStringList { "Die Datei ist kein gültiger Unicode-Text." };
        QTest::newRow("too large") << QByteArray(MaxCsvBytes + 1, '\n')
                                   << QStringList { "Die Datei ist größer als 4 MB." };
    }
    void refusesWithEveryBadLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, problems);
        const CsvImport imported = ReadShotListCsv(bytes);
        QVERIFY(!imported.list);
        QCOMPARE(imported.problems, problems);
    }

    void longReportIsCutWithACount()
    {
        QByteArray bytes = "Zeit\n";
        for (int i = 0; i < 5000; ++i)
            bytes += "x\n";
        const CsvImport imported = ReadShotListCsv(bytes);
        QVERIFY(!imported.list);
        QCOMPARE(imported.problems.size(), MaxCsvProblems + 1);
        QCOMPARE(imported.problems.first(), QStringLiteral("Zeile 2: Zeit \"x\" nicht lesbar"));
        QCOMPARE(imported.problems.last(), QStringLiteral("… und 4801 weitere Fehler"));
    }

    void readsAndWritesFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("show.csv"));
        const ShotList list = listOf({ { 0, 255 }, { 35, 35 } });
        QString error;
        QVERIFY(WriteShotListCsv(path, list, &error));
        const CsvImport imported = ReadShotListCsv(path);
        QVERIFY(imported.list);
        QCOMPARE(entriesOf(*imported.list), (Entries { { 0, 255 }, { 35, 35 } }));

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
    }
};

KELTO_TEST_MAIN(TestCsvFile)
#include "tst_csv_file.moc"
