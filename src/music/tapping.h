#pragma once

#include "shotlist/editor_rules.h"
#include "shotlist/shot_list.h"

#include <QString>

#include <optional>

// What a tap and a move of a mark need besides the list's own rules.

// The circuit numbers a device has: 0..31, but H31 is the code for "no circuit".
int CircuitNumbers(int device);

// The first circuit number of device, from `from` on and round to 0, that no entry fires; nullopt when
// every one is in use. An entry on H n fires B n and C n as well.
std::optional<int> NextFreeCircuit(const ShotList& list, int shotCount, int device, int from);

// "nächster Kreis: B 05", or "kein freier Kreis auf B" when the device has none left.
QString NextCircuitText(int device, std::optional<int> number);

// What the notice under the picture says after a tap at the given whole second: the entry added,
// or why nothing was added. row as TapEntry gives it.
QString TapNotice(TapOutcome outcome, const ShotList& list, int row, qint64 second);
// The device has no free circuit left.
QString NoFreeCircuitNotice(int device, qint64 second);

// After a move of the entry on row: where it is now, or why it stays.
QString MoveNotice(MoveOutcome outcome, const ShotList& list, int row);
