#include "catalogue_model.h"

#include <QUndoCommand>

#include <algorithm>
#include <functional>
#include <limits>

const QColor CatalogueModel::ShortfallText(0x9c, 0x00, 0x06);
const QColor CatalogueModel::ShortfallBackground(0xff, 0xd7, 0xd7);

namespace {

// A step whose work is done by the model's own functions.
class CatalogueStep : public QUndoCommand {
public:
    CatalogueStep(const QString& text, std::function<void()> redo, std::function<void()> undo)
        : QUndoCommand(text)
        , m_redo(std::move(redo))
        , m_undo(std::move(undo))
    {
    }
    void redo() override { m_redo(); }
    void undo() override { m_undo(); }

private:
    std::function<void()> m_redo;
    std::function<void()> m_undo;
};

bool isNumberColumn(int column)
{
    return column >= CatalogueModel::CaliberColumn && column <= CatalogueModel::StockColumn
        && column != CatalogueModel::ClassColumn;
}

EffectField fieldOf(int column)
{
    switch (column) {
    case CatalogueModel::CaliberColumn:
        return EffectField::Caliber;
    case CatalogueModel::PrefireColumn:
        return EffectField::Prefire;
    case CatalogueModel::DurationColumn:
        return EffectField::Duration;
    case CatalogueModel::HeightColumn:
        return EffectField::Height;
    case CatalogueModel::SafetyDistanceColumn:
        return EffectField::SafetyDistance;
    case CatalogueModel::NemColumn:
        return EffectField::Nem;
    default:
        return EffectField::Stock;
    }
}

const QString NewEffectName = QStringLiteral("Neuer Effekt");

} // namespace

CatalogueModel::CatalogueModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void CatalogueModel::setCatalogue(const EffectCatalogue& catalogue)
{
    beginResetModel();
    m_catalogue = catalogue;
    endResetModel();
    m_stack.clear();
}

void CatalogueModel::setList(const ShotList& list, int entryCount)
{
    QHash<QString, int> shots;
    for (int slot = 0; slot < std::min(entryCount, EntryCount); ++slot) {
        if (!list.effects[slot].isEmpty())
            ++shots[list.effects[slot]];
    }
    if (shots == m_shots)
        return;
    m_shots = std::move(shots);
    shotsChanged();
}

void CatalogueModel::shotsChanged()
{
    if (m_catalogue.isEmpty())
        return;
    emit dataChanged(index(0, StockColumn), index(rowCount() - 1, ShotsColumn));
}

QString CatalogueModel::stockWarning(const EffectData& data) const
{
    const int shots = shotsOf(data.name);
    if (!data.stock || shots <= *data.stock)
        return QString();
    return QStringLiteral("Die Liste braucht %1 Stück, der Bestand ist %2 Stück: es fehlen %3.")
        .arg(shots)
        .arg(*data.stock)
        .arg(shots - *data.stock);
}

QStringList CatalogueModel::stockWarnings() const
{
    QStringList warnings;
    for (const EffectData& data : m_catalogue.effects()) {
        if (!stockWarning(data).isEmpty())
            warnings.append(QStringLiteral("„%1“: %2 Schüsse, Bestand %3 Stück")
                                .arg(data.name)
                                .arg(shotsOf(data.name))
                                .arg(*data.stock));
    }
    return warnings;
}

int CatalogueModel::rowOf(const QString& name) const
{
    const EffectData* data = m_catalogue.find(name);
    return data ? int(data - m_catalogue.effects().constData()) : -1;
}

// The row a new article of this name takes: the catalogue is ordered by the case-folded names.
int CatalogueModel::insertionRow(const QString& name) const
{
    const QString key = name.toCaseFolded();
    const QList<EffectData>& effects = m_catalogue.effects();
    return int(std::partition_point(effects.begin(), effects.end(), [&key](const EffectData& data) {
        return data.name.toCaseFolded() < key;
    }) - effects.begin());
}

void CatalogueModel::insertData(const EffectData& data)
{
    const int row = insertionRow(data.name);
    beginInsertRows(QModelIndex(), row, row);
    m_catalogue.add(data);
    endInsertRows();
    emit catalogueChanged();
}

void CatalogueModel::removeName(const QString& name)
{
    const int row = rowOf(name);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_catalogue.remove(name);
    endRemoveRows();
    emit catalogueChanged();
}

void CatalogueModel::replaceData(const QString& name, const EffectData& data)
{
    const int from = rowOf(name);
    if (from < 0)
        return;
    int to = insertionRow(data.name);
    if (to > from)
        --to;
    if (to == from || name.toCaseFolded() == data.name.toCaseFolded()) {
        m_catalogue.update(name, data);
        emit dataChanged(index(from, 0), index(from, ColumnCount - 1));
    } else {
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
        m_catalogue.update(name, data);
        endMoveRows();
        emit dataChanged(index(to, 0), index(to, ColumnCount - 1));
    }
    emit catalogueChanged();
}

int CatalogueModel::addEffect()
{
    QString name = NewEffectName;
    for (int n = 2; m_catalogue.findIgnoringCase(name); ++n)
        name = QStringLiteral("%1 %2").arg(NewEffectName).arg(n);
    EffectData data;
    data.name = name;
    addEffect(data);
    return rowOf(name);
}

QString CatalogueModel::addEffect(const EffectData& data)
{
    EffectCatalogue trial = m_catalogue;
    if (const QString refusal = trial.add(data); !refusal.isEmpty())
        return refusal;
    EffectData stored = data;
    stored.name = data.name.trimmed();
    m_stack.push(new CatalogueStep(
        QStringLiteral("Effekt „%1“ hinzufügen").arg(stored.name), [this, stored] { insertData(stored); },
        [this, stored] { removeName(stored.name); }));
    return QString();
}

