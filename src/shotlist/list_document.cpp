#include "list_document.h"

#include "duplicates.h"
#include "editor_rules.h"
#include "stored_text.h"

#include <QFileInfo>
#include <QUndoCommand>

#include <algorithm>
#include <vector>

namespace {

constexpr int UndoSteps = 5000;

// One slot as it was before a change.
struct SlotBefore {
    qint32 time;
    qint32 target;
    qint16 circuit;
    quint8 slot;
};

struct EffectBefore {
    QString effect;
    quint8 slot;
};

// Every entry of from with what it carries.
void TakeEntries(ShotList& target, const ShotList& from)
{
    for (int slot = 0; slot < EntryCount; ++slot) {
        target.times[slot] = from.times[slot];
        target.circuits[slot] = from.circuits[slot];
        target.effects[slot] = from.effects[slot];
        target.targets[slot] = from.targets[slot];
    }
}

} // namespace

bool ListMeta::operator==(const ListMeta& other) const
{
    return sourcePath == other.sourcePath && comment == other.comment && musicPath == other.musicPath
        && musicStartTenths == other.musicStartTenths && otherKeys == other.otherKeys
        && effectData == other.effectData;
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
        std::optional<std::pair<ListMeta, ListMeta>> meta, ListDocument::ChangeKind kind)
        : QUndoCommand(text)
        , m_document(document)
        , m_rule(std::move(rule))
        , m_before(std::move(before))
        , m_effectsBefore(std::move(effectsBefore))
        , m_meta(std::move(meta))
        , m_row(row)
        , m_kind(std::move(kind))
    {
    }

    int row() const { return m_row; }
    bool replacesList() const { return m_kind.replacesList; }

    int id() const override { return m_kind.mergeKey.isEmpty() ? -1 : 1; }

    // Only changes that set a value whole (an effect, the comment) carry a merge key: the later rule
    // gives the state after both, the earlier before-values the state before both.
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const ListChange*>(other);
        if (next->m_kind.mergeKey != m_kind.mergeKey)
            return false;
        m_rule = next->m_rule;
        for (const SlotBefore& s : next->m_before) {
            if (std::none_of(m_before.begin(), m_before.end(), [&](const SlotBefore& b) { return b.slot == s.slot; }))
                m_before.push_back(s);
        }
        for (const EffectBefore& e : next->m_effectsBefore) {
            if (std::none_of(m_effectsBefore.begin(), m_effectsBefore.end(),
                    [&](const EffectBefore& b) { return b.slot == e.slot; }))
                m_effectsBefore.push_back(e);
        }
        if (next->m_meta) {
            if (m_meta)
                m_meta->second = next->m_meta->second;
            else
                m_meta = next->m_meta;
        }
        // Typed and typed away again: no step at all.
        setObsolete(isNoChange());
        return true;
    }

    // The saved file's name and comment on the side of this step that belongs to the saved list.
    void adoptIdentity(const QString& path, const QString& comment, bool before, bool after)
    {
        if (!m_meta)
            return;
        if (before) {
            m_meta->first.sourcePath = path;
            m_meta->first.comment = comment;
        }
        if (after) {
            m_meta->second.sourcePath = path;
            m_meta->second.comment = comment;
        }
    }

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
            m_document.m_list.targets[s.slot] = s.target;
        }
        for (const EffectBefore& e : m_effectsBefore)
            m_document.m_list.effects[e.slot] = e.effect;
        if (m_meta)
            m_document.m_meta = m_meta->first;
        m_document.setChanged();
    }

private:
    bool isNoChange() const
    {
        const ShotList& now = m_document.m_list;
        for (const SlotBefore& s : m_before) {
            if (now.times[s.slot] != s.time || now.circuits[s.slot] != s.circuit || now.targets[s.slot] != s.target)
                return false;
        }
        for (const EffectBefore& e : m_effectsBefore) {
            if (now.effects[e.slot] != e.effect)
                return false;
        }
        return !m_meta || m_meta->first == m_document.m_meta;
    }

    ListDocument& m_document;
    ListDocument::Rule m_rule;
    std::vector<SlotBefore> m_before;
    std::vector<EffectBefore> m_effectsBefore;
    std::optional<std::pair<ListMeta, ListMeta>> m_meta;
    int m_row;
    ListDocument::ChangeKind m_kind;
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
    m_lastChanged = QDateTime::currentDateTime();
    m_entryCount = CountEntries(m_list);
    ++m_revision;
    emit changed();
}

