#include "music/show_time.h"
#include "music/tapping.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QTest>

class TestShowTime : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Show time = music position + Musikbeginn; a tap goes to the nearest whole second; the clock
    // counts whole seconds, rounded down, also before the start.
    void showTimeTapSecondAndClock_data()
    {
        QTest::addColumn<qint64>("position");
        QTest::addColumn<int>("startTenths");
        QTest::addColumn<qint64>("show");
        QTest::addColumn<qint64>("second");
        QTest::addColumn<QString>("clock");
        QTest::newRow("no start") << qint64(83499) << 0 << qint64(83499) << qint64(83) << "00:01:23";
        QTest::newRow("half up") << qint64(83500) << 0 << qint64(83500) << qint64(84) << "00:01:23";
        QTest::newRow("music before") << qint64(2600) << -30 << qint64(-400) << qint64(0) << "\u221200:00:01";
        QTest::newRow("beyond half before 0")
            << qint64(2499) << -30 << qint64(-501) << qint64(-1) << "\u221200:00:01";
        QTest::newRow("three before") << qint64(0) << -30 << qint64(-3000) << qint64(-3) << "\u221200:00:03";
        QTest::newRow("last second") << qint64(400) << 652790 << qint64(65279400) << qint64(65279)
                                     << "18:07:59";
        QTest::newRow("past the last")
            << qint64(500) << 652790 << qint64(65279500) << qint64(65280) << "18:07:59";
    }
    void showTimeTapSecondAndClock()
    {
        QFETCH(qint64, position);
        QFETCH(int, startTenths);
        QFETCH(qint64, show);
        QFETCH(qint64, second);
        QFETCH(QString, clock);
        QCOMPARE(ShowTimeMs(position, startTenths), show);
        QCOMPARE(MusicPositionMs(show, startTenths), position);
        QCOMPARE(TapSecond(show), second);
        QCOMPARE(ShowClock(show), clock);
    }

    void musicStartAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("tenths");
        QTest::addColumn<QString>("shown");
        using Kind = MusicStartInput::Kind;
        QTest::newRow("comma") << "-3,0" << int(Kind::Exact) << -30 << "-3,0";
        QTest::newRow("point") << "12.5" << int(Kind::Exact) << 125 << "12,5";
        QTest::newRow("minus sign") << "\u22123" << int(Kind::Exact) << -30 << "-3,0";
        QTest::newRow("rounded away from 0") << "-3,25" << int(Kind::Rounded) << -33 << "-3,3";
        QTest::newRow("rounded into a second") << "1,96" << int(Kind::Rounded) << 20 << "2,0";
        QTest::newRow("clamped") << "-70000" << int(Kind::Clamped) << -652790 << "-65279,0";
        QTest::newRow("word") << "drei" << int(Kind::NotANumber) << 0 << "0,0";
        QTest::newRow("two signs") << "--3" << int(Kind::NotANumber) << 0 << "0,0";
        QTest::newRow("German thousands") << "1.000,5" << int(Kind::NotANumber) << 0 << "0,0";
    }
    void musicStartAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(int, kind);
        QFETCH(int, tenths);
        QFETCH(QString, shown);
        const MusicStartInput input = ReadMusicStart(typed);
        QCOMPARE(int(input.kind), kind);
        QCOMPARE(input.tenths, tenths);
        QCOMPARE(MusicStartText(input.tenths), shown);
    }

    void nextFreeCircuit_data()
    {
        QTest::addColumn<QList<int>>("used");
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("next"); // -1: none
        QTest::addColumn<QString>("text");
        QTest::newRow("skips used") << QList<int> { 32 + 5, 32 + 6, 64 + 7 } << 1 << 5 << 7
                                    << "nächster Kreis: B 07";
        QTest::newRow("behind the last entry")
            << QList<int> { 32 + 8 } << 1 << 8 << 9 << "nächster Kreis: B 09";
        QTest::newRow("round to 0") << QList<int> { 31, 0 } << 0 << 31 << 1 << "nächster Kreis: A 01";
        QTest::newRow("H31 is no circuit")
            << QList<int> { 7 * 32 + 30 } << 7 << 30 << 0 << "nächster Kreis: H 00";
        // H n fires B n and C n: a tap must not fire one circuit twice.
        QTest::newRow("B skips what H fires")
            << QList<int> { 7 * 32 + 5 } << 1 << 5 << 6 << "nächster Kreis: B 06";
        QTest::newRow("C skips what H fires")
            << QList<int> { 7 * 32 + 5 } << 2 << 5 << 6 << "nächster Kreis: C 06";
        QTest::newRow("H skips what B fires")
            << QList<int> { 32 + 5 } << 7 << 5 << 6 << "nächster Kreis: H 06";
        QTest::newRow("H skips what C fires")
            << QList<int> { 64 + 7, 7 * 32 + 8 } << 7 << 7 << 9 << "nächster Kreis: H 09";
        QTest::newRow("A is apart from H")
            << QList<int> { 7 * 32 + 5 } << 0 << 5 << 5 << "nächster Kreis: A 05";
        QTest::newRow("H is apart from D") << QList<int> { 3 * 32 + 5 } << 7 << 5 << 5 << "nächster Kreis: H 05";
        QList<int> allOfC;
        for (int n = 0; n < 32; ++n)
            allOfC.append(64 + n);
        QTest::newRow("none left") << allOfC << 2 << 3 << -1 << "kein freier Kreis auf C";
    }
    void nextFreeCircuit()
    {
        QFETCH(QList<int>, used);
        QFETCH(int, device);
        QFETCH(int, from);
        QFETCH(int, next);
        QFETCH(QString, text);
        QList<int> times;
        for (int i = 0; i < used.size(); ++i)
            times.append(i);
        ShotList list = ListWithTimes(times);
        for (int i = 0; i < used.size(); ++i)
            list.circuits[i] = qint16(used[i]);
        list.circuits[used.size()] = qint16(32 + 9); // behind the last entry: not in use
        const std::optional<int> found = NextFreeCircuit(list, int(used.size()), device, from);
        QCOMPARE(found.value_or(-1), next);
        QCOMPARE(NextCircuitText(device, found), text);
    }
};

KELTO_TEST_MAIN(TestShowTime)
#include "tst_show_time.moc"