void CatalogueModel::resetTo(const EffectCatalogue& catalogue)
{
    beginResetModel();
    m_catalogue = catalogue;
    endResetModel();
    emit catalogueChanged();
}

bool CatalogueModel::replaceCatalogue(const EffectCatalogue& catalogue, const QString& text)
{
    if (catalogue == m_catalogue)
        return false;
    const EffectCatalogue before = m_catalogue;
    m_stack.push(new CatalogueStep(
        text, [this, catalogue] { resetTo(catalogue); }, [this, before] { resetTo(before); }));
    return true;
}

bool CatalogueModel::removeEffects(const QList<int>& rows)
{
    QList<EffectData> removed;
    for (int row : rows) {
        if (row >= 0 && row < rowCount())
            removed.append(m_catalogue.effects()[row]);
    }
    if (removed.isEmpty())
        return false;
    const QString text = removed.size() == 1 ? QStringLiteral("Effekt „%1“ löschen").arg(removed[0].name)
                                             : QStringLiteral("%1 Effekte löschen").arg(removed.size());
    m_stack.push(new CatalogueStep(
        text,
        [this, removed] {
            for (const EffectData& data : removed)
                removeName(data.name);
        },
        [this, removed] {
            for (const EffectData& data : removed)
                insertData(data);
        }));
    return true;
}

int CatalogueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_catalogue.size();
}

int CatalogueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CatalogueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const EffectData& data = m_catalogue.effects()[index.row()];
    const int column = index.column();
    const bool short_ = (column == StockColumn || column == ShotsColumn) && !stockWarning(data).isEmpty();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case NameColumn:
            return data.name;
        case ArtColumn:
            return data.art ? EffectArtName(*data.art) : QString();
        case ClassColumn:
            return data.effectClass ? EffectClassName(*data.effectClass) : QString();
        case ShotsColumn:
            return shotsOf(data.name);
        default: {
            const std::optional<qint32>& value = EffectNumber(data, fieldOf(column));
            return value ? EffectValueCell(fieldOf(column), *value) : QString();
        }
        }
    case SortRole:
        switch (column) {
        case NameColumn:
            return data.name.toCaseFolded();
        case ArtColumn:
            return data.art ? int(*data.art) : -1;
        case ClassColumn:
            return data.effectClass ? int(*data.effectClass) : -1;
        case ShotsColumn:
            return shotsOf(data.name);
        default: {
            const std::optional<qint32>& value = EffectNumber(data, fieldOf(column));
            return value ? qint64(*value) : std::numeric_limits<qint64>::min();
        }
        }
    case Qt::TextAlignmentRole:
        if (isNumberColumn(column) || column == ShotsColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (short_)
            return stockWarning(data);
        if (column == ShotsColumn)
            return QStringLiteral("Schüsse der Liste mit diesem Effekt");
        if (column == NameColumn)
            return data.name; // a long name is cut short in its cell
        return QVariant();
    case Qt::ForegroundRole:
        return short_ ? QVariant(ShortfallText) : QVariant();
    case Qt::BackgroundRole:
        return short_ ? QVariant(ShortfallBackground) : QVariant();
    default:
        return QVariant();
    }
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return QStringLiteral("Name");
    case ArtColumn:
        return QStringLiteral("Art");
    case ClassColumn:
        return QStringLiteral("Klasse");
    case ShotsColumn:
        return QStringLiteral("Schüsse");
    default:
        return EffectFieldHeader(fieldOf(section));
    }
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return index.column() == ShotsColumn ? flags : flags | Qt::ItemIsEditable;
}

bool CatalogueModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()
        || index.column() == ShotsColumn)
        return false;
    const EffectData before = m_catalogue.effects()[index.row()];
    EffectData after = before;
    const QString typed = value.toString();
    QString problem;
    QString note;
    switch (index.column()) {
    case NameColumn:
        after.name = typed.trimmed();
        problem = EffectNameRefusal(after.name);
        break;
    case ArtColumn:
        problem = ReadEffectArt(typed.trimmed(), after.art);
        break;
    case ClassColumn:
        problem = ReadEffectClass(typed.trimmed(), after.effectClass);
        break;
    default: {
        const EffectField field = fieldOf(index.column());
        const EffectValueRead read = ReadEffectValue(field, typed);
        problem = read.problem;
        EffectNumber(after, field) = read.value;
        if (read.ok() && read.value) {
            const QString shown = typed.trimmed();
            const QString cell = EffectValueCell(field, *read.value);
            if (shown != cell && shown != EffectValueText(field, *read.value)
                && shown != cell + QLatin1Char(' ') + EffectFieldUnit(field))
                note = QStringLiteral("%1: „%2“ gespeichert als %3.")
                           .arg(EffectFieldLabel(field), shown, EffectValueText(field, *read.value));
        }
        break;
    }
    }
    if (problem.isEmpty() && after == before)
        return true;
    if (problem.isEmpty()) {
        EffectCatalogue trial = m_catalogue;
        problem = trial.update(before.name, after);
    }
    if (!problem.isEmpty()) {
        emit refused(QStringLiteral("„%1“ bleibt unverändert: %2").arg(before.name, problem));
        return false;
    }
    m_stack.push(new CatalogueStep(
        QStringLiteral("Effekt „%1“ ändern").arg(before.name),
        [this, before, after] { replaceData(before.name, after); },
        [this, before, after] { replaceData(after.name, before); }));
    if (!note.isEmpty())
        emit noted(note);
    return true;
}
