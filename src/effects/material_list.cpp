#include "material_list.h"

#include "files/fsl_file.h"
#include "shotlist/duplicates.h"

#include <QHash>

#include <algorithm>
#include <functional>

namespace {

constexpr int WithoutClass = EffectClassCount;

QString className(int index)
{
    return index == WithoutClass ? QStringLiteral("ohne Klasse") : EffectClassName(EffectClass(index));
}

int classIndex(const EffectData& data) { return data.effectClass ? int(*data.effectClass) : WithoutClass; }

void keepLarger(std::optional<qint32>& largest, const std::optional<qint32>& value)
{
    if (value && (!largest || *value > *largest))
        largest = value;
}

QString nemText(qint64 tenths) { return EffectValueText(EffectField::Nem, tenths); }

// "„Vulkan“ (Nr. 3), „Kometen rot“ (Nr. 5–7)" for the named lines that match.
QString namedEntries(const MaterialList& material, const std::function<bool(const MaterialLine&)>& matches)
{
    QStringList parts;
    for (const MaterialLine& line : material.lines) {
        if (!line.name.isEmpty() && matches(line))
            parts.append(QStringLiteral("„%1“ (%2)").arg(line.name, EntryNumbersText(line.entries)));
    }
    return parts.join(QStringLiteral(", "));
}

QString countText(int n, const QString& one, const QString& many)
{
    return n == 1 ? QStringLiteral("1 ") + one : QStringLiteral("%1 ").arg(n) + many;
}

} // namespace

std::optional<qint64> MaterialLine::nemTotalTenths() const
{
    if (!data || !data->nemTenthsGram)
        return std::nullopt;
    return qint64(*data->nemTenthsGram) * count();
}

int MaterialLine::shortfall() const { return stock && count() > *stock ? count() - *stock : 0; }

