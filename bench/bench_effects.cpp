#include "bench_main.h"
#include "effects/catalogue_import.h"
#include "effects/effect_catalogue.h"
#include "effects/list_effect_data.h"
#include "effects/material_list.h"
#include "files/csv_file.h"
#include "files/fsl_file.h"
#include "files/list_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QStringList Kinds = { QStringLiteral("Kometen"), QStringLiteral("Bombe"), QStringLiteral("Vulkan"),
    QStringLiteral("Fontäne"), QStringLiteral("Batterie"), QStringLiteral("Römisches Licht") };

// An article with every field known, its name of realistic length.
EffectData article(int i)
{
    EffectData data;
    data.name
        = QStringLiteral("%1 %2 mm Nr. %3 „Gold“").arg(Kinds[i % Kinds.size()]).arg(20 + i % 150).arg(i);
    data.art = EffectArt(i % EffectArtCount);
    data.caliberMm = 20 + i % 150;
    data.prefireTenths = i % 60;
    data.durationTenths = 10 + i % 300;
    data.heightM = 20 + i % 200;
    data.safetyDistanceM = 10 + i % 250;
    data.nemTenthsGram = 100 + (i * 37) % 50000;
    data.effectClass = EffectClass(i % EffectClassCount);
    data.stock = i % 40;
    return data;
}

EffectCatalogue benchCatalogue(int count)
{
    EffectCatalogue catalogue;
    for (int i = 0; i < count; ++i)
        catalogue.add(article(i));
    return catalogue;
}

// The full list with one effect per entry: `names` different names in turn.
ShotList listWithEffects(int names)
{
    ShotList list = FullBenchList();
    for (int i = 0; i < EntryCount; ++i)
        list.effects[i] = article(i % names).name;
    return list;
}

EffectDataMap dataOf(int names)
{
    EffectDataMap data;
    for (int i = 0; i < names; ++i) {
        EffectData item = article(i);
        item.stock.reset();
        data.insert(item.name, item);
    }
    return data;
}

// Loading the catalogue file at start-up.
void BM_LoadCatalogue(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(CatalogueFileName);
    QString error;
    if (!WriteCatalogueFile(path, benchCatalogue(int(state.range(0))), &error)) {
        state.SkipWithError("the catalogue was not written");
        return;
    }
    for (auto _ : state) {
        const CatalogueRead read = ReadCatalogueFile(path);
        if (read.catalogue.size() != state.range(0)) {
            state.SkipWithError("the catalogue was not read");
            break;
        }
    }
}
BENCHMARK(BM_LoadCatalogue)->ArgName("articles")->Arg(5000)->Unit(benchmark::kMillisecond);

// What a file too large or too long costs before it is refused.
void BM_RefuseHugeCatalogue(benchmark::State& state)
{
    QByteArray bytes = CatalogueBytes(EffectCatalogue());
    if (state.range(0) == 0) {
        bytes += QByteArray(MaxCsvBytes, 'x');
    } else {
        while (bytes.size() < MaxCsvBytes - 200)
            bytes += "Effekt;Bombe;75;3,2;2,5;80;60;45,0;F3;10\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(CatalogueFileName);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    for (auto _ : state) {
        if (ReadCatalogueFile(path).ok()) {
            state.SkipWithError("the file was read");
            break;
        }
    }
}
BENCHMARK(BM_RefuseHugeCatalogue)->ArgName("rows")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// "Katalog importieren…": a table of 5,000 articles read and planned against a catalogue that holds every
// second one already with other values.
void BM_ImportCatalogueTable(benchmark::State& state)
{
    const int rows = int(state.range(0));
    const QByteArray table = CatalogueBytes(benchCatalogue(rows));
    EffectCatalogue catalogue;
    for (int i = 0; i < rows; i += 2) {
        EffectData older = article(i);
        older.stock = 1000;
        catalogue.add(older);
    }
    for (auto _ : state) {
        const CatalogueImportTable read = ReadCatalogueImport(table);
        if (state.range(1) == 0) {
            benchmark::DoNotOptimize(read);
            continue;
        }
        const CatalogueImportPlan plan = PlanCatalogueImport(catalogue, read);
        if (!read.ok() || plan.withUpdated.size() != rows) {
            state.SkipWithError("the table was not taken");
            break;
        }
    }
}
BENCHMARK(BM_ImportCatalogueTable)
    ->ArgNames({ "rows", "planned" })
    ->Args({ 5000, 0 })
    ->Args({ 5000, 1 })
    ->Unit(benchmark::kMillisecond);

