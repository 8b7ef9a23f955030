#include "effect_catalogue.h"

#include "files/csv_file.h"
#include "files/csv_table.h"
#include "files/csv_values.h"
#include "files/fsl_file.h"
#include "files/recovery.h"
#include "files/system_reason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A column of the catalogue file: the name, the Art, a number field or the Klasse.
struct Column {
    enum class Kind { Name, Art, Number, Class };
    Kind kind;
    EffectField field;
};

const Column Columns[] = {
    { Column::Kind::Name, EffectField::Caliber },
    { Column::Kind::Art, EffectField::Caliber },
    { Column::Kind::Number, EffectField::Caliber },
    { Column::Kind::Number, EffectField::Prefire },
    { Column::Kind::Number, EffectField::Duration },
    { Column::Kind::Number, EffectField::Height },
    { Column::Kind::Number, EffectField::SafetyDistance },
    { Column::Kind::Number, EffectField::Nem },
    { Column::Kind::Class, EffectField::Caliber },
    { Column::Kind::Number, EffectField::Stock },
};
constexpr int ColumnCount = int(std::size(Columns));

QString columnLabel(const Column& column)
{
    switch (column.kind) {
    case Column::Kind::Name:
        return QStringLiteral("Name");
    case Column::Kind::Art:
        return QStringLiteral("Art");
    case Column::Kind::Class:
        return QStringLiteral("Klasse");
    case Column::Kind::Number:
        break;
    }
    return EffectFieldLabel(column.field);
}

QString columnHeader(const Column& column)
{
    return column.kind == Column::Kind::Number ? EffectFieldHeader(column.field) : columnLabel(column);
}

QString cellOf(const EffectData& data, const Column& column)
{
    switch (column.kind) {
    case Column::Kind::Name:
        return data.name;
    case Column::Kind::Art:
        return data.art ? EffectArtName(*data.art) : QString();
    case Column::Kind::Class:
        return data.effectClass ? EffectClassName(*data.effectClass) : QString();
    case Column::Kind::Number:
        break;
    }
    const std::optional<qint32>& value = EffectNumber(data, column.field);
    return value ? EffectValueCell(column.field, *value) : QString();
}

// Reads one cell into data; a German problem when it cannot be read.
QString readCell(EffectData& data, const Column& column, const QString& cell)
{
    switch (column.kind) {
    case Column::Kind::Name:
        // The apostrophe the writer puts before a name that starts like a formula comes off again.
        data.name = CsvCellText(cell.trimmed()).trimmed();
        return EffectNameRefusal(data.name);
    case Column::Kind::Art:
        return ReadEffectArt(cell, data.art);
    case Column::Kind::Class:
        return ReadEffectClass(cell, data.effectClass);
    case Column::Kind::Number:
        break;
    }
    const EffectValueRead read = ReadEffectValue(column.field, cell);
    EffectNumber(data, column.field) = read.value;
    return read.problem;
}

// The column a header cell names, by its name folded ("Steighohe"), with its unit in brackets or
// none; -1 and a problem otherwise.
int columnOfHeader(const QString& cell, QString* problem)
{
    static const QRegularExpression withUnit(QStringLiteral("^(.*?)\\s*\\(([^()]*)\\)$"));
    const QRegularExpressionMatch match = withUnit.match(cell);
    const QString base = FoldedCsvName(match.hasMatch() ? match.captured(1) : cell);
    const QString unit = match.hasMatch() ? match.captured(2) : QString();
    for (int i = 0; i < ColumnCount; ++i) {
        if (FoldedCsvName(columnLabel(Columns[i])) != base)
            continue;
        const bool number = Columns[i].kind == Column::Kind::Number;
        if (!unit.isEmpty()
            && (!number || FoldedCsvName(unit) != FoldedCsvName(EffectFieldUnit(Columns[i].field)))) {
            *problem = number ? QStringLiteral("Spalte „%1“: die Einheit ist %2.")
                                    .arg(cell, EffectFieldUnit(Columns[i].field))
                              : QStringLiteral("Spalte „%1“ hat keine Einheit.").arg(cell);
            return -1;
        }
        return i;
    }
    *problem = cell.isEmpty() ? QStringLiteral("eine Spalte ohne Namen.")
                              : QStringLiteral("unbekannte Spalte „%1“.").arg(cell);
    return -1;
}

