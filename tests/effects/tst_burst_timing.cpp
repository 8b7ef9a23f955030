#include "effects/burst_timing.h"
#include "effects/list_effect_data.h"
#include "file_bytes.h"
#include "files/list_file.h"
#include "shotlist/list_document.h"
#include "test_main.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Shot {
    qint32 second;
    QString effect;
    qint32 target = NoTarget; // music ms
};

ShotList listOf(const QList<Shot>& shots)
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < shots.size(); ++i) {
        list.times[i] = shots[i].second;
        list.circuits[i] = qint16(i);
        list.effects[i] = shots[i].effect;
        list.targets[i] = shots[i].target;
    }
    return list;
}

EffectData timed(const QString& name, std::optional<qint32> prefire, std::optional<qint32> duration)
{
    EffectData data;
    data.name = name;
    data.prefireTenths = prefire;
    data.durationTenths = duration;
    return data;
}

// Shell: 3,2 s to the burst, 2,5 s in the sky; comet: 0,5 s and 2,0 s; fountain: no data.
const EffectDataMap Data { { QStringLiteral("Bombe"), timed(QStringLiteral("Bombe"), 32, 25) },
    { QStringLiteral("Komet"), timed(QStringLiteral("Komet"), 5, 20) },
    { QStringLiteral("Leer"), timed(QStringLiteral("Leer"), {}, 40) } };

} // namespace

Q_DECLARE_METATYPE(QList<Shot>)

class TestBurstTiming : public QObject {
    Q_OBJECT

private slots:
    void marksSitWhereTheAudienceSeesThem();
    void findsDeadAir_data();
    void findsDeadAir();
    void summarisesDeviation();
    void alignsAndNamesCollisions_data();
    void alignsAndNamesCollisions();
    void bestMusicStartIsTheTrueOptimum();
    void bestMusicStartOnCollisionFreeShows();
    void tappedEffectIsOneStepWithItsTarget();
    void handMadeChangeKeepsTheTarget();
    void targetsTravelInTheListFile();
    void badTargetKeysAreRefused_data();
    void badTargetKeysAreRefused();
};

void TestBurstTiming::marksSitWhereTheAudienceSeesThem()
{
    const ShotList list = listOf({ { 10, "Bombe", 9000 }, { 12, "Komet" }, { 15, "Fontäne" }, { 20, "Leer" } });
    const QList<SkyMark> marks = SkyMarks(list, 4, Data, 10); // music starts at 1,0 s
    QCOMPARE(marks.size(), 4);
    QCOMPARE(marks[0].seenMs(), 13200);
    QCOMPARE(marks[0].durationMs, 2500);
    QCOMPARE(marks[0].targetMs, std::optional<qint64>(10000));
    QCOMPARE(marks[0].deviationMs(), std::optional<qint64>(3200));
    QCOMPARE(marks[1].seenMs(), 12500);
    QVERIFY(!marks[2].burstMs); // no data: a mark at the ignition
    QCOMPARE(marks[2].seenMs(), 15000);
    QCOMPARE(marks[2].durationMs, 0);
    QVERIFY(!marks[3].burstMs); // Dauer without Vorlauf
    QCOMPARE(marks[3].durationMs, 4000);
    QVERIFY(!marks[1].deviationMs());
}

void TestBurstTiming::findsDeadAir_data()
{
    QTest::addColumn<QList<Shot>>("shots");
    QTest::addColumn<qint64>("threshold");
    QTest::addColumn<QString>("text");
    QTest::newRow("covered") << QList<Shot> { { 0, "Komet" }, { 2, "Komet" }, { 4, "Komet" } } << qint64(3000)
                             << QString();
    // Komet at 0 s: sky 0,5–2,5 s; shell lit at 5 s bursts at 8,2 s: 5,7 s of nothing.
    QTest::newRow("shell lit late") << QList<Shot> { { 0, "Komet" }, { 5, "Bombe" } } << qint64(3000)
                                    << QStringLiteral("Pause im Himmel: 00:02–00:08");
    QTest::newRow("exactly the threshold is no gap")
        << QList<Shot> { { 0, "Fontäne" }, { 3, "Fontäne" } } << qint64(3000) << QString();
    QTest::newRow("threshold adjustable") << QList<Shot> { { 0, "Fontäne" }, { 3, "Fontäne" } } << qint64(2000)
                                          << QStringLiteral("Pause im Himmel: 00:00–00:03");
    QTest::newRow("out of order bursts") << QList<Shot> { { 70, "Bombe" }, { 72, "Komet" }, { 80, "Fontäne" },
        { 3700, "Fontäne" } } << qint64(3000)
                                         << QStringLiteral("Pause im Himmel: 01:15–01:20, 01:20–1:01:40");
}

