#pragma once

#include "shot_list.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <functional>

// The one list in memory and every change to it. Each change is one step on the undo stack, and
// every change, undo and redo raises the revision and emits changed() once.
//
// A change the window asks for names the revision at which it read what it shows (the selected
// line, the values in the fields). While a box is open, the event loop runs on: a receive may
// replace the list underneath. A change based on an older revision is refused, so an answer
// never acts on a list the user did not see.
class ListDocument : public QObject {
    Q_OBJECT
public:
    enum class InsertResult { Inserted, NothingToDo, ListFull, NoFreeSecond, Stale };

    explicit ListDocument(QObject* parent = nullptr);

    const ShotList& list() const { return m_list; }
    int entryCount() const { return m_entryCount; }
    quint64 revision() const { return m_revision; }
    QUndoStack& undoStack() { return m_stack; }

    // A new list without history (start-up).
    void reset(const ShotList& list);

    // The rules of the entry editor on line row; false when nothing changed or the change was refused.
    bool applySince(quint64 basedOn, int row, double since, double savedSince);
    bool applyUntil(quint64 basedOn, int row, double until, double savedUntil);
    bool deleteRest(quint64 basedOn, int row);
    bool applyCircuit(quint64 basedOn, int row, int device, double number);
    InsertResult insertEntry(quint64 basedOn, int row);
    bool deleteEntry(quint64 basedOn, int row);

    // A whole list from a file, the device or a table: slots 0..169, one step named text.
    // false when the list was the same already (nothing recorded, no changed()).
    bool replace(const ShotList& list, const QString& text);

    // Take back or bring back one step; the line it touched, or -1 when there was none to take.
    int undo();
    int redo();

signals:
    void changed();

private:
    friend class ListChange;
    using Rule = std::function<void(ShotList&)>;
    bool change(quint64 basedOn, const QString& text, int row, Rule rule);
    void setChanged();

    ShotList m_list = ShotList::startup();
    int m_entryCount = 1;
    quint64 m_revision = 0;
    QUndoStack m_stack;
};
