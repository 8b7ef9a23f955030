#pragma once

#include "shotlist/shot_list.h"

#include <QList>

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
