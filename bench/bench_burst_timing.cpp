// The best music start for 170 entries (target: under 5 ms) and aligning them (under 2 ms).
#include "bench_main.h"

#include "effects/burst_timing.h"

namespace {

// 170 entries, each its own effect with a Vorlauf of 0,5 .. 6,0 s, every one with a target a little
// off its burst.
struct TimedShow {
    ShotList list = FullBenchList();
    EffectDataMap data;
    TimedShow()
    {
        for (int i = 0; i < EntryCount; ++i) {
            EffectData effect;
            effect.name = QStringLiteral("Effekt %1").arg(i);
            effect.prefireTenths = 5 + (i * 7) % 56;
            effect.durationTenths = 20;
            data.insert(effect.name, effect);
            list.effects[i] = effect.name;
            list.targets[i] = list.times[i] * 1000 + *effect.prefireTenths * 100 + (i * 137) % 900 - 450 + 3000;
        }
    }
};

void BM_BestMusicStart(benchmark::State& state)
{
    const TimedShow show;
    for (auto _ : state) {
        std::optional<MusicStartProposal> proposal = BestMusicStart(show.list, EntryCount, show.data, 0);
        benchmark::DoNotOptimize(proposal);
    }
}
BENCHMARK(BM_BestMusicStart)->Unit(benchmark::kMillisecond);

void BM_Align(benchmark::State& state)
{
    const TimedShow show;
    for (auto _ : state) {
        AlignPlan plan = AlignToTargets(show.list, EntryCount, show.data, 0);
        benchmark::DoNotOptimize(plan);
    }
}
BENCHMARK(BM_Align)->Unit(benchmark::kMillisecond);

void BM_SkyMarksAndGaps(benchmark::State& state)
{
    const TimedShow show;
    for (auto _ : state) {
        const QList<SkyMark> marks = SkyMarks(show.list, EntryCount, show.data, 0);
        QList<SkyGap> gaps = SkyGaps(marks);
        benchmark::DoNotOptimize(gaps);
    }
}
BENCHMARK(BM_SkyMarksAndGaps)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