// where: " im Katalog", " (Zeile 3)".
QString caseRefusal(const QString& name, const QString& other, const QString& where)
{
    return QStringLiteral("„%1“ unterscheidet sich von „%2“%3 nur in der Groß- und Kleinschreibung.")
        .arg(name, other, where);
}

QString lineProblem(int line, const QString& problem)
{
    return QStringLiteral("Zeile %1: %2").arg(line).arg(problem);
}

} // namespace

// Builds a catalogue from rows already checked: valid, and no two names alike but for case.
struct CatalogueBuilder {
    // Pairs of the case-folded name and the article.
    static EffectCatalogue build(QList<std::pair<QString, EffectData>> keyed)
    {
        std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        EffectCatalogue catalogue;
        catalogue.m_effects.reserve(keyed.size());
        catalogue.m_keys.reserve(keyed.size());
        for (auto& [key, data] : keyed) {
            catalogue.m_keys.append(std::move(key));
            catalogue.m_effects.append(std::move(data));
        }
        return catalogue;
    }
};

std::optional<EffectCatalogue> EffectCatalogue::fromEffects(const QList<EffectData>& effects)
{
    QList<std::pair<QString, EffectData>> keyed;
    keyed.reserve(effects.size());
    for (const EffectData& data : effects) {
        EffectData stored = data;
        stored.name = data.name.trimmed();
        if (!EffectDataProblems(stored).isEmpty())
            return std::nullopt;
        keyed.append({ stored.name.toCaseFolded(), std::move(stored) });
    }
    EffectCatalogue catalogue = CatalogueBuilder::build(std::move(keyed));
    if (std::adjacent_find(catalogue.m_keys.cbegin(), catalogue.m_keys.cend()) != catalogue.m_keys.cend())
        return std::nullopt;
    return catalogue;
}

qsizetype EffectCatalogue::lowerBound(const QString& key) const
{
    return std::lower_bound(m_keys.begin(), m_keys.end(), key) - m_keys.begin();
}

const EffectData* EffectCatalogue::findIgnoringCase(QStringView name) const
{
    const QString key = name.toString().toCaseFolded();
    const qsizetype at = lowerBound(key);
    return at < m_keys.size() && m_keys[at] == key ? &m_effects[at] : nullptr;
}

const EffectData* EffectCatalogue::find(QStringView name) const
{
    const EffectData* data = findIgnoringCase(name);
    return data && data->name == name ? data : nullptr;
}

QStringList EffectCatalogue::namesStartingWith(QStringView prefix, int limit) const
{
    const QString key = prefix.toString().toCaseFolded();
    QStringList names;
    for (qsizetype at = lowerBound(key); at < m_keys.size() && m_keys[at].startsWith(key); ++at) {
        if (limit >= 0 && names.size() >= limit)
            break;
        names.append(m_effects[at].name);
    }
    return names;
}

// Why name cannot join the catalogue besides the article at skip (-1: none).
QString EffectCatalogue::takenRefusal(const QString& name, qsizetype skip) const
{
    const QString key = name.toCaseFolded();
    const qsizetype at = lowerBound(key);
    if (at == skip || at >= m_keys.size() || m_keys[at] != key)
        return QString();
    if (m_effects[at].name == name)
        return QStringLiteral("„%1“ steht schon im Katalog.").arg(name);
    return caseRefusal(name, m_effects[at].name, QStringLiteral(" im Katalog"));
}

QString EffectCatalogue::add(const EffectData& data)
{
    EffectData stored = data;
    stored.name = data.name.trimmed();
    if (const QStringList problems = EffectDataProblems(stored); !problems.isEmpty())
        return problems.join(QLatin1Char(' '));
    if (const QString taken = takenRefusal(stored.name, -1); !taken.isEmpty())
        return taken;
    const QString key = stored.name.toCaseFolded();
    const qsizetype at = lowerBound(key);
    m_keys.insert(at, key);
    m_effects.insert(at, std::move(stored));
    return QString();
}

QString EffectCatalogue::update(const QString& name, const EffectData& data)
{
    const EffectData* old = find(name);
    if (!old)
        return QStringLiteral("„%1“ steht nicht im Katalog.").arg(name);
    EffectData stored = data;
    stored.name = data.name.trimmed();
    if (const QStringList problems = EffectDataProblems(stored); !problems.isEmpty())
        return problems.join(QLatin1Char(' '));
    const qsizetype oldAt = old - m_effects.constData();
    if (const QString taken = takenRefusal(stored.name, oldAt); !taken.isEmpty())
        return taken;
    m_keys.removeAt(oldAt);
    m_effects.removeAt(oldAt);
    const QString key = stored.name.toCaseFolded();
    const qsizetype at = lowerBound(key);
    m_keys.insert(at, key);
    m_effects.insert(at, std::move(stored));
    return QString();
}