bool ListDocument::change(quint64 basedOn, const QString& text, int row, Rule rule,
    std::optional<ListMeta> metaAfter, const ChangeKind& kind)
{
    if (basedOn != m_revision)
        return false;
    ShotList after = m_list;
    rule(after);
    NormalizeList(after);
    std::vector<SlotBefore> before;
    std::vector<EffectBefore> effectsBefore;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (after.times[slot] != m_list.times[slot] || after.circuits[slot] != m_list.circuits[slot]
            || after.targets[slot] != m_list.targets[slot])
            before.push_back({ m_list.times[slot], m_list.targets[slot], m_list.circuits[slot], quint8(slot) });
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
    m_stack.push(new ListChange(*this, text, row, std::move(rule), std::move(before), std::move(effectsBefore),
        std::move(meta), kind));
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

bool ListDocument::setEffect(quint64 basedOn, int row, const QString& effect, quint64 typingRun)
{
    // Further down than the first empty slot no entry can come before the slots above it are filled.
    if (!EffectRefusal(effect).isEmpty() || row < 0 || row > m_entryCount || row >= EntryCount)
        return false;
    ChangeKind kind;
    if (typingRun != 0)
        kind.mergeKey = QStringLiteral("effect %1 %2").arg(typingRun).arg(row);
    return change(
        basedOn, QStringLiteral("Effekt von Eintrag %1").arg(row + 1), row,
        [=](ShotList& list) { SetEffect(list, row, effect); }, std::nullopt, kind);
}

namespace {

// What a list keeps of an article: all but the stock, which is the store's.
EffectData ListData(const EffectData& data)
{
    EffectData kept = data;
    kept.name = data.name.trimmed();
    kept.stock.reset();
    return kept;
}

} // namespace

bool ListDocument::chooseEffect(quint64 basedOn, int row, const EffectData& data)
{
    const EffectData kept = ListData(data);
    if (!EffectDataProblems(kept).isEmpty() || !EffectRefusal(kept.name).isEmpty() || row < 0
        || row > m_entryCount || row >= EntryCount)
        return false;
    ListMeta meta = m_meta;
    meta.effectData.insert(kept.name, kept);
    return change(
        basedOn, QStringLiteral("Effekt „%1“ von Eintrag %2").arg(kept.name).arg(row + 1), row,
        [=](ShotList& list) { SetEffect(list, row, kept.name); }, meta);
}

bool ListDocument::setEffectData(quint64 basedOn, const QList<EffectData>& data, const QString& text)
{
    ListMeta meta = m_meta;
    for (const EffectData& each : data) {
        const EffectData kept = ListData(each);
        if (!EffectDataProblems(kept).isEmpty())
            return false;
        meta.effectData.insert(kept.name, kept);
    }
    return change(
        basedOn, text, -1, [](ShotList&) {}, meta);
}

bool ListDocument::setComment(quint64 basedOn, const QString& comment, quint64 typingRun)
{
    if (!CommentRefusal(comment).isEmpty())
        return false;
    ListMeta meta = m_meta;
    meta.comment = comment;
    ChangeKind kind;
    if (typingRun != 0)
        kind.mergeKey = QStringLiteral("comment %1").arg(typingRun);
    return change(
        basedOn, QStringLiteral("Kommentar"), -1, [](ShotList&) {}, meta, kind);
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

std::optional<TapOutcome> ListDocument::tapEffect(quint64 basedOn, qint32 second, qint16 circuit,
    const EffectData& effect, bool copyData, qint32 targetMusicMs, int* row)
{
    if (basedOn != m_revision || !EffectRefusal(effect.name).isEmpty())
        return std::nullopt;
    ShotList probe = m_list;
    int at = -1;
    const int count = m_entryCount;
    const TapOutcome outcome = TapEntry(probe, count, second, circuit, &at);
    if (row)
        *row = at;
    if (outcome != TapOutcome::Added)
        return outcome;
    ListMeta meta = m_meta;
    const QString name = effect.name.trimmed();
    if (copyData && !name.isEmpty()) {
        EffectData kept = effect;
        kept.name = name;
        kept.stock.reset();
        if (EffectDataProblems(kept).isEmpty())
            meta.effectData.insert(name, kept);
    }
    change(
        basedOn, QStringLiteral("Eintrag %1 getippt").arg(at + 1), at,
        [=](ShotList& list) {
            int slot = -1;
            if (TapEntry(list, count, second, circuit, &slot) != TapOutcome::Added)
                return;
            list.effects[slot] = name;
            list.targets[slot] = targetMusicMs;
        },
        meta);
    return outcome;
}

bool ListDocument::rearrange(quint64 basedOn, const ShotList& list, qint32 musicStartTenths, const QString& text)
{
    ListMeta meta = m_meta;
    meta.musicStartTenths = musicStartTenths;
    return change(
        basedOn, text, -1,
        [list](ShotList& target) {
            TakeEntries(target, list);
        },
        meta);
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
            TakeEntries(target, list);
        },
        meta, ChangeKind { QString(), true });
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
    keepSavedIdentity();
    m_stack.setClean();
    if (metaChanges)
        emit metaChanged();
    emit savedToFile();
    return true;
}

// The steps since the list was last replaced, either side of the current one, are steps of the saved
// list: undo and redo keep its name and comment. A replacing step keeps the other list's on its far side.
void ListDocument::keepSavedIdentity()
{
    const auto step = [this](int i) { return const_cast<ListChange*>(static_cast<const ListChange*>(m_stack.command(i))); };
    for (int i = m_stack.index() - 1; i >= 0; --i) {
        ListChange* command = step(i);
        command->adoptIdentity(m_meta.sourcePath, m_meta.comment, !command->replacesList(), true);
        if (command->replacesList())
            break;
    }
    for (int i = m_stack.index(); i < m_stack.count(); ++i) {
        ListChange* command = step(i);
        command->adoptIdentity(m_meta.sourcePath, m_meta.comment, true, !command->replacesList());
        if (command->replacesList())
            break;
    }
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
