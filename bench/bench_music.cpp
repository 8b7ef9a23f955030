#include "bench_main.h"
#include "form1.h"
#include "music/playback_clock.h"
#include "music/show_time.h"
#include "music/waveform_reader.h"
#include "rehearsal_page.h"
#include "waveform_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Music made once per run: a 10-minute MP3 of noise under a tremolo (sox, lame), and a click track.
class BenchMusic {
public:
    static BenchMusic& get()
    {
        static BenchMusic music;
        return music;
    }
    QString tenMinutes;
    QString clicks;
    QString problem;

private:
    BenchMusic()
    {
        tenMinutes = m_dir.filePath(QStringLiteral("zehn.mp3"));
        clicks = m_dir.filePath(QStringLiteral("klick.wav"));
        if (!run(QStringLiteral(
                "sox -n -r 44100 -c 2 -t wav - synth 600 pinknoise tremolo 2 70 vol 0.5 | lame "
                "--quiet -b 192 - '%1'")
                     .arg(tenMinutes))
            || !run(QStringLiteral("sox -n -r 44100 -c 2 '%1' synth 0.01 sine 1000 pad 0 0.24 repeat 239")
                        .arg(clicks)))
            problem = QStringLiteral("sox and lame make the music");
    }
    static bool run(const QString& command)
    {
        QProcess shell;
        shell.start(QStringLiteral("sh"), { QStringLiteral("-c"), command });
        return shell.waitForFinished(300000) && shell.exitCode() == 0;
    }
    QTemporaryDir m_dir;
};

// A shown window on the page "Probelauf", with an event-loop watch: the longest time the window's
// thread was busy between two 5 ms timer ticks.
class MusicWindow {
public:
    MusicWindow()
    {
        window.show();
        QElapsedTimer waited;
        waited.start();
        while (!window.isVisible() && waited.elapsed() < 5000)
            QApplication::processEvents();
        window.SSTab1->setCurrentIndex(3);
        watch.setTimerType(Qt::PreciseTimer);
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [this] {
            if (sinceTick.isValid())
                longestGapMs = std::max(longestGapMs, sinceTick.nsecsElapsed() / 1e6 - 5);
            sinceTick.start();
        });
    }
    // Sleeps in the event loop, looking every 5 ms (processEvents with a time limit would spin).
    static bool waitFor(const std::function<bool()>& done, int ms)
    {
        if (done())
            return true;
        QEventLoop loop;
        QTimer look;
        look.setInterval(5);
        QObject::connect(&look, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        look.start();
        loop.exec();
        return done();
    }
    bool load(const QString& path)
    {
        window.document().setMusic(window.document().revision(), path);
        return waitFor(
            [&] {
                return window.Rehearsal->MediaPlayer1->duration() > 0
                    && !window.Rehearsal->WaveReader1->isReading();
            },
            60000);
    }

    Form1 window;
    QTimer watch;
    QElapsedTimer sinceTick;
    double longestGapMs = 0;
};

// Resident memory of the process in MB.
double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1024 * 1024) : 0;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
}