void TestBurstTiming::findsDeadAir()
{
    QFETCH(QList<Shot>, shots);
    QFETCH(qint64, threshold);
    QFETCH(QString, text);
    const ShotList list = listOf(shots);
    QCOMPARE(SkyGapsText(SkyGaps(SkyMarks(list, int(shots.size()), Data, 0), threshold)), text);
}

void TestBurstTiming::summarisesDeviation()
{
    // Bursts at 3,2 / 10,5 / 20,0 s against targets 3,0 / 10,9 / 20,0 s.
    const ShotList list = listOf({ { 0, "Bombe", 3000 }, { 10, "Komet", 10900 }, { 20, "Fontäne", 20000 } });
    const std::optional<DeviationSummary> summary = Deviations(SkyMarks(list, 3, Data, 0));
    QVERIFY(summary);
    QCOMPARE(summary->count, 3);
    QCOMPARE(summary->maxAbsMs, 400);
    QCOMPARE(summary->maxSlot, 1);
    QCOMPARE(DeviationText(*summary), QStringLiteral("Abweichung vom Takt: im Mittel 0,20 s, höchstens 0,40 s (Nr. 2)"));
    QCOMPARE(DeviationValueText(-400), QStringLiteral("−0,40 s"));
    QCOMPARE(DeviationValueText(205), QStringLiteral("+0,21 s"));
    QCOMPARE(DeviationValueText(4), QStringLiteral("0,00 s"));
    QVERIFY(!Deviations(SkyMarks(listOf({ { 0, "Bombe" } }), 1, Data, 0)));
}

void TestBurstTiming::alignsAndNamesCollisions_data()
{
    QTest::addColumn<QList<Shot>>("shots");
    QTest::addColumn<qint32>("start");
    QTest::addColumn<QList<qint32>>("seconds");
    QTest::addColumn<QStringList>("effects");
    QTest::addColumn<QString>("text");
    // A shell whose burst should be at 13,2 s is lit at 10 s; a half second rounds up.
    QTest::newRow("shell moves") << QList<Shot> { { 4, "Bombe", 13200 }, { 20, "Komet", 20400 } } << 0
                                 << QList<qint32> { 10, 20 } << QStringList { "Bombe", "Komet" }
                                 << QStringLiteral("1 Eintrag angepasst.");
    QTest::newRow("half rounds up") << QList<Shot> { { 4, "Fontäne", 7500 } } << 0 << QList<qint32> { 8 }
                                    << QStringList { "Fontäne" } << QStringLiteral("1 Eintrag angepasst.");
    QTest::newRow("music start counts") << QList<Shot> { { 4, "Fontäne", 7500 } } << -20 << QList<qint32> { 6 }
                                        << QStringList { "Fontäne" } << QStringLiteral("1 Eintrag angepasst.");
    // The shell overtakes the comet: the list is in time order again, each entry with its effect.
    QTest::newRow("reordered") << QList<Shot> { { 1, "Komet", 1500 }, { 5, "Bombe", 5200 } } << 0
                               << QList<qint32> { 1, 2 } << QStringList { "Komet", "Bombe" }
                               << QStringLiteral("1 Eintrag angepasst.");
    QTest::newRow("overtakes") << QList<Shot> { { 1, "Fontäne" }, { 6, "Bombe", 3200 } } << 0
                               << QList<qint32> { 0, 1 } << QStringList { "Bombe", "Fontäne" }
                               << QStringLiteral("1 Eintrag angepasst.");
    QTest::newRow("second taken by an entry without target")
        << QList<Shot> { { 2, "Fontäne" }, { 6, "Bombe", 5200 } } << 0 << QList<qint32> { 2, 6 }
        << QStringList { "Fontäne", "Bombe" }
        << QStringLiteral("0 Einträge angepasst. Nicht verschoben, weil die Sekunde schon besetzt wäre: Nr. 2.");
    QTest::newRow("two want one second")
        << QList<Shot> { { 2, "Fontäne", 5000 }, { 9, "Komet", 5400 }, { 12, "Fontäne", 14000 } } << 0
        << QList<qint32> { 2, 9, 14 } << QStringList { "Fontäne", "Komet", "Fontäne" }
        << QStringLiteral("1 Eintrag angepasst. Nicht verschoben, weil die Sekunde schon besetzt wäre: Nr. 1, 2.");
    QTest::newRow("burst before the clock")
        << QList<Shot> { { 0, "Bombe", 1000 }, { 5, "Fontäne", 6000 } } << 0 << QList<qint32> { 0, 6 }
        << QStringList { "Bombe", "Fontäne" }
        << QStringLiteral(
               "1 Eintrag angepasst. Nicht verschoben, weil die Zündung vor 0 oder nach 18:07:59 läge: Nr. 1.");
}

