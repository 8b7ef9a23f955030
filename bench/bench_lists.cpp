#include "bench_main.h"
#include "form1.h"
#include "shotlist/list_views.h"

#include <QApplication>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

void BM_ListLinesAndStatistics(benchmark::State& state)
{
    ShotList list = FullBenchList();
    for (auto _ : state) {
        NormalizeList(list);
        const QStringList lines1 = List1Lines(list);
        const QStringList lines2 = List2Lines(list);
        benchmark::DoNotOptimize(lines2);
        benchmark::DoNotOptimize(ComputeStatistics(lines1));
    }
}
BENCHMARK(BM_ListLinesAndStatistics)->Unit(benchmark::kMicrosecond);

// RefreshLists of a full list with both list widgets rebuilt, in a shown window.
void BM_RefreshLists(benchmark::State& state)
{
    Form1 window;
    window.show();
    QApplication::processEvents();
    window.document().reset(FullBenchList());
    for (auto _ : state) {
        window.RefreshLists();
        benchmark::DoNotOptimize(window.List1->count());
    }
    if (window.document().entryCount() != EntryCount)
        state.SkipWithError("refresh did not see a full list");
}
BENCHMARK(BM_RefreshLists)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
