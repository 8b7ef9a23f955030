// Full send of 170 records and a receive paced like a 9600-baud line, both through a pseudo-terminal
// pair with the device simulator on the far end (needs socat and tools/kelto-device-sim).
#include "../tests/common/device_sim.h"
#include "../tests/common/pty_pair.h"
#include "bench_main.h"
#include "form1.h"
#include "link/transfer_engine.h"

#include <QApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTabWidget>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <ctime>
#include <sys/resource.h>

namespace {

class AnswerOk : public Prompter {
public:
    Answer message(const QString&, const QString&, Buttons, Answer, Icon) override { return Answer::Ok; }
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

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Line {
    PtyPair pty;
    std::unique_ptr<SimDriver> sim;
    std::unique_ptr<Form1> window;

    bool start(const QStringList& simOptions)
    {
        if (!pty.isReady())
            return false;
        qputenv("KELTO_COM1", QFile::encodeName(pty.editorEnd()));
        sim = std::make_unique<SimDriver>(pty.deviceEnd(), simOptions);
        window = std::make_unique<Form1>(std::make_unique<AnswerOk>());
        // A list that fires circuits: sending one that fires none asks first.
        window->document().reset(FullBenchList());
        window->SSTab1->setCurrentIndex(0);
        return sim->waitReady();
    }
};

// Wall time of the whole send (target 17.0 to 17.6 s) and the editor's processor time meanwhile.
void BM_SendFullList(benchmark::State& state)
{
    Line line;
    if (!line.start({})) {
        state.SkipWithError("no pseudo-terminal pair or simulator");
        return;
    }
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        const qsizetype before = line.sim->received().size();
        const double cpuBefore = cpuSeconds();
        const qint64 start = monotonicNs();
        line.window->Command2_Click(1);
        wall = double(monotonicNs() - start) / 1e9;
        cpu = cpuSeconds() - cpuBefore;
        state.SetIterationTime(wall);
        if (!line.sim->waitForReceived(before + 1360)) {
            state.SkipWithError("the device did not get 170 records");
            return;
        }
    }
    state.counters["duration_s"] = wall;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_percent"] = 100 * cpu / wall;
}
BENCHMARK(BM_SendFullList)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// 1530 characters one at a time at 9600 baud (1.59 s at the least), and how soon after the last
// character the list is decoded and shown (target 20 ms).
void BM_ReceiveAt9600Baud(benchmark::State& state)
{
    Line line;
    if (!line.start({ QStringLiteral("--chunk"), QStringLiteral("1"), QStringLiteral("--baud"),
            QStringLiteral("9600") })) {
        state.SkipWithError("no pseudo-terminal pair or simulator");
        return;
    }
    Form1& w = *line.window;
    double total = 0;
    double worstLatencyMs = 0;
    double latencySumMs = 0;
    int runs = 0;
    for (auto _ : state) {
        w.Command2_Click(0);
        qint64 doneNs = 0;
        QEventLoop loop;
        // Connected after the window's own handler, so it runs once that has finished.
        const auto connection = QObject::connect(&w.MSComm1->port(), &QSerialPort::readyRead, &loop, [&] {
            if (!w.Receiving() && doneNs == 0) {
                doneNs = monotonicNs();
                loop.quit();
            }
        });
        const int sends = line.sim->finishedSends();
        line.sim->command("list");
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(connection);
        if (doneNs == 0 || !QTest::qWaitFor([&] { return line.sim->finishedSends() > sends; }, 5000)) {
            state.SkipWithError("the receive did not complete");
            return;
        }
        total = double(doneNs - line.sim->lastSendStartNs()) / 1e9;
        const double latencyMs = double(doneNs - line.sim->lastSendEndNs()) / 1e6;
        worstLatencyMs = qMax(worstLatencyMs, latencyMs);
        latencySumMs += latencyMs;
        ++runs;
        state.SetIterationTime(total);
    }
    state.counters["floor_s"] = 1530 * 10 / 9600.0;
    state.counters["last_duration_s"] = total;
    state.counters["latency_ms_mean"] = latencySumMs / runs;
    state.counters["latency_ms_worst"] = worstLatencyMs;
}
BENCHMARK(BM_ReceiveAt9600Baud)->Iterations(5)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

KELTO_BENCHMARK_MAIN()
