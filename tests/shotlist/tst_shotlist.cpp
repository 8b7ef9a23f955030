#include "shot_list_fixtures.h"
#include "shotlist/list_views.h"
#include "shotlist/shot_list.h"
#include "test_main.h"

#include <QTest>

class TestShotList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formatClock_data()
    {
        QTest::addColumn<qint32>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "00:00:00";
        QTest::newRow("59") << 59 << "00:00:59";
        QTest::newRow("3599") << 3599 << "00:59:59";
        QTest::newRow("3600") << 3600 << "01:00:00";
        QTest::newRow("last valid") << 65279 << "18:07:59";
        QTest::newRow("first empty") << 65280 << "--:--:--";
        QTest::newRow("empty") << 65535 << "--:--:--";
        QTest::newRow("raised") << 65536 << "--:--:--";
    }
    void formatClock()
    {
        QFETCH(qint32, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatClock(seconds), text);
    }

    void hexFields_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("Hex2 0") << "Hex2" << qint64(0) << "00";
        QTest::newRow("Hex2 10") << "Hex2" << qint64(10) << "0A";
        QTest::newRow("Hex2 255") << "Hex2" << qint64(255) << "FF";
        QTest::newRow("Hex2 low byte") << "Hex2" << qint64(256 + 0x3C) << "3C";
        QTest::newRow("Hex4 300") << "Hex4" << qint64(300) << "012C";
        QTest::newRow("Hex4 65535") << "Hex4" << qint64(65535) << "FFFF";
        QTest::newRow("Hex4 65536") << "Hex4" << qint64(65536) << "0000";
        QTest::newRow("Hex4 negative") << "Hex4" << qint64(-1) << "FFFF";
        QTest::newRow("CircuitLabel 0") << "CircuitLabel" << qint64(0) << "A00";
        QTest::newRow("CircuitLabel 31") << "CircuitLabel" << qint64(31) << "A31";
        QTest::newRow("CircuitLabel 32") << "CircuitLabel" << qint64(32) << "B00";
        QTest::newRow("CircuitLabel 37") << "CircuitLabel" << qint64(37) << "B05";
        QTest::newRow("CircuitLabel 223") << "CircuitLabel" << qint64(223) << "G31";
        QTest::newRow("CircuitLabel 224") << "CircuitLabel" << qint64(224) << "H00";
        QTest::newRow("CircuitLabel 254") << "CircuitLabel" << qint64(254) << "H30";
    }
    void hexFields()
    {
        QFETCH(QString, function);
        QFETCH(qint64, value);
        QFETCH(QString, text);
        if (function == "Hex2")
            QCOMPARE(Hex2(value), text);
        else if (function == "Hex4")
            QCOMPARE(Hex4(value), text);
        else
            QCOMPARE(CircuitLabel(qint16(value)), text);
    }

    void hexValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("FFFF") << "FFFF" << qint64(65535);
        QTest::newRow("lower case") << "00ff" << qint64(255);
        QTest::newRow("1A") << "1A" << qint64(26);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("blank counts 0") << "1 2" << qint64(0x102);
        QTest::newRow("letters beyond F count 0") << "G1zZ" << qint64(0x100);
        QTest::newRow("minus counts 0") << "-1" << qint64(1);
    }
    void hexValue()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(HexValue(text), value);
    }

    void normalizeList_data()
    {
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("equal and falling pushed on")
            << QList<int> { 0, 5, 5, 3 } << QList<int> { 0, 5, 6, 7, 65535 };
        QTest::newRow("valid behind empty raised")
            << QList<int> { 0, 10, 65535, 20, 30 } << QList<int> { 0, 10, 65535, 65536, 65537, 65535 };
        QTest::newRow("65280 emptied, 65279 kept")
            << QList<int> { 0, 65279, 65280 } << QList<int> { 0, 65279, 65535, 65535 };
        QTest::newRow("slot 0 empty empties the list")
            << QList<int> { 65280, 5 } << QList<int> { 65280, 65281, 65535 };
        QTest::newRow("slot 0 later than slot 1") << QList<int> { 100, 50 } << QList<int> { 100, 101, 65535 };
    }
    void normalizeList()
    {
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        ShotList list = ListWithTimes(before);
        NormalizeList(list);
        QCOMPARE(LeadingTimes(list, int(after.size())), after);
        QCOMPARE(list.times[SentinelSlot], EmptyTime);
        QCOMPARE(list.circuits[SentinelSlot], NoCircuit);
    }

    void secondNormalizationEmptiesRaisedTimesAndKeepsCircuits()
    {
        ShotList list = ListWithTimes({ 0, 10, 65535, 20 });
        list.circuits[3] = 37;
        list.times[SentinelSlot] = 12;
        list.circuits[SentinelSlot] = 3;
        NormalizeList(list);
        NormalizeList(list);
        QCOMPARE(LeadingTimes(list, 4), (QList<int> { 0, 10, 65535, 65535 }));
        QCOMPARE(list.circuits[3], qint16(37));
        QCOMPARE(list.times[SentinelSlot], EmptyTime);
        QCOMPARE(list.circuits[SentinelSlot], NoCircuit);
    }

    // An effect ends the List2 line after two blanks; List1, the list as the device gets it, has none.
    void listLines_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("list1");
        QTest::addColumn<QString>("list2");
        QTest::newRow("no circuit") << 0 << ""
                                    << "001  00:00:00  ---"
                                    << "001  00:00:00 (090 s)  ---  ";
        QTest::newRow("B05") << 1 << ""
                             << "002  00:01:30  B05"
                             << "002  00:01:30 (010 s)  B05";
        QTest::newRow("last entry") << 2 << ""
                                    << "003  00:01:40  A00"
                                    << "003  00:01:40 (000 s)  A00";
        QTest::newRow("empty slot") << 3 << ""
                                    << "004  --:--:--  ---"
                                    << "004  --:--:-- (000 s)  ---  ";
        QTest::newRow("empty with circuit") << 5 << ""
                                            << "006  --:--:--  B05"
                                            << "006  --:--:-- (000 s)  B05";
        QTest::newRow("thousand seconds") << 7 << ""
                                          << "008  00:00:00  H00"
                                          << "008  00:00:00 (1000 s)  H00";
        QTest::newRow("last slot") << 169 << ""
                                   << "170  18:07:59  ---"
                                   << "170  18:07:59 (000 s)  ---  ";
        QTest::newRow("effect without circuit") << 0 << "Vulkan"
                                                << "001  00:00:00  ---"
                                                << "001  00:00:00 (090 s)  ---    Vulkan";
        QTest::newRow("effect with circuit") << 1 << "Kometen rot 50 mm"
                                             << "002  00:01:30  B05"
                                             << "002  00:01:30 (010 s)  B05  Kometen rot 50 mm";
        QTest::newRow("effect on an empty slot with circuit") << 5 << "Bombe 75 mm"
                                                              << "006  --:--:--  B05"
                                                              << "006  --:--:-- (000 s)  B05  Bombe 75 mm";
        QTest::newRow("effect behind a long gap") << 7 << "€ 1000"
                                                  << "008  00:00:00  H00"
                                                  << "008  00:00:00 (1000 s)  H00  € 1000";
    }
    void listLines()
    {
        QFETCH(int, slot);
        QFETCH(QString, effect);
        QFETCH(QString, list1);
        QFETCH(QString, list2);
        ShotList list = ListWithTimes({ 0, 90, 100 });
        list.circuits[1] = 37;
        list.circuits[2] = 0;
        list.circuits[5] = 37;
        // Unnormalised on purpose: slot 7 at 0 s and slot 8 at 1000 s.
        list.times[7] = 0;
        list.times[8] = 1000;
        list.circuits[7] = 224;
        list.times[169] = 65279;
        list.effects[slot] = effect;
        QCOMPARE(List1Line(list, slot), list1);
        QCOMPARE(List2Line(list, slot), list2);
    }

    void statistics_data()
    {
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<bool>("emptyView");
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("text");
        QTest::newRow("start-up")
            << QList<int> { 0 } << false << 1
            << "Anzahl Einträge: 170\r\nAnzahl Schüsse: 1\r\nZeitdauer : 00:00:00\r\nnoch frei: 169";
        QTest::newRow("three entries")
            << QList<int> { 0, 90, 100 } << false << 3
            << "Anzahl Einträge: 170\r\nAnzahl Schüsse: 3\r\nZeitdauer : 00:01:40\r\nnoch frei: 167";
        QTest::newRow("slot 0 empty")
            << QList<int> { 65535 } << false << 0
            << "Anzahl Einträge: 170\r\nAnzahl Schüsse: 0\r\nZeitdauer : \r\nnoch frei: 170";
        QTest::newRow("view emptied")
            << QList<int> { 0 } << true << 0
            << "Anzahl Einträge: 0\r\nAnzahl Schüsse: 0\r\nZeitdauer : \r\nnoch frei: 170";
        QList<int> full;
        for (int i = 0; i < EntryCount; ++i)
            full.append(i * 10);
        QTest::newRow("full")
            << full << false << 170
            << "Anzahl Einträge: 170\r\nAnzahl Schüsse: 170\r\nZeitdauer : 00:28:10\r\nnoch frei: 0";
    }
    void statistics()
    {
        QFETCH(QList<int>, times);
        QFETCH(bool, emptyView);
        QFETCH(int, entries);
        QFETCH(QString, text);
        ShotList list = ListWithTimes(times);
        NormalizeList(list);
        const Statistics stats = ComputeStatistics(emptyView ? QStringList() : List1Lines(list));
        QCOMPARE(stats.entries, entries);
        QCOMPARE(stats.text, text);
    }

    void fullListEndsWithZeroDuration()
    {
        ShotList list = ListWithTimes({});
        for (int i = 0; i < EntryCount; ++i)
            list.times[i] = i;
        NormalizeList(list);
        QCOMPARE(DurationToNext(list, 168), 1);
        QCOMPARE(DurationToNext(list, 169), 0);
    }
};

KELTO_TEST_MAIN(TestShotList)
#include "tst_shotlist.moc"