MaterialList ComputeMaterial(
    const ShotList& list, const EffectDataMap& data, const EffectCatalogue* catalogue)
{
    ShotList normal = list;
    NormalizeList(normal);
    MaterialList material;
    MaterialTotals& totals = material.totals;
    totals.entries = CountEntries(normal);
    MaterialLine without;
    QHash<QString, qsizetype> byName;
    for (int slot = 0; slot < totals.entries; ++slot) {
        const QString& name = normal.effects[slot];
        if (name.isEmpty()) {
            without.entries.append(slot + 1);
            continue;
        }
        auto it = byName.find(name);
        if (it == byName.end()) {
            MaterialLine line;
            line.name = name;
            if (const auto found = data.constFind(name); found != data.constEnd())
                line.data = *found;
            if (const EffectData* article = catalogue ? catalogue->find(name) : nullptr)
                line.stock = article->stock;
            it = byName.insert(name, material.lines.size());
            material.lines.append(std::move(line));
        }
        material.lines[*it].entries.append(slot + 1);
    }

    for (const MaterialLine& line : material.lines) {
        totals.pieces += line.count();
        if (!line.data) {
            totals.withoutData += line.entries;
            continue;
        }
        if (const std::optional<qint64> nem = line.nemTotalTenths()) {
            const int index = classIndex(*line.data);
            totals.nemByClass[index] += *nem;
            totals.classUsed[index] = true;
            totals.nemTenths += *nem;
        } else {
            totals.withoutNem += line.entries;
        }
        if (!line.data->safetyDistanceM)
            totals.withoutSafetyDistance += line.entries;
        keepLarger(totals.largestSafetyDistanceM, line.data->safetyDistanceM);
        keepLarger(totals.largestHeightM, line.data->heightM);
    }
    totals.withoutEffect = without.entries;
    for (QList<int>* entries : { &totals.withoutData, &totals.withoutNem, &totals.withoutSafetyDistance })
        std::sort(entries->begin(), entries->end());

    std::sort(material.lines.begin(), material.lines.end(), [](const MaterialLine& a, const MaterialLine& b) {
        const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
    if (!without.entries.isEmpty())
        material.lines.append(std::move(without));
    return material;
}

namespace {

// "3, 5–7, 9".
QString entryRuns(const QList<int>& entries)
{
    QStringList parts;
    for (qsizetype i = 0; i < entries.size();) {
        qsizetype end = i;
        while (end + 1 < entries.size() && entries[end + 1] == entries[end] + 1)
            ++end;
        // A run of three or more as a range; two stay two numbers.
        if (end - i >= 2) {
            parts.append(QStringLiteral("%1–%2").arg(entries[i]).arg(entries[end]));
            i = end + 1;
        } else {
            parts.append(QString::number(entries[i]));
            ++i;
        }
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString EntryNumbersText(const QList<int>& entries) { return QStringLiteral("Nr. ") + entryRuns(entries); }

QStringList MaterialCheckLines(const MaterialList& material)
{
    const MaterialTotals& totals = material.totals;
    QStringList lines;
    int names = 0;
    for (const MaterialLine& line : material.lines)
        names += line.name.isEmpty() ? 0 : 1;
    lines.append(QStringLiteral("Material: %1, %2")
                     .arg(countText(totals.pieces, QStringLiteral("Stück"), QStringLiteral("Stück")),
                         countText(names, QStringLiteral("Effekt"), QStringLiteral("Effekte"))));

    QStringList classes;
    for (int i = 0; i <= EffectClassCount; ++i) {
        if (totals.classUsed[i])
            classes.append(className(i) + QLatin1Char(' ') + nemText(totals.nemByClass[i]));
    }
    const int unknownNem
        = int(totals.withoutEffect.size() + totals.withoutData.size() + totals.withoutNem.size());
    QString nem;
    if (classes.isEmpty())
        nem = unknownNem > 0 ? QStringLiteral("NEM gesamt: unbekannt")
                             : QStringLiteral("NEM gesamt: ") + nemText(0);
    else
        nem = QStringLiteral("NEM gesamt: %1 (%2)")
                  .arg(nemText(totals.nemTenths), classes.join(QStringLiteral(" · ")));
    if (!classes.isEmpty() && unknownNem > 0)
        nem += QStringLiteral(" – unvollständig: %1 ohne NEM-Angabe")
                   .arg(countText(unknownNem, QStringLiteral("Schuss"), QStringLiteral("Schüsse")));
    lines.append(nem);

    const auto metres = [](const std::optional<qint32>& value) {
        return value ? EffectValueText(EffectField::SafetyDistance, *value) : QStringLiteral("unbekannt");
    };
    lines.append(QStringLiteral("größter Sicherheitsabstand: ") + metres(totals.largestSafetyDistanceM));
    lines.append(QStringLiteral("größte Steighöhe: ") + metres(totals.largestHeightM));

    if (!totals.withoutEffect.isEmpty())
        lines.append(QStringLiteral("ohne Effekt: ") + EntryNumbersText(totals.withoutEffect));
    if (!totals.withoutData.isEmpty())
        lines.append(QStringLiteral("ohne Effektdaten: ")
            + namedEntries(material, [](const MaterialLine& line) { return !line.data; }));
    if (!totals.withoutNem.isEmpty())
        lines.append(QStringLiteral("ohne NEM-Angabe: ")
            + namedEntries(
                material, [](const MaterialLine& line) { return line.data && !line.data->nemTenthsGram; }));
    if (!totals.withoutSafetyDistance.isEmpty())
        lines.append(QStringLiteral("ohne Sicherheitsabstand: ")
            + namedEntries(
                material, [](const MaterialLine& line) { return line.data && !line.data->safetyDistanceM; }));
    QStringList short_;
    for (const MaterialLine& line : material.lines) {
        if (line.shortfall() > 0)
            short_.append(QStringLiteral("„%1“ %2 Stück, Bestand %3")
                              .arg(line.name)
                              .arg(line.count())
                              .arg(*line.stock));
    }
    if (!short_.isEmpty())
        lines.append(QStringLiteral("Bestand reicht nicht: ") + short_.join(QStringLiteral("; ")));
    return lines;
}

QByteArray MaterialCsvBytes(const MaterialList& material)
{
    const auto number = [](EffectField field, const std::optional<qint64>& value) {
        return value ? EffectValueCell(field, *value) : QString();
    };
    const auto stored = [&](EffectField field, const std::optional<EffectData>& data) {
        return data ? number(field, EffectNumber(*data, field)) : QString();
    };
    QList<QStringList> rows;
    rows.append({ QStringLiteral("Effekt"), QStringLiteral("Anzahl"), QStringLiteral("Art"),
        EffectFieldHeader(EffectField::Caliber), QStringLiteral("Klasse"), QStringLiteral("NEM je Stück (g)"),
        QStringLiteral("NEM gesamt (g)"), EffectFieldHeader(EffectField::SafetyDistance),
        EffectFieldHeader(EffectField::Height), EffectFieldHeader(EffectField::Stock),
        QStringLiteral("Fehlmenge (Stück)"), QStringLiteral("Schüsse") });
    for (const MaterialLine& line : material.lines) {
        const std::optional<EffectData>& data = line.data;
        rows.append({ line.name, QString::number(line.count()),
            data && data->art ? EffectArtName(*data->art) : QString(), stored(EffectField::Caliber, data),
            data && data->effectClass ? EffectClassName(*data->effectClass) : QString(),
            stored(EffectField::Nem, data), number(EffectField::Nem, line.nemTotalTenths()),
            stored(EffectField::SafetyDistance, data), stored(EffectField::Height, data),
            number(EffectField::Stock, line.stock),
            line.shortfall() > 0 ? QString::number(line.shortfall()) : QString(), entryRuns(line.entries) });
    }
    const MaterialTotals& totals = material.totals;
    const bool anyNem
        = std::find(totals.classUsed.begin(), totals.classUsed.end(), true) != totals.classUsed.end();
    rows.append(QStringList());
    rows.append({ QStringLiteral("Gesamt"), QString::number(totals.pieces), QString(), QString(), QString(),
        QString(), anyNem ? number(EffectField::Nem, totals.nemTenths) : QString(),
        number(EffectField::SafetyDistance, totals.largestSafetyDistanceM),
        number(EffectField::Height, totals.largestHeightM), QString(), QString(), QString() });
    for (int i = 0; i <= EffectClassCount; ++i) {
        if (totals.classUsed[i])
            rows.append({ QStringLiteral("Gesamt ") + className(i), QString(), QString(), QString(),
                i == WithoutClass ? QString() : className(i), QString(),
                number(EffectField::Nem, totals.nemByClass[i]), QString(), QString(), QString(), QString(),
                QString() });
    }
    return EffectTableBytes(rows);
}

bool WriteMaterialCsv(const QString& path, const MaterialList& material, QString* error)
{
    return SaveBytes(path, MaterialCsvBytes(material), error);
}