bool EffectCatalogue::remove(const QString& name)
{
    const EffectData* data = find(name);
    if (!data)
        return false;
    const qsizetype at = data - m_effects.constData();
    m_keys.removeAt(at);
    m_effects.removeAt(at);
    return true;
}

QString CatalogueHeader()
{
    QStringList cells;
    for (const Column& column : Columns)
        cells.append(columnHeader(column));
    return cells.join(QLatin1Char(';'));
}

QString CatalogueFilePath(const QString& tempFolder)
{
    return RecoveryFolder(tempFolder) + CatalogueFileName;
}

QByteArray EffectTableBytes(const QList<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(';');
            text += CsvCell(row[i]);
        }
        text += QLatin1String("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray CatalogueBytes(const EffectCatalogue& catalogue)
{
    QList<QStringList> rows;
    rows.reserve(catalogue.size() + 1);
    rows.append(CatalogueHeader().split(QLatin1Char(';')));
    for (const EffectData& data : catalogue.effects()) {
        QStringList cells;
        for (const Column& column : Columns)
            cells.append(cellOf(data, column));
        rows.append(cells);
    }
    return EffectTableBytes(rows);
}

bool WriteCatalogueFile(const QString& path, const EffectCatalogue& catalogue, QString* error)
{
    return SaveBytes(path, CatalogueBytes(catalogue), error);
}

namespace {

CatalogueRead refused(QStringList problems)
{
    CatalogueRead read;
    read.outcome = CatalogueRead::Outcome::Refused;
    read.problems = std::move(problems);
    return read;
}

// Header cells to columns; problems for unknown, doubled or missing ones.
QList<int> headerColumns(const QStringList& cells, int line, QStringList* problems)
{
    QList<int> columns;
    QList<bool> seen(ColumnCount, false);
    for (const QString& cell : cells) {
        QString problem;
        const int column = columnOfHeader(cell, &problem);
        if (column < 0) {
            problems->append(lineProblem(line, problem));
        } else if (seen[column]) {
            problems->append(lineProblem(line, QStringLiteral("Spalte „%1“ steht zweimal da.").arg(cell)));
        }
        if (column >= 0)
            seen[column] = true;
        columns.append(column);
    }
    if (!seen[0])
        problems->append(lineProblem(line,
            QStringLiteral("keine Spalte „Name“: das ist nicht die Kopfzeile eines Effektkatalogs (%1).")
                .arg(CatalogueHeader())));
    return columns;
}

} // namespace

CatalogueRead ReadCatalogue(const QByteArray& bytes)
{
    if (bytes.size() > MaxCsvBytes)
        return refused(
            { QStringLiteral("Die Datei ist größer als %1 MB.").arg(MaxCsvBytes / (1024 * 1024)) });
    const std::optional<CsvText> decoded = DecodeCsvText(bytes);
    if (!decoded)
        return refused({ QStringLiteral("Die Datei ist kein lesbarer Text.") });
    const QString& text = decoded->text;

    qsizetype from = 0;
    int line = 1;
    if (const std::optional<QChar> separator = CsvSeparatorLine(text)) {
        if (*separator != QLatin1Char(';'))
            return refused(
                { lineProblem(1, QStringLiteral("das Trennzeichen ist „;“, nicht „%1“.").arg(*separator)) });
        line = 2;
        while (from < text.size() && text[from] != QLatin1Char('\r') && text[from] != QLatin1Char('\n'))
            ++from;
        if (from + 1 < text.size() && text[from] == QLatin1Char('\r') && text[from + 1] == QLatin1Char('\n'))
            ++from;
        ++from;
    }
    CsvScanner scanner(text, QLatin1Char(';'), from, line);
    QStringList cells;
    CsvRecord header;
    do {
        if (scanner.atEnd())
            return refused({ QStringLiteral("Die Datei hat keine Kopfzeile (%1).").arg(CatalogueHeader()) });
        header = scanner.next(&cells, ColumnCount + 1);
    } while (header.blank);
    if (header.cellCount > ColumnCount)
        return refused({ lineProblem(header.line,
            QStringLiteral("%1 Spalten; ein Effektkatalog hat höchstens %2 (%3).")
                .arg(header.cellCount)
                .arg(ColumnCount)
                .arg(CatalogueHeader())) });
    QStringList problems;
    const QList<int> columns = headerColumns(cells, header.line, &problems);
    if (!problems.isEmpty())
        return refused(problems);

    QList<std::pair<QString, EffectData>> keyed; // the case-folded name and the article
    QList<int> lines;
    QHash<QString, qsizetype> byKey; // case-folded name to its place in keyed
    int rows = 0;
    int moreProblems = 0;
    auto note = [&](int at, const QString& problem) {
        if (problems.size() < MaxCsvProblems)
            problems.append(lineProblem(at, problem));
        else
            ++moreProblems;
    };
    int lastLine = header.line;
    while (!scanner.atEnd()) {
        const CsvRecord record = scanner.next(&cells, int(columns.size()));
        lastLine = record.line;
        // Blank lines count too: a file of nothing but line ends is refused as quickly.
        if (++rows > MaxCatalogueRows)
            return refused(
                { QStringLiteral("Die Datei hat mehr als %1 Zeilen; so viele Artikel liest Kelto nicht.")
                        .arg(GermanNumber(MaxCatalogueRows, 0)) });
        if (record.blank)
            continue;
        if (record.cellCount != columns.size()) {
            note(record.line,
                (record.cellCount == 1 ? QStringLiteral("1 Feld")
                                       : QStringLiteral("%1 Felder").arg(record.cellCount))
                    + QStringLiteral(", die Kopfzeile hat %1.").arg(columns.size()));
            continue;
        }
        EffectData data;
        bool good = true;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (const QString problem = readCell(data, Columns[columns[i]], cells[i]); !problem.isEmpty()) {
                note(record.line, problem);
                good = false;
            }
        }
        if (!good)
            continue;
        const QString key = data.name.toCaseFolded();
        if (const auto it = byKey.constFind(key); it != byKey.constEnd()) {
            const EffectData& other = keyed[*it].second;
            note(record.line,
                other.name == data.name
                    ? QStringLiteral("„%1“ steht schon in Zeile %2.").arg(data.name).arg(lines[*it])
                    : caseRefusal(data.name, other.name, QStringLiteral(" (Zeile %1)").arg(lines[*it])));
            continue;
        }
        byKey.insert(key, keyed.size());
        keyed.append({ key, std::move(data) });
        lines.append(record.line);
    }
    if (scanner.unclosedQuote())
        note(
            lastLine, QStringLiteral("ein Anführungszeichen wird bis zum Ende der Datei nicht geschlossen."));
    if (moreProblems > 0)
        problems.append(QStringLiteral("… und %1 weitere Probleme.").arg(moreProblems));
    if (!problems.isEmpty())
        return refused(problems);
    CatalogueRead read;
    read.outcome = CatalogueRead::Outcome::Read;
    read.catalogue = CatalogueBuilder::build(std::move(keyed));
    return read;
}

