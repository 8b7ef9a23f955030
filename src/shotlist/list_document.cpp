#include "list_document.h"

#include "duplicates.h"
#include "editor_rules.h"

#include <QUndoCommand>

#include <vector>

namespace {

constexpr int UndoSteps = 5000;

// One slot as it was before a change.
struct SlotBefore {
    qint32 time;
    qint16 circuit;
    quint8 slot;
};

} // namespace

// A change keeps its rule and the slots it changed, as they were: redo runs the rule again on the
// same list, undo puts the old slots back. A shift of the whole list costs about 1.4 KB.
class ListChange : public QUndoCommand {
public:
    ListChange(ListDocument& document, const QString& text, int row, ListDocument::Rule rule,
        std::vector<SlotBefore> before)
        : QUndoCommand(text)
        , m_document(document)
        , m_rule(std::move(rule))
        , m_before(std::move(before))
        , m_row(row)
    {
    }

    int row() const { return m_row; }

    void redo() override
    {
        m_rule(m_document.m_list);
        NormalizeList(m_document.m_list);
        m_document.setChanged();
    }

    void undo() override
    {
        for (const SlotBefore& s : m_before) {
            m_document.m_list.times[s.slot] = s.time;
            m_document.m_list.circuits[s.slot] = s.circuit;
        }
        m_document.setChanged();
    }

private:
    ListDocument& m_document;
    ListDocument::Rule m_rule;
    std::vector<SlotBefore> m_before;
    int m_row;
};

ListDocument::ListDocument(QObject* parent)
    : QObject(parent)
{
    m_stack.setUndoLimit(UndoSteps);
}

void ListDocument::reset(const ShotList& list)
{
    m_stack.clear();
    m_list = list;
    NormalizeList(m_list);
    setChanged();
}

void ListDocument::setChanged()
{
    m_entryCount = CountEntries(m_list);
    ++m_revision;
    emit changed();
}

bool ListDocument::change(quint64 basedOn, const QString& text, int row, Rule rule)
{
    if (basedOn != m_revision)
        return false;
    ShotList after = m_list;
    rule(after);
    NormalizeList(after);
    std::vector<SlotBefore> before;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (after.times[slot] != m_list.times[slot] || after.circuits[slot] != m_list.circuits[slot])
            before.push_back({ m_list.times[slot], m_list.circuits[slot], quint8(slot) });
    }
    if (before.empty())
        return false;
    before.shrink_to_fit();
    m_stack.push(new ListChange(*this, text, row, std::move(rule), std::move(before)));
    return true;
}

bool ListDocument::applySince(quint64 basedOn, int row, double since, double savedSince)
{
    const int count = m_entryCount;
    return change(basedOn, QStringLiteral("Abstand vor Eintrag %1").arg(row + 1), row,
        [=](ShotList& list) { ApplySince(list, row, count, since, savedSince); });
}

bool ListDocument::applyUntil(quint64 basedOn, int row, double until, double savedUntil)
{
    const int count = m_entryCount;
    return change(basedOn, QStringLiteral("Abstand nach Eintrag %1").arg(row + 1), row,
        [=](ShotList& list) { ApplyUntil(list, row, count, until, savedUntil); });
}

bool ListDocument::deleteRest(quint64 basedOn, int row)
{
    const int count = m_entryCount;
    return change(basedOn, QStringLiteral("Rest der Liste löschen"), row,
        [=](ShotList& list) { DeleteRest(list, row, count); });
}

bool ListDocument::applyCircuit(quint64 basedOn, int row, int device, double number)
{
    return change(basedOn, QStringLiteral("Zündkreis von Eintrag %1").arg(row + 1), row,
        [=](ShotList& list) { ApplyCircuit(list, row, device, number); });
}

ListDocument::InsertResult ListDocument::insertEntry(quint64 basedOn, int row)
{
    if (basedOn != m_revision)
        return InsertResult::Stale;
    ShotList probe = m_list;
    const InsertOutcome outcome = InsertEntry(probe, row, m_entryCount);
    switch (outcome) {
    case InsertOutcome::Inserted:
        break;
    case InsertOutcome::EmptyLine:
        return InsertResult::NothingToDo;
    case InsertOutcome::ListFull:
        return InsertResult::ListFull;
    case InsertOutcome::NoFreeSecond:
        return InsertResult::NoFreeSecond;
    }
    const int count = m_entryCount;
    change(basedOn, QStringLiteral("Eintrag %1 einfügen").arg(row + 1), row,
        [=](ShotList& list) { InsertEntry(list, row, count); });
    return InsertResult::Inserted;
}

bool ListDocument::deleteEntry(quint64 basedOn, int row)
{
    const int count = m_entryCount;
    return change(basedOn, QStringLiteral("Eintrag %1 löschen").arg(row + 1), row,
        [=](ShotList& list) { DeleteEntry(list, row, count); });
}

bool ListDocument::replace(const ShotList& list, const QString& text)
{
    return change(m_revision, text, 0, [list](ShotList& target) {
        for (int slot = 0; slot < EntryCount; ++slot) {
            target.times[slot] = list.times[slot];
            target.circuits[slot] = list.circuits[slot];
        }
    });
}

int ListDocument::undo()
{
    if (!m_stack.canUndo())
        return -1;
    const int row = static_cast<const ListChange*>(m_stack.command(m_stack.index() - 1))->row();
    m_stack.undo();
    return row;
}

int ListDocument::redo()
{
    if (!m_stack.canRedo())
        return -1;
    const int row = static_cast<const ListChange*>(m_stack.command(m_stack.index()))->row();
    m_stack.redo();
    return row;
}