void TestBurstTiming::alignsAndNamesCollisions()
{
    QFETCH(QList<Shot>, shots);
    QFETCH(qint32, start);
    QFETCH(QList<qint32>, seconds);
    QFETCH(QStringList, effects);
    QFETCH(QString, text);
    const ShotList list = listOf(shots);
    const AlignPlan plan = AlignToTargets(list, int(shots.size()), Data, start);
    QCOMPARE(AlignText(plan), text);
    for (int i = 0; i < seconds.size(); ++i) {
        QCOMPARE(plan.list.times[i], seconds[i]);
        QCOMPARE(plan.list.effects[i], effects[i]);
    }
    // Every entry keeps its circuit and target with it.
    for (int i = 0; i < shots.size(); ++i) {
        int from = 0;
        while (list.circuits[from] != plan.list.circuits[i])
            ++from;
        QCOMPARE(plan.list.effects[i], list.effects[from]);
        QCOMPARE(plan.list.targets[i], list.targets[from]);
    }
}

// A random show: up to 60 entries, most with targets, shells and comets mixed, seconds often crowded.
ShotList randomShow(QRandomGenerator& random, int* count)
{
    ShotList list = ShotList::startup();
    *count = 5 + int(random.bounded(56));
    qint32 second = qint32(random.bounded(5));
    for (int i = 0; i < *count; ++i) {
        list.times[i] = second;
        list.circuits[i] = qint16(i);
        const int kind = int(random.bounded(3));
        list.effects[i] = kind == 0 ? QStringLiteral("Bombe") : kind == 1 ? QStringLiteral("Komet") : QStringLiteral("Fontäne");
        if (random.bounded(5) != 0)
            list.targets[i] = qint32(second * 1000 + random.bounded(6000));
        second += 1 + qint32(random.bounded(3));
    }
    return list;
}

