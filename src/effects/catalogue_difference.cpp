#include "catalogue_difference.h"

#include <algorithm>

namespace {

const QString Unknown = QStringLiteral("unbekannt");

QString artText(const std::optional<EffectArt>& art) { return art ? EffectArtName(*art) : Unknown; }

QString classText(const std::optional<EffectClass>& effectClass)
{
    return effectClass ? EffectClassName(*effectClass) : Unknown;
}

QString numberText(EffectField field, const std::optional<qint32>& value)
{
    return value ? EffectValueText(field, *value) : Unknown;
}

QString difference(const QString& label, const QString& inCatalogue, const QString& inList)
{
    return QStringLiteral("Katalog: %1 %2, Liste: %3").arg(label, inCatalogue, inList);
}

// The fields a list keeps, in the catalogue's column order; stock is the catalogue's own.
QStringList differences(const EffectData& catalogue, const EffectData& list)
{
    QStringList found;
    if (catalogue.art != list.art)
        found.append(difference(QStringLiteral("Art"), artText(catalogue.art), artText(list.art)));
    for (const EffectField field : EffectNumberFields) {
        if (field == EffectField::Stock)
            continue;
        const std::optional<qint32>& inCatalogue = EffectNumber(catalogue, field);
        const std::optional<qint32>& inList = EffectNumber(list, field);
        if (inCatalogue != inList)
            found.append(difference(
                EffectFieldLabel(field), numberText(field, inCatalogue), numberText(field, inList)));
    }
    if (catalogue.effectClass != list.effectClass)
        found.append(difference(
            QStringLiteral("Klasse"), classText(catalogue.effectClass), classText(list.effectClass)));
    return found;
}

} // namespace

CatalogueComparison CompareWithCatalogue(
    const QString& name, const EffectDataMap& listData, const EffectCatalogue& catalogue)
{
    CatalogueComparison result;
    result.name = name;
    if (name.trimmed().isEmpty())
        return result;
    if (const auto found = listData.constFind(name); found != listData.constEnd())
        result.listData = *found;
    if (const EffectData* article = catalogue.find(name)) {
        result.catalogueData = *article;
    } else if (const EffectData* other = catalogue.findIgnoringCase(name)) {
        result.catalogueName = other->name;
        result.match = CatalogueMatch::OtherCase;
        return result;
    }
    if (result.listData && result.catalogueData) {
        result.differences = differences(*result.catalogueData, *result.listData);
        result.match = result.differences.isEmpty() ? CatalogueMatch::Same : CatalogueMatch::Differs;
    } else if (result.listData) {
        result.match = CatalogueMatch::ListOnly;
    } else if (result.catalogueData) {
        result.match = CatalogueMatch::CatalogueOnly;
    } else {
        result.match = CatalogueMatch::Unknown;
    }
    return result;
}

QString CatalogueComparison::text() const
{
    switch (match) {
    case CatalogueMatch::NoName:
        return QString();
    case CatalogueMatch::Same:
        return QStringLiteral("Liste wie Katalog: ") + EffectDataSummary(*listData);
    case CatalogueMatch::Differs:
        return differences.join(QStringLiteral("; "));
    case CatalogueMatch::ListOnly:
        return QStringLiteral("Nicht im Katalog. Liste: ") + EffectDataSummary(*listData);
    case CatalogueMatch::CatalogueOnly:
        return QStringLiteral("Liste ohne Daten. Katalog: ") + EffectDataSummary(*catalogueData);
    case CatalogueMatch::OtherCase:
        return QStringLiteral("Der Katalog kennt „%1“ nur als „%2“.").arg(name, catalogueName);
    case CatalogueMatch::Unknown:
        return QStringLiteral("Keine Daten; nicht im Katalog.");
    }
    return QString();
}

QString EffectDataSummary(const EffectData& data)
{
    QStringList parts;
    if (data.art)
        parts.append(EffectArtName(*data.art));
    if (data.caliberMm)
        parts.append(EffectValueText(EffectField::Caliber, *data.caliberMm));
    if (data.prefireTenths)
        parts.append(QStringLiteral("Vorlauf ") + EffectValueText(EffectField::Prefire, *data.prefireTenths));
    if (data.durationTenths)
        parts.append(QStringLiteral("Dauer ") + EffectValueText(EffectField::Duration, *data.durationTenths));
    if (data.nemTenthsGram)
        parts.append(QStringLiteral("NEM ") + EffectValueText(EffectField::Nem, *data.nemTenthsGram));
    if (data.effectClass)
        parts.append(EffectClassName(*data.effectClass));
    return parts.isEmpty() ? QStringLiteral("keine Daten") : parts.join(QStringLiteral(", "));
}

QStringList CompletionNames(const EffectCatalogue& catalogue)
{
    QStringList names;
    names.reserve(catalogue.size());
    for (const EffectData& article : catalogue.effects())
        names.append(article.name);
    // The catalogue orders by case-folded name; the completer's binary search compares as below, which
    // mostly agrees.
    const auto before
        = [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; };
    if (!std::is_sorted(names.begin(), names.end(), before))
        std::sort(names.begin(), names.end(), before);
    return names;
}
