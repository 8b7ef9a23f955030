#include "shot_list_fixtures.h"
#include "shotlist/duplicates.h"
#include "test_main.h"

#include <QTest>

namespace {

// Entries at 0, 10, 20, ... with the given circuit labels ("" for none).
ShotList listWithCircuits(const QStringList& labels)
{
    QList<int> times;
    for (int i = 0; i < labels.size(); ++i)
        times.append(10 * i);
    ShotList list = ListWithTimes(times);
    for (int i = 0; i < labels.size(); ++i) {
        const QString& label = labels[i];
        list.circuits[i]
            = label.isEmpty() ? NoCircuit : qint16((label[0].unicode() - 'A') * 32 + label.mid(1).toInt());
    }
    return list;
}

} // namespace

class TestDuplicates : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsCircuitsFiredTwice_data()
    {
        QTest::addColumn<QStringList>("circuits");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("marked");
        QTest::newRow("none") << QStringList { "B05", "B06", "C05", "" } << QString() << QList<int> {};
        QTest::newRow("no circuit twice") << QStringList { "", "", "A00" } << QString() << QList<int> {};
        QTest::newRow("same code") << QStringList { "B05", "A01", "B05" }
                                   << "Doppelt belegt: B05 (Nr. 1 und Nr. 3)" << QList<int> { 0, 2 };
        QTest::newRow("H against B") << QStringList { "B05", "H05" }
                                     << "Doppelt belegt: B05 (Nr. 1 und Nr. 2 über H05)"
                                     << QList<int> { 0, 1 };
        QTest::newRow("H against C") << QStringList { "H07", "A07", "C07" }
                                     << "Doppelt belegt: C07 (Nr. 1 über H07 und Nr. 3)"
                                     << QList<int> { 0, 2 };
        QTest::newRow("H against B and C")
            << QStringList { "B05", "C05", "H05" }
            << "Doppelt belegt: B05 (Nr. 1 und Nr. 3 über H05); C05 (Nr. 2 und Nr. 3 über H05)"
            << QList<int> { 0, 1, 2 };
        QTest::newRow("H twice alone")
            << QStringList { "H03", "H03" } << "Doppelt belegt: H03 (Nr. 1 und Nr. 2)" << QList<int> { 0, 1 };
        QTest::newRow("H not against A or D")
            << QStringList { "A05", "D05", "H05" } << QString() << QList<int> {};
        QTest::newRow("two groups") << QStringList { "A00", "G31", "A00", "G31", "A00" }
                                    << "Doppelt belegt: A00 (Nr. 1, Nr. 3 und Nr. 5); G31 (Nr. 2 und Nr. 4)"
                                    << QList<int> { 0, 1, 2, 3, 4 };
    }
    void findsCircuitsFiredTwice()
    {
        QFETCH(QStringList, circuits);
        QFETCH(QString, text);
        QFETCH(QList<int>, marked);
        const QList<DuplicateCircuit> groups = FindDuplicateCircuits(listWithCircuits(circuits));
        QCOMPARE(DuplicateText(groups), text);
        QCOMPARE(DuplicateSlots(groups), marked);
    }

    void emptySlotsFireNothing()
    {
        ShotList list = listWithCircuits({ "B05", "C01" });
        list.circuits[5] = list.circuits[0]; // an empty slot keeps its circuit code
        list.circuits[SentinelSlot] = list.circuits[0];
        QVERIFY(FindDuplicateCircuits(list).isEmpty());
        QCOMPARE(CountEntries(list), 2);
    }
};

KELTO_TEST_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