void TestBurstTiming::bestMusicStartIsTheTrueOptimum()
{
    // Every tenth within a second of today's start, aligned through the document and judged on the
    // list it then holds, against the proposal.
    QRandomGenerator random(20261209);
    for (int run = 0; run < 40; ++run) {
        int count = 0;
        const ShotList list = randomShow(random, &count);
        const qint32 start = qint32(random.bounded(61)) - 30;
        ListDocument document;
        ListMeta meta;
        meta.effectData = Data;
        meta.musicStartTenths = start;
        document.reset(list, meta);
        const std::optional<MusicStartProposal> proposal = BestMusicStart(list, count, Data, start);
        QVERIFY(proposal);
        qint64 bestMax = std::numeric_limits<qint64>::max();
        qint64 bestSum = 0;
        for (qint32 candidate = start - 10; candidate <= start + 10; ++candidate) {
            const AlignPlan plan = AlignToTargets(document.list(), document.entryCount(), Data, candidate);
            QVERIFY(document.rearrange(document.revision(), plan.list, candidate, QStringLiteral("Probe"))
                || (plan.moved == 0 && candidate == start));
            const std::optional<DeviationSummary> after = Deviations(SkyMarks(
                document.list(), document.entryCount(), document.meta().effectData, document.meta().musicStartTenths));
            QVERIFY(after);
            if (after->maxAbsMs < bestMax || (after->maxAbsMs == bestMax && after->sumAbsMs < bestSum)) {
                bestMax = after->maxAbsMs;
                bestSum = after->sumAbsMs;
            }
            while (document.undoStack().canUndo())
                document.undo();
            QCOMPARE(document.meta().musicStartTenths, start);
        }
        QCOMPARE(proposal->after.maxAbsMs, bestMax);
        QCOMPARE(proposal->after.sumAbsMs, bestSum);
        QVERIFY(proposal->after.maxAbsMs <= proposal->before.maxAbsMs || proposal->plan.moved > 0);
    }
}

void TestBurstTiming::bestMusicStartOnCollisionFreeShows()
{
    // Entries far apart never collide: each deviation is the distance of target − Vorlauf to the
    // nearest whole second, which the proposal must reach for the best tenth.
    QRandomGenerator random(7);
    for (int run = 0; run < 40; ++run) {
        const int count = 3 + int(random.bounded(20));
        ShotList list = ShotList::startup();
        for (int i = 0; i < count; ++i) {
            list.times[i] = 20 + 20 * i;
            list.circuits[i] = qint16(i);
            list.effects[i] = random.bounded(2) ? QStringLiteral("Bombe") : QStringLiteral("Komet");
            list.targets[i] = qint32(list.times[i] * 1000 + random.bounded(4000));
        }
        const qint32 start = qint32(random.bounded(21)) - 10;
        qint64 bestMax = std::numeric_limits<qint64>::max();
        for (qint32 candidate = start - 10; candidate <= start + 10; ++candidate) {
            qint64 worst = 0;
            for (int i = 0; i < count; ++i) {
                const qint64 wanted = list.targets[i] + candidate * 100 - PrefireMs(list, i, Data);
                const qint64 off = ((wanted % 1000) + 1000) % 1000;
                worst = std::max(worst, off < 500 ? off : 1000 - off);
            }
            bestMax = std::min(bestMax, worst);
        }
        const std::optional<MusicStartProposal> proposal = BestMusicStart(list, count, Data, start);
        QVERIFY(proposal);
        QCOMPARE(proposal->after.maxAbsMs, bestMax);
        QVERIFY(proposal->plan.leftInPlace.isEmpty());
    }
}

void TestBurstTiming::tappedEffectIsOneStepWithItsTarget()
{
    ListDocument document;
    document.reset(listOf({ { 0, QString() }, { 30, "Komet" } }));
    EffectData shell = timed(QStringLiteral("Bombe"), 32, 25);
    shell.stock = 12;
    int row = -1;
    const std::optional<TapOutcome> outcome
        = document.tapEffect(document.revision(), 10, 5, shell, true, 12345, &row);
    QCOMPARE(outcome, std::optional<TapOutcome>(TapOutcome::Added));
    QCOMPARE(row, 1);
    QCOMPARE(document.undoStack().count(), 1);
    QCOMPARE(document.list().effects[1], QStringLiteral("Bombe"));
    QCOMPARE(document.list().targets[1], 12345);
    QCOMPARE(document.list().targets[2], NoTarget);
    QVERIFY(!document.meta().effectData.value(QStringLiteral("Bombe")).stock);
    QCOMPARE(document.meta().effectData.value(QStringLiteral("Bombe")).prefireTenths, std::optional<qint32>(32));
    // The entry before it goes: the target moves with its entry.
    QVERIFY(document.deleteEntry(document.revision(), 0));
    QCOMPARE(document.list().targets[0], 12345);
    document.undo();
    document.undo();
    QCOMPARE(document.list().targets[1], NoTarget);
    QCOMPARE(document.list().effects[1], QStringLiteral("Komet"));
    QVERIFY(document.meta().effectData.isEmpty());
    // A taken second is refused as before.
    QCOMPARE(document.tapEffect(document.revision(), 30, 5, shell, true, 40000),
        std::optional<TapOutcome>(TapOutcome::SecondTaken));
}

