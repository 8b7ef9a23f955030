#pragma once

#include "shot_list.h"

#include <QStringList>

inline const QString List1Header = QStringLiteral("Nr.   Zeit     Kreis");
inline const QString List2Header = QStringLiteral("Nr.   Zeit     Dauer   Kreis");

// Seconds from slot k to the next entry; 0 when the next slot is empty.
qint32 DurationToNext(const ShotList& list, int k);

QString List1Line(const ShotList& list, int k);
// With an effect the line ends in two blanks and the effect.
QString List2Line(const ShotList& list, int k);

// Lines for slots 0..169.
QStringList List1Lines(const ShotList& list);
QStringList List2Lines(const ShotList& list);
// The line with the most characters (the widest in the fixed font), 0 for none.
int LongestLine(const QStringList& lines);

struct Statistics {
    int entries = 0; // ShotCount: lines before the first one with an empty time
    QString text; // the four lines shown in Label4 and stored in files
};

// Derived from the lines of List1, as they stand.
Statistics ComputeStatistics(const QStringList& list1Lines);
