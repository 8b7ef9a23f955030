#include "bench_main.h"
#include "files/crew_sheet.h"
#include "files/csv_file.h"

#include <QBuffer>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

namespace {

// Every device, times up to 18 hours.
ShotList fullList()
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 383;
        list.circuits[i] = qint16((i * 37) % 255);
    }
    return list;
}

// The whole crew sheet of a full list as an A4 PDF in memory.
void BM_CrewSheetPdf(benchmark::State& state)
{
    const CrewSheet sheet { fullList(), QStringLiteral("show.fsl"), QStringLiteral("Probe"),
        QDateTime::currentDateTime(), QString(), 0 };
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        if (PaintCrewSheet(writer, sheet) == 0)
            state.SkipWithError("nothing drawn");
        benchmark::DoNotOptimize(buffer.data().size());
    }
}
BENCHMARK(BM_CrewSheetPdf)->Unit(benchmark::kMillisecond);

// The heaviest sheet: 170 entries on one circuit, each with a long effect, a long comment and music;
// the wiring plan's row of that circuit runs over several pages.
void BM_CrewSheetPdfOneCircuitWithEffects(benchmark::State& state)
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 2;
        list.circuits[i] = 5;
        list.effects[i] = QStringLiteral("Römisches Licht Silberweide mit Goldschweif Nr. %1").arg(i + 1);
    }
    const CrewSheet sheet { list, QStringLiteral("show.fsl"),
        QStringLiteral("Sicherheitsabstand 50 m; Kontakt Einsatzleitung 0171 2345678; bei Regen abdecken. ")
            .repeated(4),
        QDateTime::currentDateTime(), QStringLiteral("/shows/finale.mp3"), -30 };
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        if (PaintCrewSheet(writer, sheet) == 0)
            state.SkipWithError("nothing drawn");
        benchmark::DoNotOptimize(buffer.data().size());
    }
}
BENCHMARK(BM_CrewSheetPdfOneCircuitWithEffects)->Unit(benchmark::kMillisecond);

void BM_CsvWrite(benchmark::State& state)
{
    const ShotList list = fullList();
    for (auto _ : state)
        benchmark::DoNotOptimize(ShotListCsvBytes(list));
}
BENCHMARK(BM_CsvWrite)->Unit(benchmark::kMicrosecond);

void BM_CsvRead(benchmark::State& state)
{
    const QByteArray bytes = ShotListCsvBytes(fullList());
    for (auto _ : state) {
        const CsvImport imported = ReadShotListCsv(bytes);
        if (!imported.list)
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(imported.list);
    }
}
BENCHMARK(BM_CsvRead)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
