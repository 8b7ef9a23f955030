// How late the sound leaves the sound server compared with the player's position, measured for real:
// a PulseAudio server of its own with a null sink, Kelto's player playing the click track into it, the
// sink's monitor recorded with parec. A first play settles the stream; taps at the clicks' recorded
// instants on the second calibrate; on the third, taps at those instants are stamped as the page does.
// Needs pulseaudio and pulseaudio-utils (bench/run_tap_latency.sh); skipped with a reason without them.

#include "bench_main.h"
#include "music/playback_clock.h"
#include "music/tap_calibration.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Rate = 48000;
constexpr int SinkLatencyMs = 20;
using Clock = std::chrono::steady_clock;

double nowMs() { return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

// Children end with this process, whatever happens to it.
void endWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

void endProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// A sound server of its own, in its own runtime folder; ended when this goes.
class SoundServer {
public:
    bool start(QString* problem)
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty()) {
            *problem
                = QStringLiteral("pulseaudio or parec missing: apt-get install pulseaudio pulseaudio-utils");
            return false;
        }
        m_socket = m_dir.filePath(QStringLiteral("native"));
        QFile script(m_dir.filePath(QStringLiteral("default.pa")));
        if (!script.open(QIODevice::WriteOnly)) {
            *problem = QStringLiteral("no runtime folder");
            return false;
        }
        script.write(QStringLiteral("load-module module-null-sink sink_name=kelto_null rate=%1 channels=1\n"
                                    "load-module module-native-protocol-unix auth-anonymous=1 socket=%2\n"
                                    "set-default-sink kelto_null\n")
                         .arg(Rate)
                         .arg(m_socket)
                         .toUtf8());
        script.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_dir.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        environment.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.filePath(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir.filePath(QStringLiteral("state")));
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(m_dir.path());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        endWithParent(m_process);
        m_process.start(program,
            { QStringLiteral("-n"), QStringLiteral("-F"), script.fileName(), QStringLiteral("--daemonize=no"),
                QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                QStringLiteral("--disable-shm=yes"), QStringLiteral("--log-level=error") });
        if (!m_process.waitForStarted(5000)) {
            *problem = QStringLiteral("pulseaudio did not start");
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            if (m_process.state() != QProcess::Running) {
                *problem = QStringLiteral("pulseaudio ended at once");
                return false;
            }
            QProcess info;
            info.start(QStringLiteral("pactl"), { QStringLiteral("-s"), server(), QStringLiteral("info") });
            if (info.waitForFinished(2000) && info.exitCode() == 0)
                return true;
            endProcess(info);
            QThread::msleep(50);
        }
        *problem = QStringLiteral("pulseaudio did not answer within 10 s");
        return false;
    }
    ~SoundServer() { endProcess(m_process); }
    QString server() const { return QStringLiteral("unix:") + m_socket; }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_process;
};

// The sink's monitor as it comes: parec read by a thread of its own, each block stamped on arrival.
class MonitorRecorder {
public:
    bool start(const QString& server)
    {
        int pipe[2];
        if (::pipe(pipe) != 0)
            return false;
        const QByteArray serverArg = server.toLocal8Bit();
        const QByteArray rateArg = "--rate=" + QByteArray::number(Rate);
        std::vector<QByteArray> arguments { "parec", "-s", serverArg, "-d", "kelto_null.monitor", "--raw",
            "--format=s16le", rateArg, "--channels=1", "--latency-msec=10" };
        std::vector<char*> argv;
        for (QByteArray& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid < 0)
            return false;
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(pipe[1], 1);
            ::close(pipe[0]);
            ::close(pipe[1]);
            ::execvp("parec", argv.data());
            ::_exit(127);
        }
        ::close(pipe[1]);
        m_fd = pipe[0];
        m_reader = std::thread([this] { read(); });
        return true;
    }
    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            for (int i = 0; i < 300 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
                ::usleep(10000);
            if (::waitpid(m_pid, &status, WNOHANG) == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
            }
            m_pid = -1;
        }
        if (m_reader.joinable())
            m_reader.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    ~MonitorRecorder() { stop(); }

    // Where each click starts, in ms of the monotonic clock: the first loud sample after silence, dated
    // by the blocks that arrived soon after it (each sample left the sink before its block arrived).
    std::vector<double> clickInstants() const
    {
        std::vector<double> instants;
        qint64 quietSince = -Rate;
        for (size_t i = 0; i < m_samples.size(); ++i) {
            if (std::abs(int(m_samples[i])) <= 8000)
                continue;
            if (qint64(i) - quietSince > Rate / 10) {
                double best = 1e300;
                for (const auto& [arrived, end] : m_blocks) {
                    if (end > qint64(i) && end - qint64(i) < Rate / 4)
                        best = std::min(best, arrived - double(end - qint64(i)) * 1000.0 / Rate);
                }
                instants.push_back(best);
            }
            quietSince = qint64(i);
        }
        return instants;
    }

