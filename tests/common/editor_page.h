#pragma once

#include "form1.h"
#include "shot_list_fixtures.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

// The window shown and active on "Bearbeiten der Liste", holding entries at these times; false when
// the window could not be activated.
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
    QListWidgetItem* item = w.List2->item(row);
    w.List2->scrollToItem(item);
    QTest::mouseClick(w.List2->viewport(), Qt::LeftButton, {}, w.List2->visualItemRect(item).center());
}

inline void ClickTab(Form1& w, int page)
{
    QTabBar* bar = w.SSTab1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

inline QList<int> EntryTimes(const Form1& w) { return LeadingTimes(w.list(), w.document().entryCount()); }