CatalogueRead ReadCatalogueFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    const CsvFileBytes file = ReadCsvFile(path);
    if (!file.bytes)
        return refused({ file.problem });
    return ReadCatalogue(*file.bytes);
}

QString SetAsideCatalogue(const QString& path, QString* reason)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString target;
    for (int n = 1;; ++n) {
        target = info.dir().filePath(
            QStringLiteral("%1-unlesbar-%2%3").arg(info.completeBaseName()).arg(n).arg(suffix));
        if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink())
            break;
    }
    QFile file(path);
    if (!file.rename(target)) {
        *reason = GermanReason(file.errorString());
        return QString();
    }
    return target;
}

QString CatalogueSetAsideText(const QString& newPath, const QStringList& problems)
{
    constexpr int Shown = 10;
    QString text = QStringLiteral("Der Effektkatalog ließ sich nicht lesen. Er wurde unverändert als „%1“ "
                                  "beiseitegelegt; Kelto beginnt mit einem leeren Katalog.")
                       .arg(QDir::toNativeSeparators(newPath));
    if (!problems.isEmpty())
        text += QStringLiteral("\n\n") + problems.mid(0, Shown).join(QLatin1Char('\n'));
    if (problems.size() > Shown)
        text += QStringLiteral("\n… und %1 weitere.").arg(problems.size() - Shown);
    return text;
}
