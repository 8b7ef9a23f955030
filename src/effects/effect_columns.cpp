#include "effect_columns.h"

#include "files/csv_values.h"

#include <initializer_list>

namespace {

bool inSet(const QString& text, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (text == QLatin1String(name))
            return true;
    }
    return false;
}

EffectColumn columnOf(const QString& base, int* nameLevel)
{
    *nameLevel = 0;
    if (inSet(base, { "name", "effektname", "effect name", "artikelname", "article name", "produktname" })) {
        *nameLevel = 1;
        return EffectColumn::Name;
    }
    if (inSet(base, { "artikel", "article", "effekt", "effect", "produkt", "product" })) {
        *nameLevel = 2;
        return EffectColumn::Name;
    }
    if (inSet(base, { "bezeichnung", "artikelbezeichnung", "description", "beschreibung" })) {
        *nameLevel = 3;
        return EffectColumn::Name;
    }
    if (inSet(base, { "art", "effektart", "type", "typ", "effect type" }))
        return EffectColumn::Art;
    if (inSet(base, { "kaliber", "caliber", "calibre", "kal" }))
        return EffectColumn::Caliber;
    if (inSet(base, { "vorlauf", "vorlaufzeit", "prefire", "pre fire", "prefire time" }))
        return EffectColumn::Prefire;
    if (inSet(base, { "dauer", "duration", "effektdauer", "brenndauer", "effect duration" }))
        return EffectColumn::Duration;
    if (inSet(base, { "hohe", "hoehe", "steighohe", "steighoehe", "height", "effekthohe" }))
        return EffectColumn::Height;
    if (inSet(base, { "sicherheitsabstand", "safety distance", "abstand", "schutzabstand" }))
        return EffectColumn::SafetyDistance;
    if (inSet(base, { "nem", "nec", "net explosive mass", "nettoexplosivstoffmasse", "explosivstoffmasse" }))
        return EffectColumn::Nem;
    if (inSet(base, { "klasse", "kategorie", "category", "class" }))
        return EffectColumn::Class;
    if (inSet(base, { "bestand", "lagerbestand", "stock" }))
        return EffectColumn::Stock;
    return EffectColumn::None;
}

// The units a header may name for a column, folded; kg for NEM gives its cells a unit of their own.
bool unitFits(EffectColumn column, const QString& unit, QString* cellUnit)
{
    switch (column) {
    case EffectColumn::Caliber:
        return unit == QLatin1String("mm");
    case EffectColumn::Prefire:
    case EffectColumn::Duration:
        return inSet(unit, { "s", "sek", "sek.", "sec", "sekunden", "seconds", "secs" });
    case EffectColumn::Height:
    case EffectColumn::SafetyDistance:
        return inSet(unit, { "m", "meter", "metre" });
    case EffectColumn::Nem:
        if (unit == QLatin1String("kg")) {
            *cellUnit = QStringLiteral("kg");
            return true;
        }
        return unit == QLatin1String("g");
    case EffectColumn::Stock:
        return inSet(unit, { "stuck", "stk", "stk.", "pcs", "pieces", "pc" });
    case EffectColumn::None:
    case EffectColumn::Name:
    case EffectColumn::Art:
    case EffectColumn::Class:
        break;
    }
    return false;
}

QString expectedUnit(EffectColumn column)
{
    switch (column) {
    case EffectColumn::Nem:
        return QStringLiteral("g oder kg");
    case EffectColumn::Stock:
        return QStringLiteral("Stück");
    default:
        break;
    }
    return IsEffectNumberColumn(column) ? EffectFieldUnit(EffectFieldOf(column)) : QStringLiteral("keine");
}

bool hasLetter(QStringView text)
{
    for (const QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

} // namespace

bool IsEffectNumberColumn(EffectColumn column)
{
    return column == EffectColumn::Caliber || column == EffectColumn::Prefire
        || column == EffectColumn::Duration || column == EffectColumn::Height
        || column == EffectColumn::SafetyDistance || column == EffectColumn::Nem
        || column == EffectColumn::Stock;
}

EffectField EffectFieldOf(EffectColumn column)
{
    switch (column) {
    case EffectColumn::Prefire:
        return EffectField::Prefire;
    case EffectColumn::Duration:
        return EffectField::Duration;
    case EffectColumn::Height:
        return EffectField::Height;
    case EffectColumn::SafetyDistance:
        return EffectField::SafetyDistance;
    case EffectColumn::Nem:
        return EffectField::Nem;
    case EffectColumn::Stock:
        return EffectField::Stock;
    default:
        break;
    }
    return EffectField::Caliber;
}

QString EffectColumnLabel(EffectColumn column)
{
    switch (column) {
    case EffectColumn::Name:
        return QStringLiteral("Name");
    case EffectColumn::Art:
        return QStringLiteral("Art");
    case EffectColumn::Class:
        return QStringLiteral("Klasse");
    case EffectColumn::None:
        return QString();
    default:
        break;
    }
    return EffectFieldLabel(EffectFieldOf(column));
}

EffectColumnName ClassifyEffectColumn(const QString& header)
{
    EffectColumnName name;
    QString base, unit;
    SplitCsvUnit(FoldedCsvName(header), &base, &unit);
    name.column = columnOf(base, &name.nameLevel);
    if (name.column == EffectColumn::None) {
        // A bracket that is part of the name: "Effekt (Name)" is no unit.
        name.column = columnOf(FoldedCsvName(header), &name.nameLevel);
        return name;
    }
    if (!unit.isEmpty() && !IsEffectNumberColumn(name.column)) {
        // Only numbers have units: "Bezeichnung (deutsch)" is another column.
        name.column = columnOf(FoldedCsvName(header), &name.nameLevel);
        return name;
    }
    if (!unit.isEmpty() && !unitFits(name.column, unit, &name.cellUnit))
        name.problem
            = QStringLiteral("Spalte „%1“: die Einheit „%2“ passt nicht zu %3 (erwartet: %4)")
                  .arg(header.trimmed(), unit, EffectColumnLabel(name.column), expectedUnit(name.column));
    return name;
}

QString ReadEffectCell(const EffectColumnName& column, QStringView cell, EffectData& data)
{
    cell = cell.trimmed();
    switch (column.column) {
    case EffectColumn::Art:
        return ReadEffectArt(cell, data.art);
    case EffectColumn::Class:
        return ReadEffectClass(cell, data.effectClass);
    case EffectColumn::None:
    case EffectColumn::Name:
        return QString();
    default:
        break;
    }
    const EffectField field = EffectFieldOf(column.column);
    const QString text = !cell.isEmpty() && !column.cellUnit.isEmpty() && !hasLetter(cell)
        ? cell.toString() + QLatin1Char(' ') + column.cellUnit
        : cell.toString();
    const EffectValueRead read = ReadEffectValue(field, text);
    if (!read.ok())
        return read.problem;
    EffectNumber(data, field) = read.value;
    return QString();
}

void TakeEffectColumns(const QList<EffectColumn>& columns, const EffectData& source, EffectData& target)
{
    for (const EffectColumn column : columns) {
        switch (column) {
        case EffectColumn::Art:
            target.art = source.art;
            break;
        case EffectColumn::Class:
            target.effectClass = source.effectClass;
            break;
        case EffectColumn::None:
        case EffectColumn::Name:
            break;
        default:
            EffectNumber(target, EffectFieldOf(column)) = EffectNumber(source, EffectFieldOf(column));
            break;
        }
    }
}
