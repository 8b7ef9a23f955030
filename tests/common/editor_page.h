#pragma once

#include "form1.h"
#include "shot_list_fixtures.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

// The window shown and active on "Bearbeiten der Liste" with entries at these times.
inline bool OpenEditorPage(Form1& w, const QList<int>& times, const QList<qint16>& circuits = {})
{
    w.show();
    if (!QTest::qWaitForWindowActive(&w))
        return false;
    w.SSTab1->setCurrentIndex(2);
    ShotList list = ListWithTimes(times);
    for (int i = 0; i < circuits.size(); ++i)
        list.circuits[i] = circuits[i];
    w.document().reset(list);
    return true;
}

inline void ClickListLine(Form1& w, int row)
{
    w.List2->scrollToItem(w.List2->item(row));
    QTest::mouseClick(
        w.List2->viewport(), Qt::LeftButton, {}, w.List2->visualItemRect(w.List2->item(row)).center());
}

// A click into a field, as a user enters it: its whole text is selected.
inline void ClickInto(QLineEdit* field)
{
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 3, 5));
}

inline QList<int> EntryTimes(const Form1& w) { return LeadingTimes(w.list(), w.document().entryCount()); }

inline QList<int> EvenlySpaced(int count, int gap)
{
    QList<int> times;
    for (int i = 0; i < count; ++i)
        times.append(i * gap);
    return times;
}
