#include "music/tapping.h"
#include "shot_list_fixtures.h"
#include "shotlist/list_document.h"
#include "test_main.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Entries at 10, 20, 30 s on B01..B03 with effects, and a circuit left in the empty slot behind them.
ShotList threeEntries()
{
    ShotList list = ListWithTimes({ 10, 20, 30 });
    for (int i = 0; i < 3; ++i) {
        list.circuits[i] = qint16(33 + i);
        list.effects[i] = QStringLiteral("Effekt %1").arg(i + 1);
    }
    list.circuits[3] = 40;
    return list;
}

} // namespace

Q_DECLARE_METATYPE(ShotList)

class TestTapping : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A tap lands in time order, moves the later entries and their effects down by one slot, and is
    // one undo step (the page tries the refusals).
    void tapInsertsInTimeOrder_data()
    {
        QTest::addColumn<ShotList>("list");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<QString>("notice");
        const ShotList three = threeEntries();
        QTest::newRow("between") << three << 25 << 2 << QList<int> { 10, 20, 25, 30 }
                                 << "Eintrag 3 bei 00:00:25 auf C05 getippt.";
        QTest::newRow("first") << three << 0 << 0 << QList<int> { 0, 10, 20, 30 }
                               << "Eintrag 1 bei 00:00:00 auf C05 getippt.";
        QTest::newRow("into an empty list")
            << ListWithTimes({}) << 7 << 0 << QList<int> { 7 } << "Eintrag 1 bei 00:00:07 auf C05 getippt.";
    }
    void tapInsertsInTimeOrder()
    {
        QFETCH(ShotList, list);
        QFETCH(int, second);
        QFETCH(int, row);
        QFETCH(QList<int>, times);
        QFETCH(QString, notice);
        ListDocument document;
        document.reset(list);
        const ShotList before = document.list();
        const int count = document.entryCount();
        int at = -2;
        const std::optional<TapOutcome> result = document.tapEntry(document.revision(), second, 64 + 5, &at);
        QVERIFY(result);
        QCOMPARE(*result, TapOutcome::Added);
        QCOMPARE(at, row);
        QCOMPARE(TapNotice(*result, document.list(), at, second), notice);
        QCOMPARE(document.entryCount(), count + 1);
        QCOMPARE(LeadingTimes(document.list(), document.entryCount()), times);
        QCOMPARE(document.list().circuits[row], qint16(64 + 5));
        QVERIFY(document.list().effects[row].isEmpty());
        // The entries behind keep circuit and effect in their new slot.
        for (int slot = row + 1; slot < document.entryCount(); ++slot) {
            QCOMPARE(document.list().circuits[slot], before.circuits[slot - 1]);
            QCOMPARE(document.list().effects[slot], before.effects[slot - 1]);
        }
        QCOMPARE(document.undoStack().count(), 1);
        QCOMPARE(document.undoStack().undoText(), QStringLiteral("Eintrag %1 getippt").arg(row + 1));
        QCOMPARE(document.undo(), row);
        QVERIFY(SameList(document.list(), before));
    }

    // A mark moves one second at a time, never onto a neighbour's second nor out of 0..18:07:59; its
    // circuit and effect stay with it.
    void moveStopsAtNeighbours_data()
    {
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("notice");
        QTest::newRow("later") << QList<int> { 10, 20, 30 } << 1 << 1 << int(MoveOutcome::Moved)
                               << "Eintrag 2 jetzt bei 00:00:21.";
        QTest::newRow("previous in the way")
            << QList<int> { 19, 20, 30 } << 1 << -1 << int(MoveOutcome::PreviousInTheWay)
            << "Eintrag 2 kann nicht früher: Eintrag 1 liegt bei 00:00:19.";
        QTest::newRow("first before 0") << QList<int> { 0, 20 } << 0 << -1 << int(MoveOutcome::BeforeStart)
                                        << "Eintrag 1 kann nicht vor 00:00:00.";
        QTest::newRow("last after the end") << QList<int> { 0, 65279 } << 1 << 1 << int(MoveOutcome::AfterEnd)
                                            << "Eintrag 2 kann nicht nach 18:07:59.";
        QTest::newRow("no entry") << QList<int> { 0, 20 } << 2 << 1 << int(MoveOutcome::NoEntry) << "";
    }
    void moveStopsAtNeighbours()
    {
        QFETCH(QList<int>, times);
        QFETCH(int, row);
        QFETCH(int, seconds);
        QFETCH(int, outcome);
        QFETCH(QString, notice);
        ShotList list = ListWithTimes(times);
        list.circuits[row] = 33;
        list.effects[row] = QStringLiteral("Kometen rot");
        ListDocument document;
        document.reset(list);
        const ShotList before = document.list();
        const std::optional<MoveOutcome> result = document.moveEntry(document.revision(), row, seconds);
        QVERIFY(result);
        QCOMPARE(int(*result), outcome);
        QCOMPARE(MoveNotice(*result, document.list(), row), notice);
        if (outcome != int(MoveOutcome::Moved)) {
            QVERIFY(SameList(document.list(), before));
            QCOMPARE(document.undoStack().count(), 0);
            return;
        }
        QCOMPARE(document.list().times[row], before.times[row] + seconds);
        QCOMPARE(document.list().circuits[row], qint16(33));
        QCOMPARE(document.list().effects[row], QStringLiteral("Kometen rot"));
        QCOMPARE(document.undoStack().undoText(), QStringLiteral("Eintrag %1 verschieben").arg(row + 1));
        QCOMPARE(document.undo(), row);
        QVERIFY(SameList(document.list(), before));
    }

    // A change the page read from an older list is refused; so is a music path a list file cannot hold.
    void staleTapsAndUnstorableMusicChangeNothing()
    {
        ListDocument document;
        document.reset(threeEntries());
        const quint64 seen = document.revision();
        QVERIFY(document.setMusicStart(seen, -30));
        QSignalSpy changed(&document, &ListDocument::changed);
        QVERIFY(!document.tapEntry(seen, 25, 33));
        QVERIFY(!document.moveEntry(seen, 0, 1));
        QVERIFY(!document.setMusic(document.revision(), QStringLiteral("/musik/Pfeil\u2192.ogg")));
        QVERIFY(!document.setMusic(document.revision(), QStringLiteral("/musik/zwei\nZeilen.ogg")));
        QCOMPARE(changed.count(), 0);
        QVERIFY(document.meta().musicPath.isEmpty());
        QVERIFY(document.setMusic(document.revision(), QStringLiteral("/musik/Überraschung €.ogg")));
    }
};

KELTO_TEST_MAIN(TestTapping)
#include "tst_tapping.moc"
