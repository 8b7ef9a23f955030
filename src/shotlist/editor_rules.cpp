#include "editor_rules.h"

#include "field_number.h"
#include "list_views.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int DeviceCount = 8;
constexpr int CircuitsPerDevice = 32;

bool isLine(int row) { return row >= 0 && row < EntryCount; }

void shiftTimes(ShotList& list, int from, int to, double delta)
{
    for (int j = from; j < to; ++j)
        list.times[j] = RoundHalfEven(list.times[j] + delta);
}

// Moves the slots from at on down by one (the last one drops out) and puts a new entry into at.
void insertSlot(ShotList& list, int at, qint32 time, qint16 circuit)
{
    for (int j = EntryCount - 1; j > at; --j) {
        list.times[j] = list.times[j - 1];
        list.circuits[j] = list.circuits[j - 1];
        list.effects[j] = std::move(list.effects[j - 1]);
        list.targets[j] = list.targets[j - 1];
    }
    list.times[at] = time;
    list.circuits[at] = circuit;
    list.effects[at].clear();
    list.targets[at] = NoTarget;
}

} // namespace

qint32 SinceValue(const ShotList& list, int k)
{
    if (list.isEmptyTime(k))
        return 0;
    return k == 0 ? list.times[0] : list.times[k] - list.times[k - 1];
}

qint32 UntilValue(const ShotList& list, int k) { return DurationToNext(list, k); }

double ClampEntryNumber(double value) { return std::clamp(value, 1.0, double(EntryCount)); }

double ClampSince(double value) { return std::clamp(value, 0.0, 999.0); }

double ClampUntil(double value) { return std::min(value, 999.0); }

double ClampCircuitNumber(double value) { return std::clamp(value, 0.0, double(CircuitsPerDevice - 1)); }

int SinceSeconds(double value) { return RoundHalfEven(ClampSince(value)); }

int UntilSeconds(double value) { return RoundHalfEven(ClampUntil(value)); }

int EntryNumberLine(double entryNumber) { return RoundHalfEven(ClampEntryNumber(entryNumber) - 1); }

void ApplySince(ShotList& list, int row, int shotCount, double since, double savedSince)
{
    if (!isLine(row))
        return;
    const int v = SinceSeconds(since);
    if (v == 0) {
        if (row == 0)
            list.times[0] = 0;
        return;
    }
    if (row == shotCount) {
        // In an empty list there is no previous ignition: the first entry starts at v.
        list.times[row] = RoundHalfEven((row == 0 ? 0 : list.times[row - 1]) + v);
        return;
    }
    shiftTimes(list, row, shotCount, v - savedSince);
    ClearRemovedEntries(list, shotCount);
}

void ApplyUntil(ShotList& list, int row, int shotCount, double until, double savedUntil)
{
    const int v = UntilSeconds(until);
    if (!isLine(row) || v < 1)
        return;
    if (row == shotCount - 1) {
        list.times[row + 1] = RoundHalfEven(list.times[row] + v);
        return;
    }
    shiftTimes(list, row + 1, shotCount, v - savedUntil);
    ClearRemovedEntries(list, shotCount);
}

void ClearRemovedEntries(ShotList& list, int shotCountBefore)
{
    // The entries the next normalisation leaves: times pushed forward one second at a time until one
    // lies past 18:07:59.
    int kept = 0;
    for (qint64 previous = -1; kept < EntryCount; ++kept) {
        const qint64 time = std::max<qint64>(list.times[kept], previous + 1);
        if (list.times[kept] > LastValidTime || time > LastValidTime)
            break;
        previous = time;
    }
    for (int slot = kept; slot < std::min(shotCountBefore, int(EntryCount)); ++slot) {
        list.circuits[slot] = NoCircuit;
        list.effects[slot].clear();
        list.targets[slot] = NoTarget;
    }
}

void DeleteRest(ShotList& list, int row, int shotCount)
{
    if (!isLine(row))
        return;
    for (int j = row + 1; j <= std::min(shotCount, int(SentinelSlot)); ++j) {
        list.times[j] = EmptyTime;
        list.circuits[j] = NoCircuit;
        list.effects[j].clear();
        list.targets[j] = NoTarget;
    }
}

void ApplyCircuit(ShotList& list, int row, int device, double number)
{
    if (!isLine(row) || device < 0 || device >= DeviceCount)
        return;
    list.circuits[row] = qint16(RoundHalfEven(ClampCircuitNumber(number) + CircuitsPerDevice * device));
}

InsertOutcome InsertEntry(ShotList& list, int row, int shotCount)
{
    if (!isLine(row) || row >= shotCount)
        return InsertOutcome::EmptyLine;
    if (shotCount >= EntryCount)
        return InsertOutcome::ListFull;
    const qint32 next = list.times[row];
    const qint32 time = row == 0 ? next - 1 : list.times[row - 1] + (next - list.times[row - 1]) / 2;
    if (time < 0 || (row > 0 && time <= list.times[row - 1]))
        return InsertOutcome::NoFreeSecond;
    insertSlot(list, row, time, NoCircuit);
    return InsertOutcome::Inserted;
}

bool DeleteEntry(ShotList& list, int row, int shotCount)
{
    if (!isLine(row) || row >= shotCount)
        return false;
    for (int j = row; j < EntryCount - 1; ++j) {
        list.times[j] = list.times[j + 1];
        list.circuits[j] = list.circuits[j + 1];
        list.effects[j] = std::move(list.effects[j + 1]);
        list.targets[j] = list.targets[j + 1];
    }
    list.times[EntryCount - 1] = EmptyTime;
    list.circuits[EntryCount - 1] = NoCircuit;
    list.effects[EntryCount - 1].clear();
    list.targets[EntryCount - 1] = NoTarget;
    return true;
}

void SetEffect(ShotList& list, int row, const QString& effect)
{
    if (isLine(row))
        list.effects[row] = effect.trimmed();
}

TapOutcome TapEntry(ShotList& list, int shotCount, qint32 second, qint16 circuit, int* row)
{
    if (second < 0)
        return TapOutcome::BeforeStart;
    if (second > LastValidTime)
        return TapOutcome::AfterEnd;
    int at = 0;
    while (at < shotCount && list.times[at] < second)
        ++at;
    if (row)
        *row = at;
    if (at < shotCount && list.times[at] == second)
        return TapOutcome::SecondTaken;
    if (shotCount >= EntryCount)
        return TapOutcome::ListFull;
    insertSlot(list, at, second, circuit);
    return TapOutcome::Added;
}

MoveOutcome MoveEntry(ShotList& list, int row, int shotCount, qint32 seconds)
{
    if (!isLine(row) || row >= shotCount)
        return MoveOutcome::NoEntry;
    const qint64 time = qint64(list.times[row]) + seconds;
    if (time < 0)
        return MoveOutcome::BeforeStart;
    if (time > LastValidTime)
        return MoveOutcome::AfterEnd;
    if (row > 0 && time <= list.times[row - 1])
        return MoveOutcome::PreviousInTheWay;
    if (row + 1 < shotCount && time >= list.times[row + 1])
        return MoveOutcome::NextInTheWay;
    list.times[row] = qint32(time);
    return MoveOutcome::Moved;
}
