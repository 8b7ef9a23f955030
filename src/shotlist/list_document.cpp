#include "list_document.h"

#include "duplicates.h"
#include "editor_rules.h"
#include "stored_text.h"

#include <QFileInfo>
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

struct EffectBefore {
    QString effect;
    quint8 slot;
};

} // namespace

bool ListMeta::operator==(const ListMeta& other) const
{
    return sourcePath == other.sourcePath && comment == other.comment && musicPath == other.musicPath
        && musicStartTenths == other.musicStartTenths && otherKeys == other.otherKeys;
}

QString TenthsText(qint32 tenths, QChar decimalSeparator, QChar minus)
{
    const qint32 magnitude = tenths < 0 ? -tenths : tenths;
    return (tenths < 0 ? QString(minus) : QString()) + QString::number(magnitude / 10) + decimalSeparator
        + QString::number(magnitude % 10);
}

QString ListName(const ListMeta& meta)
{
    return meta.sourcePath.isEmpty() ? QString() : QFileInfo(meta.sourcePath).fileName();
}

// A change keeps its rule and what it changed, as it was: redo runs the rule again on the same list,
// undo puts the old slots (and what the list carried) back. A shift of the whole list costs about 1.4 KB.
class ListChange : public QUndoCommand {
public:
    ListChange(ListDocument& document, const QString& text, int row, ListDocument::Rule rule,
        std::vector<SlotBefore> before, std::vector<EffectBefore> effectsBefore,
        std::optional<std::pair<ListMeta, ListMeta>> meta)
        : QUndoCommand(text)
        , m_document(document)
        , m_rule(std::move(rule))
        , m_before(std::move(before))
        , m_effectsBefore(std::move(effectsBefore))
        , m_meta(std::move(meta))
        , m_row(row)
    {
    }

    int row() const { return m_row; }

    void redo() override
    {
        m_rule(m_document.m_list);
        NormalizeList(m_document.m_list);
        if (m_meta)
            m_document.m_meta = m_meta->second;
        m_document.setChanged();
    }

    void undo() override
    {
        for (const SlotBefore& s : m_before) {
            m_document.m_list.times[s.slot] = s.time;
            m_document.m_list.circuits[s.slot] = s.circuit;
        }
        for (const EffectBefore& e : m_effectsBefore)
            m_document.m_list.effects[e.slot] = e.effect;
        if (m_meta)
            m_document.m_meta = m_meta->first;
        m_document.setChanged();
    }

private:
    ListDocument& m_document;
    ListDocument::Rule m_rule;
    std::vector<SlotBefore> m_before;
    std::vector<EffectBefore> m_effectsBefore;
    std::optional<std::pair<ListMeta, ListMeta>> m_meta;
    int m_row;
};

ListDocument::ListDocument(QObject* parent)
    : QObject(parent)
{
    m_stack.setUndoLimit(UndoSteps);
    connect(&m_stack, &QUndoStack::cleanChanged, this, &ListDocument::savedChanged);
}

void ListDocument::reset(const ShotList& list, const ListMeta& meta)
{
    m_stack.clear();
    m_list = list;
    m_meta = meta;
    NormalizeList(m_list);
    setChanged();
}

void ListDocument::setChanged()
{
    m_entryCount = CountEntries(m_list);
    ++m_revision;
    emit changed();
}

