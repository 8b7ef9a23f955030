#include "bench_main.h"
#include "form1.h"
#include "shotlist/list_views.h"

#include <QApplication>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

// The full benchmark list, with an effect of 60 characters on every entry when the argument is 1.
ShotList benchList(const benchmark::State& state)
{
    ShotList list = FullBenchList();
    for (int i = 0; state.range(0) != 0 && i < EntryCount; ++i)
        list.effects[i] = QStringLiteral("Bombe 75 mm Chrysantheme, Nr. %1 ")
                              .arg(i + 1)
                              .leftJustified(EffectMaxLength, QLatin1Char('x'));
    return list;
}

void BM_ListLinesAndStatistics(benchmark::State& state)
{
    ShotList list = benchList(state);
    for (auto _ : state) {
        NormalizeList(list);
        const QStringList lines1 = List1Lines(list);
        const QStringList lines2 = List2Lines(list);
        benchmark::DoNotOptimize(lines2);
        benchmark::DoNotOptimize(ComputeStatistics(lines1));
    }
}
BENCHMARK(BM_ListLinesAndStatistics)->ArgName("effects")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// RefreshLists of a full list with both list widgets rebuilt, in a shown window.
void BM_RefreshLists(benchmark::State& state)
{
    Form1 window;
    window.show();
    QApplication::processEvents();
    window.document().reset(benchList(state));
    for (auto _ : state) {
        window.RefreshLists();
        benchmark::DoNotOptimize(window.List1->count());
    }
    if (window.document().entryCount() != EntryCount)
        state.SkipWithError("refresh did not see a full list");
}
BENCHMARK(BM_RefreshLists)
    ->ArgName("effects")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

KELTO_BENCHMARK_MAIN()
