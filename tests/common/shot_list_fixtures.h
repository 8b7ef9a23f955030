#pragma once

#include "shotlist/shot_list.h"

#include <QList>

#include <algorithm>
#include <iterator>

// Slots as given, every other slot empty (not normalised).
inline ShotList ListWithTimes(const QList<int>& times)
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < SlotCount; ++i)
        list.times[i] = i < times.size() ? times[i] : EmptyTime;
    return list;
}

inline QList<int> LeadingTimes(const ShotList& list, int count)
{
    QList<int> times;
    for (int i = 0; i < count; ++i)
        times.append(list.times[i]);
    return times;
}

inline bool SameList(const ShotList& a, const ShotList& b)
{
    return std::equal(std::begin(a.times), std::end(a.times), std::begin(b.times))
        && std::equal(std::begin(a.circuits), std::end(a.circuits), std::begin(b.circuits))
        && std::equal(std::begin(a.effects), std::end(a.effects), std::begin(b.effects));
}

// count entries from 0 s, gap seconds apart, circuits from the codes in turn.
inline ShotList SpacedList(int count, int gap, const QList<int>& codes)
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < count; ++i) {
        list.times[i] = i * gap;
        list.circuits[i] = qint16(codes[i % codes.size()]);
    }
    return list;
}