bool ListDocument::change(
    quint64 basedOn, const QString& text, int row, Rule rule, std::optional<ListMeta> metaAfter)
{
    if (basedOn != m_revision)
        return false;
    ShotList after = m_list;
    rule(after);
    NormalizeList(after);
    std::vector<SlotBefore> before;
    std::vector<EffectBefore> effectsBefore;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (after.times[slot] != m_list.times[slot] || after.circuits[slot] != m_list.circuits[slot])
            before.push_back({ m_list.times[slot], m_list.circuits[slot], quint8(slot) });
        if (after.effects[slot] != m_list.effects[slot])
            effectsBefore.push_back({ m_list.effects[slot], quint8(slot) });
    }
    std::optional<std::pair<ListMeta, ListMeta>> meta;
    if (metaAfter && *metaAfter != m_meta)
        meta = std::make_pair(m_meta, *metaAfter);
    if (before.empty() && effectsBefore.empty() && !meta)
        return false;
    before.shrink_to_fit();
    effectsBefore.shrink_to_fit();
    m_stack.push(new ListChange(
        *this, text, row, std::move(rule), std::move(before), std::move(effectsBefore), std::move(meta)));
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

bool ListDocument::setEffect(quint64 basedOn, int row, const QString& effect)
{
    if (!EffectRefusal(effect).isEmpty())
        return false;
    return change(basedOn, QStringLiteral("Effekt von Eintrag %1").arg(row + 1), row,
        [=](ShotList& list) { SetEffect(list, row, effect); });
}

bool ListDocument::setMusic(quint64 basedOn, const QString& path)
{
    // The file would store another path than the one chosen.
    if (!IsStorableLine(path))
        return false;
    ListMeta meta = m_meta;
    meta.musicPath = path;
    return change(
        basedOn, QStringLiteral("Musik wählen"), -1, [](ShotList&) {}, meta);
}

bool ListDocument::setMusicStart(quint64 basedOn, qint32 tenths)
{
    ListMeta meta = m_meta;
    meta.musicStartTenths = tenths;
    return change(
        basedOn, QStringLiteral("Musikbeginn"), -1, [](ShotList&) {}, meta);
}

std::optional<TapOutcome> ListDocument::tapEntry(quint64 basedOn, qint32 second, qint16 circuit, int* row)
{
    if (basedOn != m_revision)
        return std::nullopt;
    ShotList probe = m_list;
    int at = -1;
    const int count = m_entryCount;
    const TapOutcome outcome = TapEntry(probe, count, second, circuit, &at);
    if (row)
        *row = at;
    if (outcome != TapOutcome::Added)
        return outcome;
    change(basedOn, QStringLiteral("Eintrag %1 getippt").arg(at + 1), at,
        [=](ShotList& list) { TapEntry(list, count, second, circuit); });
    return outcome;
}

std::optional<MoveOutcome> ListDocument::moveEntry(quint64 basedOn, int row, qint32 seconds)
{
    if (basedOn != m_revision)
        return std::nullopt;
    ShotList probe = m_list;
    const int count = m_entryCount;
    const MoveOutcome outcome = MoveEntry(probe, row, count, seconds);
    if (outcome != MoveOutcome::Moved)
        return outcome;
    change(basedOn, QStringLiteral("Eintrag %1 verschieben").arg(row + 1), row,
        [=](ShotList& list) { MoveEntry(list, row, count, seconds); });
    return outcome;
}

bool ListDocument::replace(
    quint64 basedOn, const ShotList& list, const ListMeta& meta, const QString& text, Saved saved)
{
    if (basedOn != m_revision)
        return false;
    const bool changedList = change(
        basedOn, text, 0,
        [list](ShotList& target) {
            for (int slot = 0; slot < EntryCount; ++slot) {
                target.times[slot] = list.times[slot];
                target.circuits[slot] = list.circuits[slot];
                target.effects[slot] = list.effects[slot];
            }
        },
        meta);
    if (saved == Saved::Yes)
        m_stack.setClean();
    return changedList || m_revision == basedOn;
}

bool ListDocument::markSaved(quint64 basedOn, const QString& path, const QString& comment)
{
    if (basedOn != m_revision)
        return false;
    const bool metaChanges = m_meta.sourcePath != path || m_meta.comment != comment;
    m_meta.sourcePath = path;
    m_meta.comment = comment;
    m_stack.setClean();
    if (metaChanges)
        emit metaChanged();
    return true;
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
