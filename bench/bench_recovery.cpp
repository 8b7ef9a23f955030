// The copy of unsaved work: what a commit costs while a write is pending, how soon a change is on
// disk, and the start-up with and without a copy to offer. Everything in a temporary folder.
#include "bench_main.h"
#include "files/list_file.h"
#include "files/recovery.h"
#include "form1.h"
#include "window_start.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

// Yes to the recovery question, OK to anything else.
class AnswerYes : public Prompter {
public:
    Answer message(const QString&, const QString&, Buttons buttons, Answer, Icon) override
    {
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseFile(FileChoice, const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    void printPreview(const QString&, const QPageLayout&, const QString&,
        const std::function<void(QPagedPaintDevice&)>&) override
    {
    }
};

// Entry 101 moved back and forth by a second: a commit that shifts the 70 entries after it.
bool shiftMiddle(ListDocument& document, int step)
{
    const ShotList& list = document.list();
    const double gap = list.times[100] - list.times[99];
    return document.applySince(document.revision(), 100, gap + (step % 2 == 0 ? 1 : -1), gap);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_CommitWithCopyPending(benchmark::State& state)
{
    QTemporaryDir dir;
    ListDocument document;
    document.reset(FullBenchList());
    RecoveryKeeper keeper(document, dir.filePath(RecoveryFileName(1)));
    int step = 0;
    shiftMiddle(document, step++);
    std::vector<double> us;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const bool changed = shiftMiddle(document, step++);
        us.push_back(double(clock.nsecsElapsed()) / 1e3);
        benchmark::DoNotOptimize(changed);
    }
    if (!keeper.isPending())
        state.SkipWithError("the copy was written inside a commit");
    state.counters["median_us"] = median(us);
    state.counters["worst_us"] = *std::max_element(us.begin(), us.end());
}
BENCHMARK(BM_CommitWithCopyPending)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// From the commit to the copy on disk (renamed into place), through the event loop.
void BM_ChangeToCopyOnDisk(benchmark::State& state)
{
    QTemporaryDir dir;
    ListDocument document;
    document.reset(FullBenchList());
    RecoveryKeeper keeper(document, dir.filePath(RecoveryFileName(1)));
    int step = 0;
    std::vector<double> ms;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&keeper, &RecoveryKeeper::written, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        shiftMiddle(document, step++);
        loop.exec();
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        if (keeper.isPending() || !QFile::exists(keeper.path())) {
            state.SkipWithError("no copy within 5 s");
            return;
        }
        ms.push_back(elapsed);
        state.SetIterationTime(elapsed / 1e3);
    }
    state.counters["median_ms"] = median(ms);
    state.counters["worst_ms"] = *std::max_element(ms.begin(), ms.end());
}
BENCHMARK(BM_ChangeToCopyOnDisk)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// One key typed into the effect field of line 101 in the shown window: the effect is stored as it is
// typed, with the refresh of both lists and the selection; the copy is pending meanwhile. Then the time
// from the last key to the copy on disk.
void BM_TypedEffectCommit(benchmark::State& state)
{
    QTemporaryDir dir;
    Form1 window(std::make_unique<AnswerYes>());
    window.show();
    window.SSTab1->setCurrentIndex(2);
    window.document().reset(FullBenchList());
    RecoveryKeeper keeper(window.document(), dir.filePath(RecoveryFileName(1)));
    window.List2->setCurrentRow(100);
    window.Text3->setFocus();
    std::vector<double> us;
    int typed = 0;
    for (auto _ : state) {
        // A run of typing up to the longest effect, then the field emptied again (not timed).
        if (window.Text3->text().size() >= EffectMaxLength) {
            state.PauseTiming();
            window.Text3->clear();
            state.ResumeTiming();
        }
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::sendEvent(window.Text3, &key);
        us.push_back(double(clock.nsecsElapsed()) / 1e3);
        ++typed;
    }
    if (window.list().effects[100].isEmpty() || !keeper.isPending())
        state.SkipWithError("the typed effect is not stored, or the copy was written inside a commit");
    state.counters["median_us"] = median(us);
    state.counters["worst_us"] = *std::max_element(us.begin(), us.end());

    QEventLoop loop;
    QObject::connect(&keeper, &RecoveryKeeper::written, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    loop.exec();
    const RecoveryCopy copy = ReadRecoveryCopy(keeper.path());
    if (!copy.read.ok() || copy.read.list.effects[100] != window.list().effects[100])
        state.SkipWithError("the copy does not hold the typed effect");
    // The copy is due at most DelayMs after the first key of the series.
    state.counters["last_key_to_copy_ms"] = double(clock.nsecsElapsed()) / 1e6;
}
BENCHMARK(BM_TypedEffectCommit)->Iterations(600)->Unit(benchmark::kMicrosecond);

// The window built and shown, with the recovery question answered (a scripted Ja) when a copy is there.
void BM_StartUp(benchmark::State& state)
{
    const bool withCopy = state.range(0) != 0;
    QTemporaryDir dir;
    const QByteArray savedTemp = qgetenv("temp");
    qputenv("temp", QFile::encodeName(dir.path()));
    const QString copy = dir.filePath(RecoveryFileName(1));
    std::vector<double> ms;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(copy);
        QString error;
        ListMeta meta;
        meta.comment = QStringLiteral("Probe");
        if (withCopy && !WriteListFile(copy, FullBenchList(), meta, &error)) {
            state.SkipWithError("cannot write the copy");
            break;
        }
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        {
            WindowRun run(std::make_unique<AnswerYes>());
            run.start(QString());
            QCoreApplication::processEvents();
            ms.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (withCopy && run.window().document().entryCount() != EntryCount)
                state.SkipWithError("the copy was not restored");
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    qputenv("temp", savedTemp);
    state.counters["median_ms"] = median(ms);
}
BENCHMARK(BM_StartUp)->Arg(0)->Arg(1)->ArgName("copy")->Iterations(15)->Unit(benchmark::kMillisecond);

} // namespace

KELTO_BENCHMARK_MAIN()
