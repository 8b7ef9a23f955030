// The rehearsal picture of a 10-minute show, 170 entries with Vorlauf, Dauer and a target each:
// bursts, lines back to the ignitions, Dauer bars and shaded dead air at 1920 pixels wide
// (target: under 8 ms a paint).
#include "bench_main.h"

#include "music/waveform.h"
#include "shotlist/list_document.h"
#include "waveform_view.h"

#include <QImage>
#include <QPainter>

#include <cmath>

namespace {

void BM_BurstPicture(benchmark::State& state)
{
    ListDocument document;
    ShotList list = ShotList::startup();
    ListMeta meta;
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 35 / 10; // 0 .. 591 s
        list.circuits[i] = qint16((i % 8) * 32 + i / 8);
        EffectData effect;
        effect.name = QStringLiteral("Effekt %1").arg(i % 40);
        effect.prefireTenths = 5 + (i % 40) * 13 % 56;
        effect.durationTenths = 10 + (i % 40) * 7 % 40;
        meta.effectData.insert(effect.name, effect);
        list.effects[i] = effect.name;
        list.targets[i] = list.times[i] * 1000 + *effect.prefireTenths * 100 + (i * 137) % 900 - 450;
    }
    document.reset(list, meta);

    auto waveform = std::make_shared<Waveform>();
    waveform->durationMs = 600000;
    waveform->peaks.resize(size_t(waveform->durationMs / Waveform::PeakMs));
    for (size_t k = 0; k < waveform->peaks.size(); ++k) {
        const auto level = qint16(20000 * std::abs(std::sin(double(k) / 37)));
        waveform->peaks[k] = { qint16(-level), level };
    }

    WaveformView view(document);
    view.resize(1920, 400);
    view.setMusic(waveform->durationMs, waveform);
    view.setGapThreshold(1000); // many stretches shaded
    view.setSelectedSlot(30);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    view.render(&image); // the waveform's image is made once, as on screen
    for (auto _ : state) {
        view.render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["gaps"] = double(view.skyGaps().size());
    state.counters["bursts"] = double(view.skyMarks().size());
}
BENCHMARK(BM_BurstPicture)->Unit(benchmark::kMillisecond);

} // namespace

KELTO_BENCHMARK_MAIN()
