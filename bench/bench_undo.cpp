#include "bench_main.h"
#include "form1.h"
#include "shotlist/list_document.h"

#include <QListWidget>

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

// A shift of the 69 entries behind line 100 by one second, back and forth: each is one step, and
// the window rebuilds both lists and the statistics from it.
void BM_ChangeWithRefresh(benchmark::State& state)
{
    Form1 window;
    window.document().reset(FullBenchList());
    ListDocument& document = window.document();
    double until = 7;
    for (auto _ : state) {
        const double next = until == 7 ? 8 : 7;
        document.applyUntil(document.revision(), 100, next, until);
        until = next;
    }
    if (window.List2->count() != EntryCount || document.entryCount() != EntryCount)
        state.SkipWithError("the list lost entries");
}
BENCHMARK(BM_ChangeWithRefresh)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Undo and redo of that shift, each with the refresh: the time shown is for the pair.
void BM_UndoRedoPairWithRefresh(benchmark::State& state)
{
    Form1 window;
    window.document().reset(FullBenchList());
    ListDocument& document = window.document();
    document.applyUntil(document.revision(), 100, 8, 7);
    for (auto _ : state) {
        window.UndoList();
        window.RedoList();
    }
    if (document.list().times[101] != 101 * 7 + 1)
        state.SkipWithError("undo and redo did not end on the change");
}
BENCHMARK(BM_UndoRedoPairWithRefresh)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Heap taken by 1000 steps that each move 169 entries of a full list.
void BM_ThousandStepsMemory(benchmark::State& state)
{
    for (auto _ : state) {
        ListDocument document;
        document.reset(FullBenchList());
        const size_t before = mallinfo2().uordblks;
        for (int i = 0; i < 1000; ++i)
            document.applySince(document.revision(), 1, i % 2 ? 7 : 6, i % 2 ? 6 : 7);
        const size_t after = mallinfo2().uordblks;
        state.counters["steps"] = document.undoStack().count();
        state.counters["bytes"] = double(after - before);
    }
}
BENCHMARK(BM_ThousandStepsMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

KELTO_BENCHMARK_MAIN()