private:
    void read()
    {
        QByteArray pending;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                return;
            const double arrived = nowMs();
            pending.append(buffer, qsizetype(got));
            const qsizetype whole = pending.size() / 2 * 2;
            const auto* bytes = reinterpret_cast<const uchar*>(pending.constData());
            for (qsizetype i = 0; i < whole; i += 2)
                m_samples.push_back(qint16(quint16(bytes[i] | (bytes[i + 1] << 8))));
            pending.remove(0, whole);
            m_blocks.emplace_back(arrived, qint64(m_samples.size()));
        }
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    // Read only after stop().
    std::vector<qint16> m_samples;
    std::vector<std::pair<double, qint64>> m_blocks; // arrival, samples received by then
};

// The player's position against the monotonic clock, sampled while it plays.
struct PositionTrace {
    std::vector<std::pair<double, qint64>> points;
    // The position at instant ms, between the samples around it.
    double at(double instant) const
    {
        auto after = std::lower_bound(points.begin(), points.end(), instant,
            [](const std::pair<double, qint64>& point, double t) { return point.first < t; });
        if (after == points.begin() || after == points.end())
            return std::nan("");
        const auto before = after - 1;
        const double share = (instant - before->first) / (after->first - before->first);
        return double(before->second) + share * double(after->second - before->second);
    }
};

struct Run {
    // Per click: the player's position when it left the sink; NaN for a click the recording lacks.
    std::vector<double> positionAt;
    int heard = 0;
};

// Plays the track once from the start and records it; empty on a failure, told in problem.
Run playOnce(PlaybackClock& player, const ClickTrack& track, const QString& server, QString* problem)
{
    Run run;
    MonitorRecorder recorder;
    if (!recorder.start(server)) {
        *problem = QStringLiteral("parec did not start");
        return run;
    }
    QTest::qWait(300);
    PositionTrace trace;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    sampler.setInterval(2);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (player.isPlaying())
            trace.points.emplace_back(nowMs(), player.position());
    });
    sampler.start();
    player.stop();
    player.play();
    const bool ended = QTest::qWaitFor([&] { return !player.isPlaying(); }, int(track.durationMs) + 10000);
    QTest::qWait(500);
    sampler.stop();
    recorder.stop();
    if (!ended) {
        *problem = QStringLiteral("the player did not play to the end");
        return run;
    }
    // Only the stretch where the player moved counts: positions from its first report on.
    const std::vector<double> instants = recorder.clickInstants();
    if (qEnvironmentVariableIsSet("KELTO_DEBUG_TAP")) {
        for (const double instant : instants)
            std::printf("heard %.1f position %.1f\n", instant, trace.at(instant));
        std::printf("trace %zu points %.1f..%.1f\n", trace.points.size(), trace.points.front().first,
            trace.points.back().first);
    }
    // Each heard click is the played one nearest to where the player was.
    run.positionAt.assign(size_t(track.clicksMs.size()), std::nan(""));
    for (const double instant : instants) {
        const double position = trace.at(instant);
        for (qsizetype i = 0; i < track.clicksMs.size(); ++i) {
            if (std::abs(position - double(track.clicksMs[i])) < 250
                && std::isnan(run.positionAt[size_t(i)])) {
                run.positionAt[size_t(i)] = position;
                ++run.heard;
            }
        }
    }
    if (run.heard < MinCalibrationTaps) {
        *problem = QStringLiteral("%1 of %2 clicks heard in the recording")
                       .arg(run.heard)
                       .arg(track.clicksMs.size());
        run.positionAt.clear();
    }
    return run;
}