void TestBurstTiming::handMadeChangeKeepsTheTarget()
{
    ListDocument document;
    ListMeta meta;
    meta.effectData = Data;
    meta.musicStartTenths = 10;
    document.reset(listOf({ { 0, "Komet", 4000 }, { 10, "Bombe", 12300 } }), meta);
    QCOMPARE(EntryTargetText(document.list(), 1, Data, 10), QStringLiteral("Ziel 00:13,3 · Abweichung −0,10 s"));
    // Two seconds more before entry 2, typed in the editor: the target stays, the deviation says so.
    QVERIFY(document.applySince(document.revision(), 1, 12, 10));
    QCOMPARE(document.list().times[1], 12);
    QCOMPARE(document.list().targets[1], 12300);
    QCOMPARE(EntryTargetText(document.list(), 1, Data, 10), QStringLiteral("Ziel 00:13,3 · Abweichung +1,90 s"));
    QCOMPARE(EntryTargetText(document.list(), 2, Data, 10), QString());
}

void TestBurstTiming::targetsTravelInTheListFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("takt.fsl"));
    const ShotList list = listOf({ { 0, "Komet", 0 }, { 10, "Bombe", 83412 }, { 20, QString() } });
    ListMeta meta;
    meta.musicStartTenths = -25;
    QString error;
    QVERIFY(WriteListFile(path, list, meta, &error));
    const QByteArray bytes = readFile(path);
    QVERIFY(bytes.contains("\r\nZiel 001=0.000\r\nZiel 002=83.412\r\n"));
    QVERIFY(!bytes.contains("Ziel 003"));
    const ListFileRead read = ReadListFile(path);
    QVERIFY(read.ok());
    QCOMPARE(ListReadNotes(read), QString());
    for (int slot = 0; slot < SlotCount; ++slot)
        QCOMPARE(read.list.targets[slot], list.targets[slot]);
    QCOMPARE(ListFileBytes(read.list, read.meta, path), bytes);
}

void TestBurstTiming::badTargetKeysAreRefused_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("empty slot") << "Ziel 005"
                                << "1.000"
                                << "Ziel 005: Nr. 005 ist leer.";
    QTest::newRow("comma") << "Ziel 001"
                           << "1,500"
                           << "Ziel 001: „1,500“ ist keine Zeit in Sekunden mit drei Nachkommastellen.";
    QTest::newRow("negative") << "Ziel 001"
                              << "-1.000"
                              << "Ziel 001: „-1.000“ ist keine Zeit in Sekunden mit drei Nachkommastellen.";
    QTest::newRow("number") << "Ziel 000"
                            << "1.000"
                            << "Ziel 000: die Nummer geht von 001 bis 170.";
}

void TestBurstTiming::badTargetKeysAreRefused()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, problem);
    ShotList list = listOf({ { 0, "Komet" }, { 10, "Bombe" } });
    const TargetDecode decoded = DecodeTargetKeys(
        { { key, value }, { QStringLiteral("Ziel 002"), QStringLiteral("12.500") }, { QStringLiteral("Ziel"), QStringLiteral("x") } },
        list);
    QCOMPARE(decoded.problems, QStringList { problem });
    QCOMPARE(list.targets[1], 12500);
    QCOMPARE(list.targets[0], NoTarget);
    QCOMPARE(decoded.otherKeys, KeltoKeys({ { "Ziel", "x" } }));
}

KELTO_TEST_MAIN(TestBurstTiming)
#include "tst_burst_timing.moc"
