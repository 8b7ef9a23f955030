#include "catalogue_import.h"

#include "files/csv_file.h"
#include "files/csv_table.h"
#include "files/csv_values.h"

#include <QHash>

#include <algorithm>

namespace {

// Header cells beyond this are not looked at.
constexpr int MaxHeaderCells = 256;

QString named(const QString& name) { return QStringLiteral("„%1“").arg(name); }

struct Problem {
    int line = 0;
    QString text;
};

class Problems {
public:
    void add(int line, const QString& text)
    {
        if (m_kept.size() < MaxCsvProblems)
            m_kept.append({ line, text });
        else
            ++m_dropped;
    }
    bool isEmpty() const { return m_kept.isEmpty(); }
    QStringList lines() const
    {
        QList<Problem> all = m_kept;
        std::stable_sort(
            all.begin(), all.end(), [](const Problem& a, const Problem& b) { return a.line < b.line; });
        QStringList lines;
        for (const Problem& problem : std::as_const(all))
            lines.append(problem.line > 0 ? QStringLiteral("Zeile %1: %2").arg(problem.line).arg(problem.text)
                                          : problem.text);
        if (m_dropped > 0)
            lines.append(QStringLiteral("… und %1 weitere Fehler").arg(m_dropped));
        return lines;
    }

private:
    QList<Problem> m_kept;
    qsizetype m_dropped = 0;
};

// The line with a name column that names the most fields.
CsvHeader findHeader(QStringView text)
{
    return FindCsvHeader(text, CsvHeaderSearchLines, MaxHeaderCells, [](const QStringList& cells) {
        int known = 0;
        bool name = false;
        for (const QString& cell : cells) {
            const EffectColumnName column = ClassifyEffectColumn(cell);
            known += column.column != EffectColumn::None ? 1 : 0;
            name = name || column.column == EffectColumn::Name;
        }
        return name ? known : -1;
    });
}

// An effect name as the list file holds it: blanks for line breaks; the formula apostrophe taken off.
QString nameOf(const QString& cell)
{
    QString name = CsvCellText(cell);
    name.replace(QLatin1String("\r\n"), QLatin1String(" "));
    name.replace(QLatin1Char('\n'), QLatin1Char(' '));
    name.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return name.trimmed();
}

void readTable(const QByteArray& bytes, CatalogueImportTable& table, Problems& problems)
{
    if (bytes.size() > MaxCsvBytes) {
        problems.add(0, QStringLiteral("Die Datei ist größer als %1 MB.").arg(MaxCsvBytes / (1024 * 1024)));
        return;
    }
    std::optional<CsvText> text = DecodeCsvText(bytes);
    if (!text) {
        problems.add(0, QStringLiteral("Die Datei ist kein gültiger Unicode-Text."));
        return;
    }
    if (text->text.startsWith(QChar(0xFEFF)))
        text->text.remove(0, 1);
    table.encoding = text->encoding;
    const CsvHeader header = findHeader(text->text);
    if (!header.found) {
        problems.add(0,
            QStringLiteral(
                "Die Datei enthält keine Kopfzeile: keine der ersten %1 Zeilen nennt eine Spalte für "
                "den Namen (etwa „Artikel“, „Name“, „Bezeichnung“).")
                .arg(CsvHeaderSearchLines));
        return;
    }
    table.headerLine = header.record.line;
    table.delimiter = header.delimiter;

    QList<EffectColumnName> names;
    int nameColumn = -1;
    int bestLevel = 0;
    QHash<int, int> fieldColumn; // EffectColumn → its column
    for (int i = 0; i < header.cells.size(); ++i) {
        const EffectColumnName name = ClassifyEffectColumn(header.cells[i]);
        names.append(name);
        table.columns.append({ header.cells[i], name.column, QString() });
        if (name.column == EffectColumn::Name && (bestLevel == 0 || name.nameLevel < bestLevel))
            bestLevel = name.nameLevel;
    }
    QList<int> nameCandidates;
    for (int i = 0; i < names.size(); ++i) {
        CatalogueImportColumn& column = table.columns[i];
        if (names[i].column == EffectColumn::None) {
            column.note = QStringLiteral("nicht erkannt, wird nicht gelesen");
            continue;
        }
        if (!names[i].problem.isEmpty()) {
            problems.add(table.headerLine, names[i].problem);
            continue;
        }
        if (names[i].column == EffectColumn::Name) {
            if (names[i].nameLevel == bestLevel)
                nameCandidates.append(i);
            continue;
        }
        const int key = int(names[i].column);
        if (fieldColumn.contains(key)) {
            problems.add(table.headerLine,
                QStringLiteral("zwei Spalten für %1: %2 (Spalte %3) und %4 (Spalte %5)")
                    .arg(EffectColumnLabel(names[i].column), named(header.cells[fieldColumn[key]]))
                    .arg(fieldColumn[key] + 1)
                    .arg(named(header.cells[i]))
                    .arg(i + 1));
            continue;
        }
        fieldColumn.insert(key, i);
        table.fields.append(names[i].column);
    }
    if (nameCandidates.isEmpty()) {
        problems.add(table.headerLine, QStringLiteral("keine Spalte für den Namen"));
    } else if (nameCandidates.size() > 1) {
        QStringList shown;
        for (const int i : std::as_const(nameCandidates))
            shown.append(QStringLiteral("%1 (Spalte %2)").arg(named(header.cells[i])).arg(i + 1));
        problems.add(table.headerLine,
            QStringLiteral("mehrere Spalten könnten der Name sein: %1")
                .arg(shown.join(QStringLiteral(", "))));
    } else {
        nameColumn = nameCandidates.front();
        for (int i = 0; i < names.size(); ++i) {
            if (names[i].column == EffectColumn::Name && i != nameColumn)
                table.columns[i].note = QStringLiteral("%1 geht vor").arg(named(header.cells[nameColumn]));
        }
    }
    if (!problems.isEmpty())
        return;

    CsvScanner scanner(text->text, header.delimiter, header.record.begin, header.record.line);
    scanner.next(nullptr, 0);
    const int keep = int(header.cells.size());
    QStringList cells;
    QHash<QString, int> seen; // folded name → line
    int rows = 0;
    while (!scanner.atEnd()) {
        const CsvRecord record = scanner.next(&cells, keep);
        if (scanner.unclosedQuote()) {
            problems.add(record.line, QStringLiteral("Anführungszeichen nicht geschlossen"));
            break;
        }
        if (record.blank)
            continue;
        if (++rows > MaxCatalogueRows) {
            problems.add(0, QStringLiteral("Die Tabelle hat mehr als %1 Zeilen.").arg(MaxCatalogueRows));
            break;
        }
        const int line = record.line;
        if (record.cellCount != header.record.cellCount) {
            QString reason = QStringLiteral("%1 Felder, die Kopfzeile (Zeile %2) hat %3")
                                 .arg(record.cellCount)
                                 .arg(table.headerLine)
                                 .arg(header.record.cellCount);
            if (record.cellCount > header.record.cellCount && header.delimiter == QLatin1Char(','))
                reason += QStringLiteral(" (ein Dezimalkomma ohne Anführungszeichen?)");
            problems.add(line, reason);
            continue;
        }
        QStringList reasons;
        EffectData data;
        data.name = nameOf(cells.value(nameColumn));
        if (const QString refusal = EffectNameRefusal(data.name); !refusal.isEmpty())
            reasons.append(refusal);
        for (int i = 0; i < names.size(); ++i) {
            if (i == nameColumn || !fieldColumn.contains(int(names[i].column))
                || fieldColumn.value(int(names[i].column)) != i)
                continue;
            if (const QString refusal = ReadEffectCell(names[i], cells.value(i), data); !refusal.isEmpty())
                reasons.append(refusal);
        }
        if (reasons.isEmpty()) {
            const QString key = data.name.toCaseFolded();
            if (const auto found = seen.constFind(key); found != seen.cend()) {
                const EffectData& first = table.effects[table.lines.indexOf(found.value())];
                reasons.append(first.name == data.name
                        ? QStringLiteral("%1 steht schon in Zeile %2")
                              .arg(named(data.name))
                              .arg(found.value())
                        : QStringLiteral("%1 unterscheidet sich von %2 (Zeile %3) nur in Groß- und "
                                         "Kleinschreibung")
                              .arg(named(data.name), named(first.name))
                              .arg(found.value()));
            } else {
                seen.insert(key, line);
            }
        }
        if (!reasons.isEmpty()) {
            problems.add(line, reasons.join(QStringLiteral("; ")));
            continue;
        }
        table.effects.append(data);
        table.lines.append(line);
    }
    if (problems.isEmpty() && table.effects.isEmpty())
        problems.add(
            table.headerLine, QStringLiteral("keine Artikel: unter der Kopfzeile steht keine Zeile"));
}

QString optionalNumber(EffectField field, const std::optional<qint32>& value)
{
    return value ? EffectValueText(field, *value) : QStringLiteral("leer");
}

} // namespace

