#pragma once

#include "shotlist/shot_list.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// One entry whose time or circuit differs between the editor's list, as it goes out on the line,
// and the list the device sent back.
struct EntryDifference {
    int slot = 0;
    qint32 editorTime = EmptyTime;
    qint16 editorCircuit = NoCircuit;
    qint32 deviceTime = EmptyTime;
    qint16 deviceCircuit = NoCircuit;
};

// No entry of the list fires a circuit: a send would leave the device with nothing to fire.
bool FiresNoCircuit(const ShotList& list);

inline const QString ComparisonTitle = QStringLiteral("Vergleich mit dem Zündgerät");
constexpr int ComparisonLinesShown = 20;

// Slots 0..169 compared by the four time digits and two circuit digits that the device stores:
// the editor's side as its records carry them, the device's as a received list carries them.
// Empty when the received list does not hold exactly 1530 characters.
QList<EntryDifference> CompareWithDevice(const ShotList& editor, QByteArrayView received);

// The list the device's list was compared with, as the report names it.
struct ComparedList {
    QString phrase; // after "mit" and "von": "der Liste im Editor", "show.fsl"
    QString side; // in front of its values on a line: "Editor", "Datei"
};
inline const ComparedList EditorList { QStringLiteral("der Liste im Editor"), QStringLiteral("Editor") };

// "Nr. 005: Editor 00:00:28 B12, Zündgerät 00:00:29 B12"
QString DifferenceLine(const EntryDifference& difference, const QString& side = EditorList.side);

// The heading and one line per difference, at most `shown` of them followed by "… und M weitere";
// a negative `shown` lists all. The sentence of agreement when there is no difference.
QStringList ComparisonLines(const QList<EntryDifference>& differences, int shown = ComparisonLinesShown,
    const ComparedList& with = EditorList);
