// libFuzzer target: the CSV reader on any bytes with a few choices of the user; what it accepts is a
// valid list, and it exports and reads back unchanged.
#include "effects/effect_data.h"
#include "files/csv_file.h"
#include "shotlist/stored_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkImport(const CsvImport& imported)
{
    check(imported.list.has_value() == imported.problems.isEmpty());
    // Row problems and those of the file are capped apart, plus one line counting the rest.
    check(imported.problems.size() <= 2 * MaxCsvProblems + 1);
    check(imported.rows.size() <= EntryCount);
    if (!imported.list)
        return;

    // Entries first, strictly rising and valid, effects a list file holds; everything behind them empty.
    const ShotList& list = *imported.list;
    int entries = 0;
    while (entries < EntryCount && list.times[entries] != EmptyTime)
        ++entries;
    check(entries > 0);
    check(entries == imported.summary.shots && entries == imported.rows.size());
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (slot < entries) {
            check(list.times[slot] >= 0 && list.times[slot] <= LastValidTime);
            check(slot == 0 || list.times[slot] > list.times[slot - 1]);
            check(list.circuits[slot] >= 0 && list.circuits[slot] <= NoCircuit);
            check(EffectRefusal(list.effects[slot]).isEmpty());
            check(list.effects[slot] == list.effects[slot].trimmed());
            check(imported.rows[slot].time == list.times[slot]
                && imported.rows[slot].circuit == list.circuits[slot]
                && imported.rows[slot].effect == list.effects[slot]);
        } else {
            check(list.times[slot] == EmptyTime && list.circuits[slot] == NoCircuit
                && list.effects[slot].isEmpty());
        }
    }
    if (imported.summary.withoutCircuits) {
        for (int slot = 0; slot < entries; ++slot)
            check(list.circuits[slot] == NoCircuit);
    }

    // Data only for effects of the list, valid, without stock.
    for (auto it = imported.effectData.cbegin(); it != imported.effectData.cend(); ++it) {
        check(it.key() == it.value().name && !it.key().isEmpty());
        check(std::find(std::begin(list.effects), std::begin(list.effects) + entries, it.key())
            != std::begin(list.effects) + entries);
        check(EffectDataProblems(it.value()).isEmpty() && !it.value().stock);
    }

    const CsvImport again = ReadShotListCsv(ShotListCsvBytes(list, imported.effectData));
    check(again.list.has_value());
    // The export writes Vorlauf, Dauer, Kaliber, NEM and Klasse: those come back, and nothing else.
    EffectDataMap exported;
    for (const EffectData& effect : std::as_const(imported.effectData)) {
        EffectData kept;
        kept.name = effect.name;
        kept.prefireTenths = effect.prefireTenths;
        kept.durationTenths = effect.durationTenths;
        kept.caliberMm = effect.caliberMm;
        kept.nemTenthsGram = effect.nemTenthsGram;
        kept.effectClass = effect.effectClass;
        EffectData empty;
        empty.name = effect.name;
        if (kept != empty)
            exported.insert(kept.name, kept);
    }
    check(again.effectData == exported);
    for (int slot = 0; slot < SlotCount; ++slot)
        check(again.list->times[slot] == list.times[slot] && again.list->circuits[slot] == list.circuits[slot]
            && again.list->effects[slot] == list.effects[slot]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkImport(ReadShotListCsv(bytes));

    // The choices a user makes in the preview, taken from the first byte.
    const int pick = size > 0 ? data[0] : 0;
    CsvImportOptions options;
    options.circuitsFrom = pick & 1;
    options.withoutCircuits = (pick & 2) != 0;
    if (pick & 4)
        options.time = CsvColumnChoice::at((pick >> 4) & 3);
    if (pick & 8)
        options.circuit = CsvColumnChoice::at((pick >> 6) & 3);
    if (pick & 16)
        options.effect = CsvColumnChoice::absent();
    if (pick & 32)
        options.device = CsvColumnChoice::named(QStringLiteral("Modul"));
    checkImport(ReadShotListCsv(bytes, options));
    return 0;
}
