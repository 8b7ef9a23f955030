#include "shot_list_fixtures.h"
#include "shotlist/duplicates.h"
#include "shotlist/editor_rules.h"
#include "shotlist/field_number.h"
#include "test_main.h"

#include <QTest>

#include <limits>

namespace {

using Times = QList<int>;
constexpr int E = EmptyTime;
constexpr double Max = std::numeric_limits<double>::max();

int entriesOf(const Times& times)
{
    int n = 0;
    while (n < times.size() && times[n] <= LastValidTime)
        ++n;
    return n;
}

} // namespace

class TestEditorRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("found"); // a number the user typed, not the 0 of a text without one
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("no digits") << "Zeit" << 0.0 << false;
        QTest::newRow("whole") << "12" << 12.0 << true;
        QTest::newRow("blanks, tabs, line feeds inside") << "1 \t2\n3" << 123.0 << true;
        QTest::newRow("carriage return ends") << "\r5" << 0.0 << false;
        QTest::newRow("minus") << "-4" << -4.0 << true;
        QTest::newRow("plus") << "+7" << 7.0 << true;
        QTest::newRow("sign alone") << "-" << 0.0 << false;
        QTest::newRow("point") << "2.5" << 2.5 << true;
        QTest::newRow("comma ends") << "2,5" << 2.0 << true;
        QTest::newRow("minus point first") << "-.5" << -0.5 << true;
        QTest::newRow("point alone") << "." << 0.0 << false;
        QTest::newRow("second point ends") << "1.2.3" << 1.2 << true;
        QTest::newRow("tail ignored") << "12abc" << 12.0 << true;
        QTest::newRow("exponent upper negative") << "1E-2" << 0.01 << true;
        QTest::newRow("exponent d plus") << "1d+2" << 100.0 << true;
        QTest::newRow("exponent with blanks") << "1 e 2" << 100.0 << true;
        QTest::newRow("exponent without digits") << "1e" << 1.0 << true;
        QTest::newRow("exponent sign without digits") << "1e+x" << 1.0 << true;
        QTest::newRow("exponent without mantissa") << "e5" << 0.0 << false;
        QTest::newRow("hexadecimal lower case") << "&hff" << 255.0 << true;
        QTest::newRow("hexadecimal with blanks") << "& H 1 F" << 31.0 << true;
        QTest::newRow("hexadecimal stops") << "&H1G" << 1.0 << true;
        QTest::newRow("hexadecimal without digits") << "&H" << 0.0 << false;
        QTest::newRow("octal stops at 8") << "&o78" << 7.0 << true;
        QTest::newRow("ampersand alone") << "&12" << 0.0 << false;
        QTest::newRow("sign before ampersand") << "-&H10" << 0.0 << false;
        QTest::newRow("overflow") << "1e999" << Max << true;
        QTest::newRow("underflow") << "1e-999" << 0.0 << true;
        QTest::newRow("long hexadecimal")
            << QStringLiteral("&H") + QString(300, QLatin1Char('F')) << Max << true;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, found);
        QCOMPARE(LeadingNumber(text), value);
        QCOMPARE(HasLeadingNumber(text), found);
    }

    void canonicalText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << "C" << -4.0 << "-4";
        QTest::newRow("minus zero") << "C" << -0.0 << "0";
        QTest::newRow("fraction") << "C" << 2.5 << "2.5";
        QTest::newRow("fraction German") << "de_DE" << 2.5 << "2,5";
        QTest::newRow("whole German without grouping") << "de_DE" << 1234567.0 << "1234567";
        QTest::newRow("whole in a locale with other digits") << "ar_EG" << 42.0 << "42";
        QTest::newRow("15 significant digits") << "C" << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("binary noise dropped") << "C" << 0.1 + 0.2 << "0.3";
        QTest::newRow("large") << "C" << 1e20 << "1E+20";
        QTest::newRow("large rounded") << "C" << 123456789012345678.0 << "1.23456789012346E+17";
        QTest::newRow("small German") << "de_DE" << 0.00001 << "1E-05";
    }
    void canonicalText()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(CanonicalText(value, QLocale(locale)), text);
    }

    // The value is what the canonical text denotes, the same in every locale.
    void fieldValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("comma") << "2,5" << 2.0;
        QTest::newRow("beyond 15 digits") << "0.1234567890123456789" << 0.123456789012346;
        QTest::newRow("largest") << "1e999" << Max;
    }
    void fieldValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(FieldValue(text), value);
        QCOMPARE(CanonicalValue(FieldValue(text)), value);
    }

    void roundHalfEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("whole");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("2.4") << 2.4 << 2;
        QTest::newRow("too large") << 1e20 << std::numeric_limits<int>::max();
        QTest::newRow("too small") << -1e20 << std::numeric_limits<int>::min();
    }
    void roundHalfEven()
    {
        QFETCH(double, value);
        QFETCH(int, whole);
        QCOMPARE(RoundHalfEven(value), whole);
    }

    // Only a loaded or received list can hold a gap the fields cannot be typed to.
    void gapAbove999IsShownWhole()
    {
        const ShotList list = ListWithTimes({ 0, 5000 });
        QCOMPARE(SinceValue(list, 1), 5000);
        QCOMPARE(UntilValue(list, 0), 5000);
    }

    void timeRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<Times>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("saved");
        QTest::addColumn<Times>("after");

        // The window covers the edits of a selected line; these are the cases it never produces.
        const Times four { 0, 10, 20, 30, E, E };
        QTest::newRow("since without line") << "since" << four << -1 << 5.0 << 10.0 << four;
        QTest::newRow("until on empty line nothing") << "until" << four << 5 << 7.0 << 0.0 << four;
        QTest::newRow("delete rest of last entry") << "delete" << four << 3 << 0.0 << 0.0 << four;
        QTest::newRow("delete rest on empty line") << "delete" << four << 5 << 0.0 << 0.0 << four;
    }
    void timeRules()
    {
        QFETCH(QString, rule);
        QFETCH(Times, before);
        QFETCH(int, row);
        QFETCH(double, value);
        QFETCH(double, saved);
        QFETCH(Times, after);
        ShotList list = ListWithTimes(before);
        for (int i = 0; i < SlotCount; ++i)
            list.circuits[i] = qint16(i);
        const int count = entriesOf(before);
        if (rule == "since")
            ApplySince(list, row, count, value, saved);
        else if (rule == "until")
            ApplyUntil(list, row, count, value, saved);
        else
            DeleteRest(list, row, count);
        QCOMPARE(LeadingTimes(list, after.size()), after);
        for (int i = 0; i < SlotCount; ++i) {
            const bool deleted = rule == "delete" && i > row && i <= count;
            QCOMPARE(list.circuits[i], deleted ? NoCircuit : qint16(i));
        }
    }

    // An entry a gap pushes past 18:07:59 is deleted with its circuit and effect; an entry appended on
    // its slot later brings none of them back. The circuit waiting behind the list stays.
    void entriesPushedPastTheEndLoseCircuitAndEffect_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<int>("row");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("saved");
        QTest::addColumn<int>("left");
        QTest::newRow("until moves the rest") << "until" << 0 << 300.0 << 10.0 << 2;
        QTest::newRow("since moves the entry and the rest") << "since" << 3 << 999.0 << 270.0 << 3;
        QTest::newRow("nothing pushed out") << "until" << 0 << 11.0 << 10.0 << 4;
    }
    void entriesPushedPastTheEndLoseCircuitAndEffect()
    {
        QFETCH(QString, rule);
        QFETCH(int, row);
        QFETCH(double, value);
        QFETCH(double, saved);
        QFETCH(int, left);
        ShotList list = ListWithTimes({ 0, 10, 65000, 65270 });
        for (int i = 0; i < 4; ++i) {
            list.circuits[i] = qint16(32 + i);
            list.effects[i] = QStringLiteral("Bombe 150 mm");
        }
        list.circuits[4] = 64 + 20; // waits for the next entry
        if (rule == "until")
            ApplyUntil(list, row, 4, value, saved);
        else
            ApplySince(list, row, 4, value, saved);
        NormalizeList(list);
        QCOMPARE(CountEntries(list), left);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(list.circuits[i], i < left ? qint16(32 + i) : NoCircuit);
            QCOMPARE(list.effects[i], i < left ? QStringLiteral("Bombe 150 mm") : QString());
        }
        QCOMPARE(list.circuits[4], qint16(64 + 20));
        if (left < 4) {
            ApplyUntil(list, left - 1, left, 5, 0);
            QCOMPARE(CountEntries(list), left + 1);
            QCOMPARE(list.circuits[left], NoCircuit);
            QVERIFY(list.effects[left].isEmpty());
        }
    }

    void deleteRestOnFullListClearsSentinel()
    {
        Times full;
        for (int i = 0; i < EntryCount; ++i)
            full.append(i * 10);
        ShotList list = ListWithTimes(full);
        list.times[SentinelSlot] = 1710;
        list.circuits[SentinelSlot] = 5;
        DeleteRest(list, 169, EntryCount);
        QCOMPARE(list.times[SentinelSlot], EmptyTime);
        QCOMPARE(list.circuits[SentinelSlot], NoCircuit);
        QCOMPARE(list.times[169], 1690);
    }

    // The window's rows cover the codes; here what it cannot reach: no line, no device.
    void circuitRuleNeedsLineAndDevice_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("device");
        QTest::newRow("no device chosen") << 0 << -1;
        QTest::newRow("device beyond H") << 0 << 8;
        QTest::newRow("no line") << -1 << 0;
        QTest::newRow("sentinel is no line") << 170 << 0;
    }
    void circuitRuleNeedsLineAndDevice()
    {
        QFETCH(int, row);
        QFETCH(int, device);
        ShotList list = ShotList::startup();
        list.circuits[0] = 17;
        ApplyCircuit(list, row, device, 3);
        QCOMPARE(list.circuits[0], qint16(17));
        for (int i = 1; i < SlotCount; ++i)
            QCOMPARE(list.circuits[i], NoCircuit);
    }
};

KELTO_TEST_MAIN(TestEditorRules)
#include "tst_editor_rules.moc"