// A table with more rows than a catalogue may have: refused.
void BM_RefuseHugeImport(benchmark::State& state)
{
    QByteArray table("Artikel;NEM (g)\n");
    for (int i = 0; table.size() < MaxCsvBytes - 100; ++i)
        table += "E" + QByteArray::number(i) + ";1\n";
    for (auto _ : state) {
        if (ReadCatalogueImport(table).ok()) {
            state.SkipWithError("the table was taken");
            break;
        }
    }
}
BENCHMARK(BM_RefuseHugeImport)->Unit(benchmark::kMillisecond);

// The material of a full list against a catalogue of 5,000 articles, with the lines a check prints.
void BM_MaterialList(benchmark::State& state)
{
    const int names = int(state.range(0));
    const ShotList list = listWithEffects(names);
    const EffectDataMap data = dataOf(names);
    const EffectCatalogue catalogue = benchCatalogue(5000);
    for (auto _ : state) {
        const MaterialList material = ComputeMaterial(list, data, &catalogue);
        const QStringList lines = MaterialCheckLines(material);
        benchmark::DoNotOptimize(lines.size());
    }
}
BENCHMARK(BM_MaterialList)->ArgName("names")->Arg(20)->Arg(170)->Unit(benchmark::kMicrosecond);

// The [Kelto] keys of 170 different effects, written and read back.
void BM_EffectDataKeys(benchmark::State& state)
{
    const ShotList list = listWithEffects(EntryCount);
    const EffectDataMap data = dataOf(EntryCount);
    for (auto _ : state) {
        const EffectDataDecode decoded = DecodeEffectDataKeys(EffectDataKeys(list, data));
        if (decoded.data.size() != EntryCount) {
            state.SkipWithError("the data was not read back");
            break;
        }
    }
}
BENCHMARK(BM_EffectDataKeys)->Unit(benchmark::kMicrosecond);

// A full list with data for 170 different effects saved and loaded as the window does it: the file's
// bytes made from the document's data, written, and read back whole with its data.
void BM_SaveAndLoadListWithData(benchmark::State& state)
{
    const ShotList list = listWithEffects(EntryCount);
    ListMeta meta;
    meta.comment = QStringLiteral("Silvester – Hafen, Finale");
    meta.effectData = dataOf(EntryCount);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show.fsl"));
    for (auto _ : state) {
        const QByteArray bytes = ListFileBytes(list, meta, path);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            state.SkipWithError("the file was not written");
            break;
        }
        file.close();
        const ListFileRead read = ReadListFile(path);
        if (!read.ok() || read.meta.effectData.size() != EntryCount) {
            state.SkipWithError("the data was not read back");
            break;
        }
    }
}
BENCHMARK(BM_SaveAndLoadListWithData)->Unit(benchmark::kMicrosecond);

// What a completer asks for each key typed: every name starting with the text so far.
void BM_CompleterPrefix(benchmark::State& state)
{
    const EffectCatalogue catalogue = benchCatalogue(5000);
    const QStringList typed = { QStringLiteral("k"), QStringLiteral("Kometen"), QStringLiteral("Kometen 2"),
        QStringLiteral("r"), QStringLiteral("Römisches Licht 1"), QStringLiteral("x") };
    qsizetype found = 0;
    for (auto _ : state) {
        for (const QString& prefix : typed)
            found += catalogue.namesStartingWith(prefix).size();
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * typed.size());
}
BENCHMARK(BM_CompleterPrefix)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
