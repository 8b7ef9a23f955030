#include "bench_main.h"
#include "files/crew_sheet.h"
#include "files/csv_file.h"

#include <QBuffer>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

namespace {

// Every device, times up to 18 hours, an effect on every entry.
ShotList fullList()
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 383;
        list.circuits[i] = qint16((i * 37) % 255);
        list.effects[i] = QStringLiteral("Bombe 75 mm Chrysantheme blau %1").arg(i);
    }
    return list;
}

// A full show as a show-design program exports it: 29 columns, UTF-16, tab, unsorted rows.
QByteArray finaleShow()
{
    const QString header = QStringLiteral(
        "FIRING_HEADER_ROW\tTime Cue Number\tIgnition Event Time\tNumber Of Devices\tDuration\tCoordinates\t"
        "Chain Identifier\tLockout Identifier\tDevice Delay\tPrefire Delay\tEffect Name\tCaliber\tCategory\t"
        "Angles\tPosition Name\tAnimation Description\tModule Description\tModule Address\tSlat Address\tPin "
        "Address\tFiring Notes\tProduct ID\tManufacturer Product ID\tAnimation ID\tLocation "
        "Primary\tLocation "
        "Secondary\tPrice Per Device\tMortar Caliber\tTrack Identifier\r\n");
    QString text = header;
    for (int i = 0; i < EntryCount; ++i) {
        const int row = (i * 7) % EntryCount;
        text += QStringLiteral("FIRING_DATA_ROW\t%1\t%2.%3s\t1\t4.50s\t1 2 3\t\t\t0.00s\t2.00s\tBombe %1 "
                               "Chrysantheme\t75mm\tShell\t0\tPos %4\t\tModule %4\t%4\t\t%5\t\tP-%1\t\t\t\t\t"
                               "1.00\t75mm\t\r\n")
                    .arg(row + 1)
                    .arg(FormatClock(row * 383))
                    .arg(row % 2 ? QStringLiteral("50") : QStringLiteral("00"))
                    .arg(1 + row / 32)
                    .arg(1 + row % 32);
    }
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

// The sheet as an A4 PDF in memory, once per iteration.
void paintRepeatedly(benchmark::State& state, const CrewSheet& sheet)
{
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

// The whole crew sheet of a full list as an A4 PDF in memory.
void BM_CrewSheetPdf(benchmark::State& state)
{
    const CrewSheet sheet { fullList(), QStringLiteral("show.fsl"), QStringLiteral("Probe"),
        QDateTime::currentDateTime(), QString(), 0, {}, std::nullopt };
    paintRepeatedly(state, sheet);
}
BENCHMARK(BM_CrewSheetPdf)->Unit(benchmark::kMillisecond);

// The heaviest sheet: 170 entries on one circuit, each with a long effect of its own with data and
// stock, a long comment and music; the wiring plan's row of that circuit runs over several pages and
// the material over two.
void BM_CrewSheetPdfOneCircuitWithEffects(benchmark::State& state)
{
    ShotList list = ShotList::startup();
    EffectDataMap data;
    EffectCatalogue catalogue;
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 2;
        list.circuits[i] = 5;
        list.effects[i] = QStringLiteral("Römisches Licht Silberweide mit Goldschweif Nr. %1").arg(i + 1);
        EffectData item;
        item.name = list.effects[i];
        item.art = EffectArt::RoemischesLicht;
        item.caliberMm = 30;
        item.nemTenthsGram = 125 + i;
        item.effectClass = EffectClass::F3;
        item.safetyDistanceM = 25;
        item.heightM = 30;
        data.insert(item.name, item);
        item.stock = i % 3;
        catalogue.add(item);
    }
    const CrewSheet sheet { list, QStringLiteral("show.fsl"),
        QStringLiteral("Sicherheitsabstand 50 m; Kontakt Einsatzleitung 0171 2345678; bei Regen abdecken. ")
            .repeated(4),
        QDateTime::currentDateTime(), QStringLiteral("/shows/finale.mp3"), -30, data, catalogue };
    paintRepeatedly(state, sheet);
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

// A show-design export (circuits counted from 1) imported once per iteration.
void importRepeatedly(benchmark::State& state, const QByteArray& bytes)
{
    CsvImportOptions options;
    options.circuitsFrom = 1;
    for (auto _ : state) {
        const CsvImport imported = ReadShotListCsv(bytes, options);
        if (!imported.list)
            state.SkipWithError(qPrintable(imported.problems.value(0)));
        benchmark::DoNotOptimize(imported.list);
    }
}

// 170 entries whose effects a spreadsheet would run as formulas: every cell gets its apostrophe.
void BM_CsvWriteEscapedEffects(benchmark::State& state)
{
    ShotList list = fullList();
    const QString starts[]
        = { QStringLiteral("="), QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("@") };
    for (int i = 0; i < EntryCount; ++i)
        list.effects[i]
            = starts[i % 4] + QStringLiteral("HYPERLINK(\"http://x.example/%1\";\"Bombe\")").arg(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(ShotListCsvBytes(list));
}
BENCHMARK(BM_CsvWriteEscapedEffects)->Unit(benchmark::kMicrosecond);

// A 170-row show-design export, comma-separated, every time in seconds with three decimals
// ("3.000" … "268.330"): the format, the delimiter and the range settle the decimal point.
void BM_CsvReadShowDesignThreeDecimals(benchmark::State& state)
{
    QString text = QStringLiteral(
        "FIRING_HEADER_ROW,Time Cue Number,Ignition Event Time,Effect Name,Module Address,Pin Address\r\n");
    for (int i = 0; i < EntryCount; ++i) {
        const int ms = 3000 + i * 1570;
        text += QStringLiteral("FIRING_DATA_ROW,%1,%2.%3,Bombe %1,%4,%5\r\n")
                    .arg(i + 1)
                    .arg(ms / 1000)
                    .arg(ms % 1000, 3, 10, QLatin1Char('0'))
                    .arg(1 + i / 32)
                    .arg(1 + i % 32);
    }
    importRepeatedly(state, text.toUtf8());
}
BENCHMARK(BM_CsvReadShowDesignThreeDecimals)->Unit(benchmark::kMillisecond);

// One evaluation of the import preview for a show-design export.
void BM_CsvReadFinale(benchmark::State& state) { importRepeatedly(state, finaleShow()); }
BENCHMARK(BM_CsvReadFinale)->Unit(benchmark::kMicrosecond);

// The largest file read: 4 MB of rows, refused after its first rows.
void BM_CsvReadLargest(benchmark::State& state)
{
    QByteArray bytes = "Zeit;Modul;Pin;Effekt\n";
    while (bytes.size() < MaxCsvBytes - 64)
        bytes += QByteArray::number(bytes.size() % 60000) + ";1;2;Bombe 75 mm\n";
    for (auto _ : state) {
        const CsvImport imported = ReadShotListCsv(bytes);
        if (imported.list)
            state.SkipWithError("taken");
        benchmark::DoNotOptimize(imported.problems);
    }
}
BENCHMARK(BM_CsvReadLargest)->Unit(benchmark::kMillisecond);

} // namespace

KELTO_BENCHMARK_MAIN()
