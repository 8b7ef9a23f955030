#pragma once

#include "shot_list.h"

// Rules of the entry editor. row is the selected line of List2 (0..169), shotCount the number of
// entries. The rules change slots only; the caller refreshes the lists and selects the line again.

// Gaps shown for slot k (0..169): seconds since the previous ignition and until the next one.
qint32 SinceValue(const ShotList& list, int k);
qint32 UntilValue(const ShotList& list, int k);

// Field limits; a value outside is replaced by the nearest limit.
double ClampEntryNumber(double value); // 1..170
double ClampSince(double value); // 0..999
double ClampUntil(double value); // at most 999; below 1 asks whether to delete the rest
double ClampCircuitNumber(double value); // 0..31

// Gaps are whole seconds: the value within its limits, rounded (halves to the even neighbour) before
// any rule uses it, so a shift moves every later entry by the same whole seconds.
int SinceSeconds(double value); // 0..999
int UntilSeconds(double value); // at most 999; below 1 asks whether to delete the rest

// Line that an entry number selects.
int EntryNumberLine(double entryNumber);

// Seconds since the last ignition. 0 is accepted for the first entry only; on the first empty line
// the value appends an entry; on an entry it moves that entry and all behind it by the change
// against savedSince, the value the field held when it was entered.
void ApplySince(ShotList& list, int row, int shotCount, double since, double savedSince);

// Seconds until the next ignition, 1 or more. On the last entry it appends one; otherwise it moves
// all entries behind row by the change against savedUntil.
void ApplyUntil(ShotList& list, int row, int shotCount, double until, double savedUntil);

// Entries among the first shotCountBefore that the next normalisation empties (pushed past 18:07:59)
// lose their circuit and effect with their time, so nothing of them comes back on an entry appended
// there later.
void ClearRemovedEntries(ShotList& list, int shotCountBefore);

// Empties every slot behind row up to the first empty one, circuit and effect included.
void DeleteRest(ShotList& list, int row, int shotCount);

// Circuit of row: device index (0..7) and circuit number. Device H, circuit 31 is code 255,
// which means no circuit.
void ApplyCircuit(ShotList& list, int row, int device, double number);

enum class InsertOutcome { Inserted, EmptyLine, ListFull, NoFreeSecond };

// A new entry without circuit before row, at the whole second halfway between the entry before and
// the one on row (rounded down); on the first line one second before it. Later entries keep their
// times; the slots behind row move down by one.
InsertOutcome InsertEntry(ShotList& list, int row, int shotCount);

// Removes the entry on row; the slots behind it move up, later entries keep their times.
// False on a line without entry.
bool DeleteEntry(ShotList& list, int row, int shotCount);

// The effect of row, without blanks around it; empty text removes it. The caller checks it first
// (EffectRefusal).
void SetEffect(ShotList& list, int row, const QString& effect);

enum class TapOutcome { Added, SecondTaken, BeforeStart, AfterEnd, ListFull };

// A new entry at second with circuit, in time order: the slots behind it move down by one with their
// effects. row gets the new entry's slot, or for SecondTaken the slot that holds the second.
TapOutcome TapEntry(ShotList& list, int shotCount, qint32 second, qint16 circuit, int* row = nullptr);

enum class MoveOutcome { Moved, NoEntry, PreviousInTheWay, NextInTheWay, BeforeStart, AfterEnd };

// Moves the entry on row by seconds; it keeps its slot, circuit and effect, so it never reaches the
// second of the entry before or after it, nor leaves 0 .. 18:07:59.
MoveOutcome MoveEntry(ShotList& list, int row, int shotCount, qint32 seconds);
