#include "bench_main.h"
#include "form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>

#include <benchmark/benchmark.h>

namespace {

// A full list in a shown, active window on "Bearbeiten der Liste"; line 100 selected.
class EditorWindow {
public:
    EditorWindow()
    {
        window.show();
        window.activateWindow();
        QElapsedTimer waited;
        waited.start();
        while (!window.isActiveWindow() && waited.elapsed() < 5000)
            QApplication::processEvents();
        window.SSTab1->setCurrentIndex(2);
        window.document().reset(FullBenchList());
    }
    bool ready() const { return window.isActiveWindow() && window.document().entryCount() == EntryCount; }

    // Enters the field on line 100 and types the text; not timed.
    void prepare(int field, const QString& typed)
    {
        window.List2->setCurrentRow(100);
        window.Text2[field]->setFocus();
        window.Text2[field]->setText(typed);
    }

    Form1 window;
};

// Leaving the field: the FocusOut commit with its rule, RefreshLists and the new selection.
void runCommits(benchmark::State& state, int field, const QString& first, const QString& second)
{
    EditorWindow editor;
    if (!editor.ready()) {
        state.SkipWithError("window not active or list not full");
        return;
    }
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        editor.prepare(field, flip ? second : first);
        flip = !flip;
        state.ResumeTiming();
        editor.window.List2->setFocus();
    }
    if (editor.window.document().entryCount() != EntryCount)
        state.SkipWithError("the commits changed the number of entries");
}

void BM_CommitCircuitNumber(benchmark::State& state)
{
    runCommits(state, 3, QStringLiteral("5"), QStringLiteral("6"));
}
BENCHMARK(BM_CommitCircuitNumber)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Moves the 69 entries behind line 100 by one second each time.
void BM_CommitUntilShift(benchmark::State& state)
{
    runCommits(state, 2, QStringLiteral("8"), QStringLiteral("7"));
}
BENCHMARK(BM_CommitUntilShift)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

KELTO_BENCHMARK_MAIN()
