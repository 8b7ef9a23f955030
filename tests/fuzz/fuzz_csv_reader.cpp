// libFuzzer target: the CSV reader on any bytes; what it accepts exports and reads back unchanged.
#include "files/csv_file.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CsvImport imported = ReadShotListCsv(bytes);
    check(imported.list.has_value() == imported.problems.isEmpty());
    check(imported.problems.size() <= MaxCsvProblems + 1);
    if (!imported.list)
        return 0;

    // Entries first, strictly rising and valid; everything behind them empty.
    const ShotList& list = *imported.list;
    int entries = 0;
    while (entries < EntryCount && list.times[entries] != EmptyTime)
        ++entries;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (slot < entries) {
            check(list.times[slot] >= 0 && list.times[slot] <= LastValidTime);
            check(slot == 0 || list.times[slot] > list.times[slot - 1]);
            check(list.circuits[slot] >= 0 && list.circuits[slot] <= NoCircuit);
        } else {
            check(list.times[slot] == EmptyTime && list.circuits[slot] == NoCircuit);
        }
    }

    const CsvImport again = ReadShotListCsv(ShotListCsvBytes(list));
    check(again.list.has_value());
    for (int slot = 0; slot < SlotCount; ++slot)
        check(
            again.list->times[slot] == list.times[slot] && again.list->circuits[slot] == list.circuits[slot]);
    return 0;
}
