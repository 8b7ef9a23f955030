#pragma once

#include "shot_list.h"

#include <QList>
#include <QString>
#include <QStringList>

// A circuit that more than one entry fires. "H (alle Verteiler)" with circuit n fires B n and C n
// too, so an H entry joins the group of B n and of C n.
struct DuplicateCircuit {
    qint16 code = NoCircuit; // the circuit the group is named after
    QList<int> members; // slots, ascending
    QList<int> throughH; // the members that fire it as "H (alle Verteiler)"
};

// Number of leading members with a valid time: the entries of the list.
int CountEntries(const ShotList& list);

// Whether any entry fires a circuit: a send of a list without one wipes the show on the device.
bool HasAnyCircuit(const ShotList& list);

// Slots behind the list's entries that hold a circuit (or an effect): it waits there for an entry
// appended on that slot ("vorgemerkt"). Ascending.
QList<int> ReservedSlots(const ShotList& list);

// Groups in ascending order of their code, among the list's entries only.
QList<DuplicateCircuit> FindDuplicateCircuits(const ShotList& list);

// Slots that belong to any group, ascending and each once.
QList<int> DuplicateSlots(const QList<DuplicateCircuit>& groups);

// One line per group: "B05 (Nr. 1 und Nr. 3)", "C00 (Nr. 6 und Nr. 8 über H00)".
QStringList DuplicateGroupLines(const QList<DuplicateCircuit>& groups);

// "Doppelt belegt: B05 (Nr. 1 und Nr. 3); C07 (Nr. 2, Nr. 4 und Nr. 5)", or empty text when there is none.
QString DuplicateText(const QList<DuplicateCircuit>& groups);
