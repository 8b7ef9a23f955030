#include "bench_main.h"
#include "files/fsl_file.h"
#include "files/list_file.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

namespace {

// The full benchmark list, with an effect of 60 characters on every entry when asked.
ShotList benchList(bool effects)
{
    ShotList list = FullBenchList();
    for (int i = 0; effects && i < EntryCount; ++i)
        list.effects[i] = QStringLiteral("Kometen rot 50 mm, Nr. %1 ")
                              .arg(i + 1)
                              .leftJustified(EffectMaxLength, QLatin1Char('x'));
    return list;
}

// The bytes of a full list file, block included: what saving writes.
void BM_ListFileBytes(benchmark::State& state)
{
    const ShotList list = benchList(state.range(0) != 0);
    ListMeta meta;
    meta.comment = QStringLiteral("Silvester – Hafen, Finale");
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray bytes = ListFileBytes(list, meta, QStringLiteral("/tmp/show.fsl"));
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_ListFileBytes)->ArgName("effects")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Reading those bytes back, [Kelto] block included: what loading reads.
void BM_ReadShotListFile(benchmark::State& state)
{
    const bool effects = state.range(0) != 0;
    const QByteArray bytes = ListFileBytes(benchList(effects), ListMeta(), QStringLiteral("/tmp/show.fsl"));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const std::optional<FslContent> content = ReadShotListFile(buffer, ListFileSignature);
        if (!content || (effects && content->list.effects[169].isEmpty())) {
            state.SkipWithError("the list was not read back");
            break;
        }
        benchmark::DoNotOptimize(content->list.times[0]);
    }
}
BENCHMARK(BM_ReadShotListFile)->ArgName("effects")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
