// The catalogue page's model under a long catalogue: an edit typed into a cell (read, checked, one undo
// step, the sorted and filtered view told) and the shot counts after a change of the list.
#include "bench_main.h"
#include "effects/catalogue_filter.h"
#include "effects/catalogue_model.h"

namespace {

EffectCatalogue longCatalogue(int count)
{
    QByteArray table = CatalogueBytes(EffectCatalogue());
    for (int i = 0; i < count; ++i)
        table += QStringLiteral("Artikel %1;Bombe;%2;%3,5;2,0;80;%4;45,0;F3;%5\r\n")
                     .arg(i)
                     .arg(20 + i % 150)
                     .arg(i % 9)
                     .arg(10 + i % 90)
                     .arg(i % 40)
                     .toUtf8();
    return ReadCatalogue(table).catalogue;
}

void BM_EditCellInSortedView(benchmark::State& state)
{
    CatalogueModel model;
    model.setCatalogue(longCatalogue(int(state.range(0))));
    CatalogueFilter filter;
    filter.setSourceModel(&model);
    filter.sort(CatalogueModel::CaliberColumn);
    const QModelIndex cell = model.index(model.rowCount() / 2, CatalogueModel::CaliberColumn);
    int value = 0;
    for (auto _ : state) {
        model.setData(cell, QString::number(20 + value++ % 200));
        benchmark::DoNotOptimize(filter.rowCount());
    }
}
BENCHMARK(BM_EditCellInSortedView)->ArgName("articles")->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_ShotsAfterListChange(benchmark::State& state)
{
    CatalogueModel model;
    model.setCatalogue(longCatalogue(5000));
    ShotList lists[2] = { FullBenchList(), FullBenchList() };
    for (int i = 0; i < EntryCount; ++i) {
        lists[0].effects[i] = QStringLiteral("Artikel %1").arg(i);
        lists[1].effects[i] = QStringLiteral("Artikel %1").arg(i % 20);
    }
    int turn = 0;
    for (auto _ : state)
        model.setList(lists[turn++ % 2], EntryCount);
}
BENCHMARK(BM_ShotsAfterListChange)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