CatalogueImportTable ReadCatalogueImport(const QByteArray& bytes)
{
    CatalogueImportTable table;
    Problems problems;
    readTable(bytes, table, problems);
    table.problems = problems.lines();
    if (!table.problems.isEmpty()) {
        table.effects.clear();
        table.lines.clear();
    }
    return table;
}

CatalogueImportTable ReadCatalogueImportFile(const QString& path)
{
    const CsvFileBytes file = ReadCsvFile(path);
    if (!file.bytes) {
        CatalogueImportTable failed;
        failed.problems.append(file.problem);
        return failed;
    }
    return ReadCatalogueImport(*file.bytes);
}

CatalogueImportPlan PlanCatalogueImport(const EffectCatalogue& catalogue, const CatalogueImportTable& table)
{
    CatalogueImportPlan plan;
    plan.withAdded = catalogue;
    QList<std::pair<QString, EffectData>> updates;
    for (qsizetype i = 0; i < table.effects.size(); ++i) {
        const EffectData& row = table.effects[i];
        const EffectData* exact = catalogue.find(row.name);
        if (!exact) {
            if (const EffectData* other = catalogue.findIgnoringCase(row.name)) {
                plan.problems.append(
                    QStringLiteral("Zeile %1: %2 unterscheidet sich von %3 im Katalog nur in "
                                   "Groß- und Kleinschreibung; bitte gleich schreiben.")
                        .arg(table.lines[i])
                        .arg(named(row.name), named(other->name)));
                continue;
            }
            plan.added.append(row);
            continue;
        }
        EffectData after = *exact;
        TakeEffectColumns(table.fields, row, after);
        if (after == *exact)
            ++plan.unchanged;
        else
            plan.updated.append({ *exact, after });
    }
    if (!plan.ok()) {
        plan.added.clear();
        plan.updated.clear();
        plan.unchanged = 0;
        plan.withAdded = catalogue;
        plan.withUpdated = catalogue;
        return plan;
    }
    // Built at once: one insertion after another would move the whole catalogue for each.
    QList<EffectData> added = catalogue.effects() + plan.added;
    QList<EffectData> updated = added;
    QHash<QString, EffectData> changes;
    for (const auto& [before, after] : std::as_const(plan.updated))
        changes.insert(before.name, after);
    for (EffectData& data : updated) {
        if (const auto found = changes.constFind(data.name); found != changes.cend())
            data = found.value();
    }
    const std::optional<EffectCatalogue> withAdded = EffectCatalogue::fromEffects(added);
    const std::optional<EffectCatalogue> withUpdated = EffectCatalogue::fromEffects(updated);
    if (!withAdded || !withUpdated) {
        // Not reached for a table read here: its rows are valid and their names told apart above.
        plan.problems.append(QStringLiteral("Die Tabelle lässt sich nicht in den Katalog übernehmen."));
        plan.withAdded = catalogue;
        plan.withUpdated = catalogue;
        return plan;
    }
    plan.withAdded = *withAdded;
    plan.withUpdated = *withUpdated;
    return plan;
}

