#pragma once

#include "form1.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

inline QWidget* focused() { return QApplication::focusWidget(); }

// On the editing page, as a crew member types a show: the last entry gets the gap to a new entry
// after it, device B and a circuit.
inline bool appendEntry(Form1& w, int gap, int circuit)
{
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        return false;
    QTabBar* bar = w.SSTab1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    const int row = w.document().entryCount() - 1;
    QListWidgetItem* item = w.List2->item(row);
    QTest::mouseClick(w.List2->viewport(), Qt::LeftButton, {}, w.List2->visualItemRect(item).center());
    w.List2->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    if (focused() != w.Text2[2])
        return false;
    QTest::keyClicks(focused(), QString::number(gap));
    QTest::keyClick(focused(), Qt::Key_Return);
    if (focused() != w.Combo2)
        return false;
    QTest::keyClick(focused(), Qt::Key_Home);
    QTest::keyClick(focused(), Qt::Key_Down);
    QTest::keyClick(focused(), Qt::Key_Return);
    if (focused() != w.Text2[3])
        return false;
    QTest::keyClicks(focused(), QString::number(circuit));
    QTest::keyClick(focused(), Qt::Key_Return);
    return w.document().entryCount() == row + 2 && w.list().circuits[row] == 32 + circuit;
}
