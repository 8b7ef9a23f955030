#pragma once

#include "shot_list.h"

#include <QString>

// The notice below the editor's fields: what a commit did when that is not what was typed (a limit,
// a rounding, a value that changes nothing, entries lost behind 18:07:59). typed is the field's text
// as the user left it; row the selected line. Empty text when the stored value is the typed one.

// Entry number typed into "Eintrag Nummer"; line is the line it selected.
QString EntryNumberNotice(const QString& typed, int line);

enum class GapField { Since, Until };

// A gap typed on row (for "until", 1 s or more): the list and its entry count before and after the commit.
QString GapNotice(GapField field, const QString& typed, int row, const ShotList& before, int countBefore,
    const ShotList& after, int countAfter);

// A circuit number typed for device (0..7); stored is the circuit code the entry holds afterwards.
QString CircuitNotice(const QString& typed, int row, int device, qint16 stored);

// A circuit that cannot be stored: a number without a device, or a device without a number.
QString NoDeviceNotice(int row);
QString NoCircuitNumberNotice(int row, int device);

// An effect the field cannot store, with the reason EffectRefusal gives.
QString EffectNotice(int row, const QString& refusal);

// A circuit on an empty slot further down than the first one behind the list's entryCount entries: it
// is kept ("vorgemerkt") but fires only once the list reaches that slot.
QString ReservedCircuitNotice(int row, qint16 code, int entryCount);
// An effect typed on such a slot is refused: it can wait only on the first empty slot.
QString ReservedEffectNotice(int row, int entryCount);