void BM_TapLatencyThroughSoundServer(benchmark::State& state)
{
    SoundServer sound;
    QString problem;
    if (!sound.start(&problem)) {
        state.SkipWithError(qPrintable(problem));
        return;
    }
    // Qt Multimedia finds the server through these when it first plays.
    qputenv("PULSE_SERVER", sound.server().toUtf8());
    qputenv("PULSE_SINK", "kelto_null");
    qputenv("PULSE_LATENCY_MSEC", QByteArray::number(SinkLatencyMs));

    const ClickTrack track = MakeClickTrack(12, 1000, 500, Rate);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("klicks.wav"));
    {
        QFile file(wav);
        if (!file.open(QIODevice::WriteOnly) || file.write(track.wav) != track.wav.size()) {
            state.SkipWithError("cannot write the click track");
            return;
        }
    }
    PlaybackClock player;
    player.setSource(wav);
    if (!QTest::qWaitFor([&] { return player.duration() > 0; }, 10000)) {
        state.SkipWithError("the player did not open the click track");
        return;
    }

    for (auto _ : state) {
        // The first play through a fresh stream settles: clicks dropped, the clock slaved. Shown, not used.
        const Run warmUp = playOnce(player, track, sound.server(), &problem);
        std::printf(
            "\nwarm-up run: %d of %lld clicks heard\n", warmUp.heard, (long long)track.clicksMs.size());
        const Run calibration = playOnce(player, track, sound.server(), &problem);
        const Run check
            = calibration.positionAt.empty() ? Run() : playOnce(player, track, sound.server(), &problem);
        if (check.positionAt.empty()) {
            state.SkipWithError(qPrintable(problem));
            return;
        }
        std::printf("\nclick  music ms   player ahead of the sound leaving the sink: run 2    run 3\n");
        std::vector<double> late;
        QList<qint64> taps;
        for (qsizetype i = 0; i < track.clicksMs.size(); ++i) {
            const double first = calibration.positionAt[size_t(i)] - double(track.clicksMs[i]);
            const double second = check.positionAt[size_t(i)] - double(track.clicksMs[i]);
            for (const double value : { first, second }) {
                if (!std::isnan(value))
                    late.push_back(value);
            }
            // Taps at the clicks' recorded instants on the second run calibrate.
            if (!std::isnan(first))
                taps.append(qint64(std::llround(calibration.positionAt[size_t(i)])));
            std::printf("%5lld  %8lld   %47.1f ms %8.1f ms\n", (long long)i + 1, (long long)track.clicksMs[i],
                first, second);
        }
        const TapCalibration result = CalibrateTaps(track.clicksMs, taps);
        if (!result.ok) {
            state.SkipWithError(qPrintable(result.reason));
            return;
        }
        // Taps at the recorded instants of the third run, stamped as the page stamps them.
        double worst = 0;
        double sum = 0;
        int stampedCount = 0;
        for (qsizetype i = 0; i < track.clicksMs.size(); ++i) {
            if (std::isnan(check.positionAt[size_t(i)]))
                continue;
            const qint64 stamped = qint64(std::llround(check.positionAt[size_t(i)])) - result.offsetMs;
            const double error = double(stamped - track.clicksMs[i]);
            worst = std::max(worst, std::abs(error));
            sum += std::abs(error);
            ++stampedCount;
        }
        const auto [low, high] = std::minmax_element(late.begin(), late.end());
        double mean = 0;
        for (const double value : late)
            mean += value;
        mean /= double(late.size());
        std::printf("player ahead of the sound: mean %.1f ms, %.1f..%.1f ms over %zu clicks\n", mean, *low,
            *high, late.size());
        std::printf(
            "calibrated %s (spread %d ms); run 3 taps stamped off their clicks: mean %.1f ms, worst %.1f ms "
            "(%s 20 ms)\n",
            qPrintable(TapOffsetText(result.offsetMs)), result.spreadMs, sum / qMax(1, stampedCount), worst,
            worst <= 20 ? "within" : "NOT within");
        std::fflush(stdout);
        state.counters["late_mean_ms"] = mean;
        state.counters["late_min_ms"] = *low;
        state.counters["late_max_ms"] = *high;
        state.counters["offset_ms"] = result.offsetMs;
        state.counters["stamp_worst_ms"] = worst;
        state.counters["clicks_missing"] = 2 * track.clicksMs.size() - calibration.heard - check.heard;
    }
}
BENCHMARK(BM_TapLatencyThroughSoundServer)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

KELTO_BENCHMARK_MAIN()
