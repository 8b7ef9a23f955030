// The command line as a crew runs it: "kelto send" of 170 records and "kelto verify" against a device
// sending at 9600 baud, each through a pseudo-terminal pair with the device simulator (needs socat).
#include "../tests/common/device_sim.h"
#include "../tests/common/pty_pair.h"
#include "bench_main.h"

#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <ctime>
#include <sys/resource.h>

namespace {

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double childCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString writeList(const QTemporaryDir& dir)
{
    QByteArray bytes = "Feuerwerk-Schussliste Pelorandistrake\r\nBench\r\nAnzahl Eintr\xE4ge: 170\r\n"
                       "Anzahl Sch\xFCsse: 10\r\nZeitdauer : 00:02:00\r\nnoch frei: 160\r\n";
    const char* entries[] = { "0000 00", "0005 01", "000A 02", "000C 21", "0014 22", "001E 40", "002D 41",
        "003C E5", "005A 03", "0078 04" };
    for (int i = 0; i < 170; ++i)
        bytes += QByteArray(i < 10 ? entries[i] : "FFFF FF") + "\r\n";
    QFile file(dir.filePath(QStringLiteral("bench.fsl")));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(bytes);
    return file.fileName();
}

// Wall time of "kelto send" (target 17.0 to 17.4 s) and its processor time (target under 1 %).
void BM_CommandLineSend(benchmark::State& state)
{
    QTemporaryDir dir;
    PtyPair pty;
    if (!pty.isReady()) {
        state.SkipWithError("no pseudo-terminal pair");
        return;
    }
    SimDriver sim(pty.deviceEnd());
    const QString list = writeList(dir);
    if (!sim.waitReady() || list.isEmpty()) {
        state.SkipWithError("no simulator");
        return;
    }
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        const qsizetype before = sim.received().size();
        const double cpuBefore = childCpuSeconds();
        QProcess kelto;
        const qint64 start = monotonicNs();
        kelto.start(QStringLiteral(KELTO_PROGRAM_PATH),
            { QStringLiteral("send"), list, QStringLiteral("--port"), pty.editorEnd() });
        kelto.waitForFinished(60000);
        wall = double(monotonicNs() - start) / 1e9;
        cpu = childCpuSeconds() - cpuBefore;
        state.SetIterationTime(wall);
        if (kelto.exitCode() != 0 || !sim.waitForReceived(before + 1360)) {
            state.SkipWithError("the device did not get 170 records");
            return;
        }
    }
    state.counters["duration_s"] = wall;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_percent"] = 100 * cpu / wall;
}
BENCHMARK(BM_CommandLineSend)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// How soon after the device's last character "kelto verify" has printed its report (target 20 ms).
void BM_CommandLineVerifyLatency(benchmark::State& state)
{
    QTemporaryDir dir;
    PtyPair pty;
    if (!pty.isReady()) {
        state.SkipWithError("no pseudo-terminal pair");
        return;
    }
    SimDriver sim(pty.deviceEnd(),
        { QStringLiteral("--chunk"), QStringLiteral("1"), QStringLiteral("--baud"), QStringLiteral("9600") });
    const QString list = writeList(dir);
    if (!sim.waitReady() || list.isEmpty()) {
        state.SkipWithError("no simulator");
        return;
    }
    double worstMs = 0;
    double sumMs = 0;
    int runs = 0;
    for (auto _ : state) {
        QProcess kelto;
        qint64 reportNs = 0;
        QObject::connect(&kelto, &QProcess::readyReadStandardOutput, [&] {
            if (reportNs == 0)
                reportNs = monotonicNs();
        });
        QByteArray err;
        QObject::connect(
            &kelto, &QProcess::readyReadStandardError, [&] { err += kelto.readAllStandardError(); });
        kelto.start(QStringLiteral(KELTO_PROGRAM_PATH),
            { QStringLiteral("verify"), list, QStringLiteral("--port"), pty.editorEnd(),
                QStringLiteral("--timeout"), QStringLiteral("20") });
        if (!QTest::qWaitFor([&] { return err.contains("'Save'"); }, 10000)) {
            state.SkipWithError("verify did not start");
            return;
        }
        const int sends = sim.finishedSends();
        sim.command("list " + QFile::encodeName(list));
        if (!QTest::qWaitFor([&] { return reportNs != 0 && sim.finishedSends() > sends; }, 10000)) {
            state.SkipWithError("no report");
            return;
        }
        kelto.waitForFinished(5000);
        const double latencyMs = double(reportNs - sim.lastSendEndNs()) / 1e6;
        worstMs = qMax(worstMs, latencyMs);
        sumMs += latencyMs;
        ++runs;
        state.SetIterationTime(latencyMs / 1000);
    }
    state.counters["latency_ms_mean"] = sumMs / runs;
    state.counters["latency_ms_worst"] = worstMs;
}
BENCHMARK(BM_CommandLineVerifyLatency)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

KELTO_BENCHMARK_MAIN()