// From "Musik wählen" to the finished waveform of a 10-minute MP3, with the window's longest pause.
void BM_WaveformOfTenMinuteMp3(benchmark::State& state)
{
    BenchMusic& music = BenchMusic::get();
    if (!music.problem.isEmpty()) {
        state.SkipWithError(qPrintable(music.problem));
        return;
    }
    double longest = 0;
    double cpuUsed = 0;
    double residentGrowth = 0;
    qsizetype bytes = 0;
    for (auto _ : state) {
        MusicWindow w;
        std::shared_ptr<const Waveform> waveform;
        QObject::connect(w.window.Rehearsal->WaveReader1, &WaveformReader::finished,
            [&](std::shared_ptr<const Waveform> done) { waveform = std::move(done); });
        w.watch.start();
        const double resident = residentMb();
        const double cpu = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        w.window.document().setMusic(w.window.document().revision(), music.tenMinutes);
        if (!w.waitFor([&] { return waveform != nullptr; }, 60000)) {
            state.SkipWithError("the waveform did not come");
            return;
        }
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        cpuUsed = std::max(cpuUsed, cpuSeconds() - cpu);
        // The process as a whole, with the player's pipeline and what GStreamer loads on first use.
        residentGrowth = std::max(residentGrowth, residentMb() - resident);
        longest = std::max(longest, w.longestGapMs);
        bytes = waveform->bytes();
        if (waveform->durationMs < 599000) {
            state.SkipWithError("decoded less than 10 minutes");
            return;
        }
    }
    state.counters["window_pause_ms"] = longest;
    state.counters["peaks_kB"] = double(bytes) / 1024;
    // Both cores together: what the reading costs without the other programs on the machine.
    state.counters["cpu_s"] = cpuUsed;
    state.counters["resident_growth_MB"] = residentGrowth;
}
BENCHMARK(BM_WaveformOfTenMinuteMp3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

// Ten seconds of the MP3 playing on the page: cursor steps a second and the process's CPU time (all
// threads, GStreamer's too) as a share of one core.
void BM_PlaybackCursorAndCpu(benchmark::State& state)
{
    BenchMusic& music = BenchMusic::get();
    if (!music.problem.isEmpty()) {
        state.SkipWithError(qPrintable(music.problem));
        return;
    }
    MusicWindow w;
    if (!w.load(music.tenMinutes)) {
        state.SkipWithError("the music did not open");
        return;
    }
    double cursorSteps = 0;
    double cpuShare = 0;
    for (auto _ : state) {
        w.window.Rehearsal->MediaPlayer1->seek(60000);
        w.window.Rehearsal->Command6_Click(1);
        w.waitFor([&] { return w.window.Rehearsal->MediaPlayer1->position() > 60100; }, 5000);
        const int movesBefore = w.window.Rehearsal->Picture1->cursorMoves();
        const int paintsBefore = w.window.Rehearsal->Picture1->paintCount();
        const double cpu = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        // Nothing of the benchmark's own runs meanwhile: the event loop sleeps until Kelto has work.
        QEventLoop loop;
        QTimer::singleShot(10000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = timer.nsecsElapsed() / 1e9;
        const double used = cpuSeconds() - cpu;
        cursorSteps = (w.window.Rehearsal->Picture1->cursorMoves() - movesBefore) / wall;
        cpuShare = 100 * used / wall;
        state.counters["paints_per_s"] = (w.window.Rehearsal->Picture1->paintCount() - paintsBefore) / wall;
        w.window.Rehearsal->Command6_Click(1);
        state.SetIterationTime(wall);
    }
    state.counters["cursor_steps_per_s"] = cursorSteps;
    state.counters["cpu_percent_of_a_core"] = cpuShare;
}
BENCHMARK(BM_PlaybackCursorAndCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// Space bar presses posted at known instants, 137 ms apart so they fall anywhere between the player's
// reports, while the click track plays: each stamp against the player's own position at the press.
void BM_TapStampError(benchmark::State& state)
{
    BenchMusic& music = BenchMusic::get();
    if (!music.problem.isEmpty()) {
        state.SkipWithError(qPrintable(music.problem));
        return;
    }
    MusicWindow w;
    if (!w.load(music.clicks)) {
        state.SkipWithError("the click track did not open");
        return;
    }
    auto* player = w.window.Rehearsal->MediaPlayer1->findChild<QMediaPlayer*>();
    w.window.Rehearsal->Check1->setChecked(true);
    w.window.Rehearsal->Picture1->setFocus();
    double worst = 0;
    double sum = 0;
    int taps = 0;
    for (auto _ : state) {
        w.window.Rehearsal->MediaPlayer1->stop();
        w.window.Rehearsal->Command6_Click(1);
        w.waitFor([&] { return w.window.Rehearsal->MediaPlayer1->position() > 200; }, 5000);
        QElapsedTimer timer;
        timer.start();
        for (int k = 1; k <= 40; ++k) {
            w.waitFor([&] { return timer.elapsed() >= k * 137; }, 1000);
            const qint64 truth = player->position();
            QCoreApplication::postEvent(w.window.Rehearsal->Picture1,
                new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
            QCoreApplication::postEvent(w.window.Rehearsal->Picture1,
                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
            const qint64 stamped = w.window.Rehearsal->TapStampMs;
            w.waitFor([&] { return w.window.Rehearsal->TapStampMs != stamped; }, 1000);
            const double error = std::abs(double(w.window.Rehearsal->TapStampMs - ShowTimeMs(truth, 0)));
            worst = std::max(worst, error);
            sum += error;
            ++taps;
        }
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        w.window.Rehearsal->Command6_Click(1);
    }
    state.counters["taps"] = taps;
    state.counters["mean_error_ms"] = taps ? sum / taps : 0;
    state.counters["max_error_ms"] = worst;
}
BENCHMARK(BM_TapStampError)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3);

} // namespace

KELTO_BENCHMARK_MAIN()
