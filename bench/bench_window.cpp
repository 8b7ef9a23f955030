// The window at full-screen size: painting the rehearsal picture and repainting each page on a resize.
#include "bench_main.h"
#include "form1.h"
#include "rehearsal_page.h"
#include "shotlist/list_document.h"
#include "waveform_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QTabWidget>

#include <cmath>

namespace {

constexpr int ShowSeconds = 600;

// Counts the paints of a page, to show that each resize painted it.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* page) { page->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

// 170 entries over ten minutes on four devices, a few of them close together.
ShotList tenMinuteShow()
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * (ShowSeconds - 5) / EntryCount + (i % 7 == 0 ? 1 : 0);
        list.circuits[i] = qint16((i % 4) * 32 + (i / 4) % 32);
        list.effects[i] = QStringLiteral("Bombe 75 mm Chrysantheme %1").arg(i);
    }
    return list;
}

// Ten minutes of peaks swelling and falling, as the reader makes them.
std::shared_ptr<const Waveform> tenMinuteWaveform()
{
    auto waveform = std::make_shared<Waveform>();
    const int peaks = ShowSeconds * 1000 / Waveform::PeakMs;
    waveform->peaks.resize(size_t(peaks));
    for (int i = 0; i < peaks; ++i) {
        const double level = 0.2 + 0.7 * std::abs(std::sin(i / 900.0));
        waveform->peaks[size_t(i)].high = qint16(32767 * level);
        waveform->peaks[size_t(i)].low = qint16(-32767 * level * 0.9);
    }
    waveform->durationMs = qint64(ShowSeconds) * 1000;
    return waveform;
}

// One paint of the picture 1920 pixels wide: arg 0 as the cursor moves (the waveform image kept),
// arg 1 after the view moved (the waveform image made anew).
void BM_RehearsalPicturePaint(benchmark::State& state)
{
    ListDocument document;
    document.reset(tenMinuteShow());
    WaveformView view(document);
    view.resize(1920, 700);
    view.setMusic(qint64(ShowSeconds) * 1000, tenMinuteWaveform());
    view.setSelectedSlot(42);
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    const bool moveView = state.range(0) == 1;
    view.render(&target);
    qint64 cursor = 0;
    for (auto _ : state) {
        view.setCursorTime(cursor += 25);
        if (moveView) {
            state.PauseTiming();
            view.zoomIn();
            view.zoomOut();
            state.ResumeTiming();
        }
        view.render(&target);
    }
    state.counters["marks"] = double(view.drawnLanes().marks.size());
}
BENCHMARK(BM_RehearsalPicturePaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The maximised window (1920×1080) resized by a few pixels and painted, on each page (arg): the page's
// elements placed anew and every one of them painted.
void BM_ResizeMaximisedRepaint(benchmark::State& state)
{
    Form1 window;
    window.document().reset(tenMinuteShow());
    window.resize(1920, 1080);
    window.show();
    window.SSTab1->setCurrentIndex(int(state.range(0)));
    window.Rehearsal->Picture1->setMusic(qint64(ShowSeconds) * 1000, tenMinuteWaveform());
    QApplication::processEvents();
    PaintCounter painted(window.Frame1[int(state.range(0))]);
    bool smaller = false;
    for (auto _ : state) {
        smaller = !smaller;
        window.resize(smaller ? QSize(1904, 1064) : QSize(1920, 1080));
        // Places the elements and paints what changed, as the event loop does after a resize.
        QApplication::processEvents();
    }
    state.counters["page_paints"]
        = benchmark::Counter(double(painted.count), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ResizeMaximisedRepaint)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace

KELTO_BENCHMARK_MAIN();