QString CatalogueChangeText(const EffectData& before, const EffectData& after)
{
    QStringList changes;
    if (before.art != after.art)
        changes.append(QStringLiteral("Art %1 → %2")
                           .arg(before.art ? EffectArtName(*before.art) : QStringLiteral("leer"),
                               after.art ? EffectArtName(*after.art) : QStringLiteral("leer")));
    for (const EffectField field : EffectNumberFields) {
        const std::optional<qint32>& from = EffectNumber(before, field);
        const std::optional<qint32>& to = EffectNumber(after, field);
        if (from != to)
            changes.append(
                QStringLiteral("%1 %2 → %3")
                    .arg(EffectFieldLabel(field), optionalNumber(field, from), optionalNumber(field, to)));
    }
    if (before.effectClass != after.effectClass)
        changes.append(
            QStringLiteral("Klasse %1 → %2")
                .arg(before.effectClass ? EffectClassName(*before.effectClass) : QStringLiteral("leer"),
                    after.effectClass ? EffectClassName(*after.effectClass) : QStringLiteral("leer")));
    return changes.join(QStringLiteral(", "));
}

QStringList CatalogueImportSummary(const CatalogueImportTable& table, const CatalogueImportPlan& plan)
{
    QStringList lines;
    const QString delimiter = table.delimiter == QLatin1Char(';') ? QStringLiteral("Semikolon")
        : table.delimiter == QLatin1Char('\t')                    ? QStringLiteral("Tabulator")
                                                                  : QStringLiteral("Komma");
    lines.append(QStringLiteral("Kopfzeile in Zeile %1, getrennt durch %2, %3.")
                     .arg(table.headerLine)
                     .arg(delimiter, table.encoding));
    QStringList read, skipped;
    for (const CatalogueImportColumn& column : table.columns) {
        if (column.note.isEmpty())
            read.append(
                QStringLiteral("%1 als %2").arg(named(column.header), EffectColumnLabel(column.column)));
        else
            skipped.append(QStringLiteral("%1 (%2)").arg(named(column.header), column.note));
    }
    lines.append(QStringLiteral("Gelesen: %1.").arg(read.join(QStringLiteral(", "))));
    if (!skipped.isEmpty())
        lines.append(QStringLiteral("Nicht gelesen: %1.").arg(skipped.join(QStringLiteral(", "))));
    lines.append(QStringLiteral("%1, %2 geänderte, %3 unverändert.")
                     .arg(NewArticlesText(int(plan.added.size())))
                     .arg(plan.updated.size())
                     .arg(plan.unchanged));
    if (!plan.updated.isEmpty())
        lines.append(QStringLiteral(
            "Felder ohne Spalte in der Tabelle bleiben bei geänderten Artikeln, wie sie sind."));
    return lines;
}

QString NewArticlesText(int count)
{
    return count == 1 ? QStringLiteral("1 neuer Artikel") : QStringLiteral("%1 neue Artikel").arg(count);
}
