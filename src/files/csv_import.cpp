// The mapping of a table's columns and rows to a list: which column is what, and every row read.
#include "csv_file.h"

#include "csv_table.h"
#include "csv_values.h"
#include "effects/effect_columns.h"
#include "shotlist/stored_text.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace {

constexpr int CircuitsPerDevice = 32;
// Header cells beyond this are not looked at.
constexpr int MaxHeaderCells = 4096;
// Rows beyond these are counted, not read: a list has 170 entries at most.
constexpr int MaxReadRows = 10000;
constexpr qsizetype MaxReadCells = qsizetype(MaxHeaderCells) * (EntryCount + 1);
// Column names listed in a message.
constexpr int ListedColumns = 30;

const QString FinaleHeader = QStringLiteral("FIRING_HEADER_ROW");
const QString FinaleData = QStringLiteral("FIRING_DATA_ROW");

QString quoted(QStringView text) { return QLatin1Char('"') + text.toString() + QLatin1Char('"'); }
QString named(const QString& name) { return QStringLiteral("„%1“").arg(name); }

struct Problem {
    int line = 0; // 0: the file as a whole
    QString text;
};

// Keeps the first problems only, so a huge broken file costs no more than a small one; problems of the
// file and its header are kept apart from those of rows, so that rows never crowd them out.
class Report {
public:
    void add(int line, const QString& text)
    {
        if (m_kept.size() < MaxCsvProblems)
            m_kept.append({ line, text });
        else
            ++m_dropped;
    }
    void addFile(int line, const QString& text)
    {
        if (m_file.size() < MaxCsvProblems)
            m_file.append({ line, text });
        else
            ++m_dropped;
    }
    bool isEmpty() const { return m_kept.isEmpty() && m_file.isEmpty(); }

    QStringList lines() const
    {
        QList<Problem> all = m_file + m_kept;
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
    QList<Problem> m_file;
    QList<Problem> m_kept;
    qsizetype m_dropped = 0;
};

// The line that names the most columns, one of them a time, device or circuit; "#" lines are comments.
CsvHeader findHeader(QStringView text)
{
    return FindCsvHeader(text, CsvHeaderSearchLines, MaxHeaderCells, [](const QStringList& cells) {
        if (cells.front().startsWith(QLatin1Char('#')))
            return -1;
        int known = 0;
        bool marks = false;
        for (const QString& cell : cells) {
            const CsvName name = ClassifyCsvName(cell);
            known += name.known() ? 1 : 0;
            marks = marks || name.marksHeader();
        }
        return marks ? known : -1;
    });
}

struct Column {
    QString header;
    CsvName name;
    CsvRole role = CsvRole::None;
    QString note;
};

QString columnList(const QList<Column>& columns)
{
    QStringList names;
    for (const Column& column : columns) {
        if (names.size() == ListedColumns) {
            names.append(QStringLiteral("und %1 weitere").arg(columns.size() - ListedColumns));
            break;
        }
        names.append(named(column.header));
    }
    return names.isEmpty() ? QStringLiteral("keine Spalten") : names.join(QStringLiteral(", "));
}

QString columnNames(const QList<Column>& columns, const QList<int>& indices)
{
    QStringList names;
    for (const int i : indices)
        names.append(QStringLiteral("%1 (Spalte %2)").arg(named(columns[i].header), QString::number(i + 1)));
    return names.join(QStringLiteral(", "));
}

QString unitNote(CsvTimeUnit unit)
{
    switch (unit) {
    case CsvTimeUnit::Seconds:
        return QStringLiteral("in Sekunden");
    case CsvTimeUnit::Millis:
        return QStringLiteral("in Millisekunden");
    case CsvTimeUnit::MinSec:
        return QStringLiteral("als mm:ss");
    case CsvTimeUnit::HourMinSec:
        return QStringLiteral("als hh:mm:ss");
    case CsvTimeUnit::None:
    case CsvTimeUnit::Unknown:
        break;
    }
    return QString();
}

// Everything one evaluation of the table needs.
class Import {
public:
    Import(const CsvImportOptions& options, CsvImport& result)
        : m_options(options)
        , m_result(result)
    {
    }

    void run(const QByteArray& bytes);

private:
    bool readTable(const QByteArray& bytes);
    // The column a choice names; -1 when absent or not found (then reported), -2 when automatic.
    int chosen(const CsvColumnChoice& choice, const QString& role);
    void resolveTime();
    void resolveAddress();
    void resolveEffect();
    void resolveData();
    // The row's data cells into data; false when every one is empty.
    bool readData(int row, EffectData& data, QStringList& reasons) const;
    void takeData(int line, const EffectData& data, QStringList& reasons);
    // Among automatic candidates the lowest level wins, then a column counting the rows drops out beside
    // others.
    QList<int> narrow(const QList<int>& candidates, const std::function<int(const Column&)>& level,
        const QString& winnerNote);
    bool countsRows(int column) const;
    bool used(int column) const;
    void takeRole(int column, CsvRole role, const QString& note);
    void checkTimes();
    void settleDecimal();
    void checkCircuits();
    void readRows();
    void finish();

    QString cell(int row, int column) const
    {
        return column >= 0 && column < m_cells[row].size() ? m_cells[row][column] : QString();
    }
    int headerLine() const { return m_header.record.line; }

    const CsvImportOptions& m_options;
    CsvImport& m_result;
    Report m_report;
    std::optional<CsvText> m_text;
    CsvHeader m_header;
    bool m_finale = false;
    QList<Column> m_columns;
    QList<CsvRecord> m_records;
    QList<QStringList> m_cells;
    int m_rowCount = 0;
    qsizetype m_readCells = 0;
    int m_firstUnread = 0; // a row beyond what is read
    int m_firstTooMany = 0;
    int m_unclosedLine = 0;

    QList<int> m_time;
    int m_device = -1;
    int m_circuit = -1;
    bool m_labels = false;
    int m_effect = -1;
    CsvDecimal m_decimal = CsvDecimal::Unknown;
    // Data columns and how to read them; per effect name its data and the line it came from first.
    QList<std::pair<int, EffectColumnName>> m_data;
    QHash<QString, std::pair<EffectData, int>> m_effectData;

    struct Shot {
        qint32 time;
        qint16 circuit;
        int line;
        QString effect;
    };
    QList<Shot> m_shots;
};

bool Import::readTable(const QByteArray& bytes)
{
    if (bytes.size() > MaxCsvBytes) {
        m_report.addFile(
            0, QStringLiteral("Die Datei ist größer als %1 MB.").arg(MaxCsvBytes / (1024 * 1024)));
        return false;
    }
    m_text = DecodeCsvText(bytes);
    if (!m_text) {
        m_report.addFile(0, QStringLiteral("Die Datei ist kein gültiger Unicode-Text."));
        return false;
    }
    if (m_text->text.startsWith(QChar(0xFEFF)))
        m_text->text.remove(0, 1);
    m_result.summary.encoding = m_text->encoding;
    const QStringView text = m_text->text;
    m_header = findHeader(text);
    if (!m_header.found) {
        bool empty = true;
        for (const QChar c : text)
            empty = empty && (c.isSpace() || c == QLatin1Char(';') || c == QLatin1Char(','));
        m_report.addFile(0,
            empty ? QStringLiteral("Die Datei enthält keine Kopfzeile.")
                  : QStringLiteral(
                      "Die Datei enthält keine Kopfzeile: keine der ersten %1 Zeilen nennt eine Spalte "
                      "für Zeit, Zündgerät oder Kreis (etwa „Zeit“, „Modul“, „Pin“).")
                        .arg(CsvHeaderSearchLines));
        return false;
    }
    m_result.summary.headerLine = headerLine();
    m_result.summary.delimiter = m_header.delimiter;
    m_finale = m_header.cells.front() == FinaleHeader;
    m_result.summary.finale = m_finale;
    for (const QString& name : std::as_const(m_header.cells))
        m_columns.append({ name, ClassifyCsvName(name), CsvRole::None, QString() });
    if (m_finale)
        m_columns[0].note = QStringLiteral("Zeilenart");

    CsvScanner scanner(text, m_header.delimiter, m_header.record.begin, headerLine());
    scanner.next(nullptr, 0);
    const int keep = int(m_columns.size());
    QStringList cells;
    while (!scanner.atEnd()) {
        const CsvRecord record = scanner.next(&cells, keep);
        if (scanner.unclosedQuote()) {
            m_unclosedLine = record.line;
            break; // the rest of the file is one broken cell
        }
        if (record.blank)
            continue;
        if (++m_rowCount == EntryCount + 1)
            m_firstTooMany = record.line;
        if (m_records.size() < MaxReadRows && m_readCells + cells.size() <= MaxReadCells) {
            m_records.append(record);
            m_cells.append(cells);
            m_readCells += cells.size();
        } else if (m_firstUnread == 0) {
            m_firstUnread = record.line;
        }
    }
    return true;
}

int Import::chosen(const CsvColumnChoice& choice, const QString& role)
{
    switch (choice.kind) {
    case CsvColumnChoice::Kind::Automatic:
        return -2;
    case CsvColumnChoice::Kind::Absent:
        return -1;
    case CsvColumnChoice::Kind::Index:
        if (choice.index >= 0 && choice.index < m_columns.size())
            return choice.index;
        m_report.addFile(headerLine(),
            QStringLiteral("keine Spalte %1 für %2; die Datei hat %3 Spalten")
                .arg(choice.index + 1)
                .arg(role)
                .arg(m_columns.size()));
        return -1;
    case CsvColumnChoice::Kind::Name:
        break;
    }
    const QString wanted = FoldedCsvName(choice.name);
    QList<int> matches;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (FoldedCsvName(m_columns[i].header) == wanted)
            matches.append(i);
    }
    if (matches.size() == 1)
        return matches.front();
    if (matches.isEmpty())
        m_report.addFile(headerLine(),
            QStringLiteral("keine Spalte %1 für %2; die Datei hat %3")
                .arg(named(choice.name), role, columnList(m_columns)));
    else
        m_report.addFile(headerLine(),
            QStringLiteral("mehrere Spalten heißen %1: %2")
                .arg(named(choice.name), columnNames(m_columns, matches)));
    return -1;
}

bool Import::used(int column) const
{
    return m_time.contains(column) || column == m_device || column == m_circuit || column == m_effect;
}

void Import::takeRole(int column, CsvRole role, const QString& note)
{
    Column& target = m_columns[column];
    if (target.role != CsvRole::None && target.role != role) {
        m_report.addFile(headerLine(),
            QStringLiteral("Spalte %1 kann nicht zugleich %2 und %3 sein")
                .arg(named(target.header), CsvRoleName(target.role), CsvRoleName(role)));
        return;
    }
    target.role = role;
    target.note = note;
}

// 1, 2, 3 … (or 0, 1, 2 …) down the rows: a cue or row number, no address.
bool Import::countsRows(int column) const
{
    if (m_cells.size() < 2)
        return false;
    qint64 expected = -1;
    for (int row = 0; row < m_cells.size(); ++row) {
        const std::optional<qint64> value = CsvDigits(cell(row, column));
        if (!value)
            return false;
        if (row == 0 && *value > 1)
            return false;
        if (row > 0 && *value != expected)
            return false;
        expected = *value + 1;
    }
    return true;
}

QList<int> Import::narrow(
    const QList<int>& candidates, const std::function<int(const Column&)>& level, const QString& winnerNote)
{
    int best = 0;
    for (const int i : candidates)
        best = best == 0 ? level(m_columns[i]) : std::min(best, level(m_columns[i]));
    QList<int> winners;
    for (const int i : candidates) {
        if (level(m_columns[i]) == best)
            winners.append(i);
    }
    if (winners.size() > 1) {
        QList<int> addresses;
        for (const int i : std::as_const(winners)) {
            if (!countsRows(i))
                addresses.append(i);
        }
        if (!addresses.isEmpty() && addresses.size() < winners.size()) {
            for (const int i : std::as_const(winners)) {
                if (!addresses.contains(i))
                    m_columns[i].note = QStringLiteral("zählt die Zeilen (1, 2, 3 …), keine Adresse");
            }
            winners = addresses;
        }
    }
    if (winners.size() == 1) {
        for (const int i : candidates) {
            if (i != winners.front() && m_columns[i].note.isEmpty())
                m_columns[i].note = winnerNote.arg(named(m_columns[winners.front()].header));
        }
    }
    return winners;
}

void Import::resolveTime()
{
    const int choice = chosen(m_options.time, QStringLiteral("die Zeit"));
    if (choice >= 0) {
        m_time = { choice };
    } else if (choice == -1) {
        if (m_options.time.kind == CsvColumnChoice::Kind::Absent)
            m_report.addFile(
                headerLine(), QStringLiteral("ohne Spalte für die Zeit lässt sich nichts übernehmen"));
        return;
    } else {
        QList<int> ignition, plain;
        for (int i = m_finale ? 1 : 0; i < m_columns.size(); ++i) {
            if (m_columns[i].name.time == CsvTimeKind::Ignition)
                ignition.append(i);
            else if (m_columns[i].name.time == CsvTimeKind::Plain)
                plain.append(i);
        }
        m_time = ignition.isEmpty() ? plain : ignition;
        if (!ignition.isEmpty()) {
            for (const int i : std::as_const(plain))
                m_columns[i].note
                    = QStringLiteral("%1 geht vor").arg(named(m_columns[ignition.front()].header));
        }
        for (Column& column : m_columns) {
            if (column.name.time == CsvTimeKind::Other)
                column.note = QStringLiteral("%1, nicht die Zündzeit").arg(column.name.otherTime);
        }
        if (m_time.isEmpty()) {
            m_report.addFile(headerLine(),
                QStringLiteral(
                    "keine Spalte für die Zündzeit gefunden (etwa „Zeit“, „Sekunden“, „Zündzeit“, „Ignition "
                    "Time“); die Datei hat %1")
                    .arg(columnList(m_columns)));
            return;
        }
    }
    for (const int i : std::as_const(m_time)) {
        const CsvName& name = m_columns[i].name;
        if (name.unit == CsvTimeUnit::Unknown)
            m_report.addFile(headerLine(),
                QStringLiteral(
                    "Spalte %1: Einheit „%2“ unbekannt (Kelto kennt [s], [ms], (mm:ss) und (hh:mm:ss))")
                    .arg(named(m_columns[i].header), name.unitText));
        QString note
            = name.time == CsvTimeKind::Ignition ? QStringLiteral("Zündzeit") : QStringLiteral("Zeit");
        if (!unitNote(name.unit).isEmpty())
            note += QLatin1Char(' ') + unitNote(name.unit);
        if (m_time.size() > 1)
            note += QStringLiteral(", muss mit den anderen Zeitspalten übereinstimmen");
        takeRole(i, CsvRole::Time, note);
    }
}

void Import::resolveAddress()
{
    if (m_options.withoutCircuits) {
        for (Column& column : m_columns) {
            if (column.role == CsvRole::None && (column.name.device > 0 || column.name.circuit > 0))
                column.note = QStringLiteral("nicht gelesen: Liste ohne Zündkreise");
        }
        return;
    }
    const int device = chosen(m_options.device, QStringLiteral("das Zündgerät"));
    const int circuit = chosen(m_options.circuit, QStringLiteral("den Kreis"));
    const auto candidates = [&](auto level) {
        QList<int> found;
        for (int i = m_finale ? 1 : 0; i < m_columns.size(); ++i) {
            if (level(m_columns[i]) > 0 && !used(i) && i != device && i != circuit)
                found.append(i);
        }
        return found;
    };
    const auto deviceLevel = [](const Column& c) { return c.name.device; };
    const auto circuitLevel = [](const Column& c) { return c.name.circuit; };
    bool open = false;
    m_circuit = circuit;
    if (circuit == -2) {
        const QList<int> winners
            = narrow(candidates(circuitLevel), circuitLevel, QStringLiteral("%1 geht vor"));
        m_circuit = winners.size() == 1 ? winners.front() : -1;
        if (winners.size() > 1) {
            m_report.addFile(headerLine(),
                QStringLiteral("mehrere Spalten könnten der Kreis sein: %1; wählen Sie eine")
                    .arg(columnNames(m_columns, winners)));
            open = true;
        }
    }
    m_device = device;
    if (device == -2) {
        const QList<int> winners
            = narrow(candidates(deviceLevel), deviceLevel, QStringLiteral("%1 geht vor"));
        m_device = winners.size() == 1 ? winners.front() : -1;
        if (winners.size() > 1) {
            m_report.addFile(headerLine(),
                QStringLiteral("mehrere Spalten könnten das Zündgerät sein: %1; wählen Sie eine")
                    .arg(columnNames(m_columns, winners)));
            open = true;
        }
    }
    if (open
        || (m_options.device.kind != CsvColumnChoice::Kind::Automatic && device == -1
            && m_options.device.kind != CsvColumnChoice::Kind::Absent)
        || (m_options.circuit.kind != CsvColumnChoice::Kind::Automatic && circuit == -1
            && m_options.circuit.kind != CsvColumnChoice::Kind::Absent)) {
        m_device = m_circuit = -1;
        return;
    }
    if (m_circuit >= 0 && m_device < 0) {
        // One column with labels such as "B05" names device and circuit together.
        bool labels = false, numbers = false;
        for (int row = 0; row < m_cells.size(); ++row) {
            const QString text = cell(row, m_circuit);
            labels = labels || IsCsvCircuitLabel(text);
            numbers = numbers || (!text.isEmpty() && !IsCsvCircuitLabel(text));
        }
        m_labels = labels && !numbers;
        if (!m_labels) {
            m_report.addFile(headerLine(),
                QStringLiteral("Spalte %1 ohne Spalte für das Zündgerät")
                    .arg(quoted(m_columns[m_circuit].header)));
            return;
        }
    }
    if (m_device >= 0 && m_circuit < 0) {
        m_report.addFile(headerLine(),
            QStringLiteral("Spalte %1 ohne Spalte für den Kreis").arg(quoted(m_columns[m_device].header)));
        return;
    }
    if (m_device < 0 && m_circuit < 0) {
        if (m_options.device.kind == CsvColumnChoice::Kind::Automatic
            && m_options.circuit.kind == CsvColumnChoice::Kind::Automatic)
            m_report.addFile(headerLine(),
                QStringLiteral(
                    "keine Spalte für den Zündkreis (Zündgerät und Kreis, etwa „Modul“ und „Pin“) gefunden: "
                    "die Datei hat %1. Ohne Zündkreise übernehmen: „Liste ohne Zündkreise“ "
                    "(--without-circuits)")
                    .arg(columnList(m_columns)));
        else
            m_report.addFile(headerLine(),
                QStringLiteral("ohne Spalte für den Kreis gibt es keine Zündkreise; für eine Liste ohne "
                               "Zündkreise „Liste ohne Zündkreise“ wählen (--without-circuits)"));
        return;
    }
    if (m_device >= 0)
        takeRole(m_device, CsvRole::Device, QStringLiteral("Zündgerät"));
    takeRole(m_circuit, CsvRole::Circuit,
        m_labels ? QStringLiteral("Zündgerät und Kreis (etwa „B05“)")
                 : QStringLiteral("Kreis, ab %1 gezählt").arg(m_options.circuitsFrom));
}

void Import::resolveEffect()
{
    const int choice = chosen(m_options.effect, QStringLiteral("den Effekt"));
    if (choice != -2) {
        m_effect = choice;
    } else {
        QList<int> found;
        for (int i = m_finale ? 1 : 0; i < m_columns.size(); ++i) {
            if (m_columns[i].name.effect > 0 && !used(i))
                found.append(i);
        }
        int best = 0;
        for (const int i : std::as_const(found))
            best = best == 0 ? m_columns[i].name.effect : std::min(best, m_columns[i].name.effect);
        QList<int> winners;
        for (const int i : std::as_const(found)) {
            if (m_columns[i].name.effect == best)
                winners.append(i);
        }
        if (winners.size() > 1) {
            m_report.addFile(headerLine(),
                QStringLiteral("mehrere Spalten könnten der Effekt sein: %1; wählen Sie eine")
                    .arg(columnNames(m_columns, winners)));
            return;
        }
        m_effect = winners.isEmpty() ? -1 : winners.front();
        for (const int i : std::as_const(found)) {
            if (i != m_effect)
                m_columns[i].note = QStringLiteral("%1 geht vor").arg(named(m_columns[m_effect].header));
        }
    }
    if (m_effect >= 0)
        takeRole(m_effect, CsvRole::Effect, QStringLiteral("Effekt"));
}

// Columns of effect data by the names the catalogue import knows; stock is the catalogue's, not a list's.
void Import::resolveData()
{
    QHash<int, int> taken;
    for (int i = m_finale ? 1 : 0; i < m_columns.size(); ++i) {
        if (used(i))
            continue;
        const EffectColumnName name = ClassifyEffectColumn(m_columns[i].header);
        if (name.column == EffectColumn::None || name.column == EffectColumn::Name)
            continue;
        if (name.column == EffectColumn::Stock) {
            m_columns[i].note = QStringLiteral("Bestand gehört in den Katalog, nicht in die Liste");
            continue;
        }
        if (!name.problem.isEmpty()) {
            m_report.addFile(headerLine(), name.problem);
            continue;
        }
        if (const auto found = taken.constFind(int(name.column)); found != taken.cend()) {
            m_report.addFile(headerLine(),
                QStringLiteral("zwei Spalten für %1: %2")
                    .arg(EffectColumnLabel(name.column), columnNames(m_columns, { found.value(), i })));
            continue;
        }
        // A column of another program that means something else by the name ("Category" = "Shell"): not
        // one cell reads as the field, so it is left out, and said so.
        QString firstText;
        bool readable = false;
        for (int row = 0; row < m_cells.size() && !readable; ++row) {
            const QString text = cell(row, i);
            if (text.isEmpty())
                continue;
            if (firstText.isEmpty())
                firstText = text;
            EffectData probe;
            readable = ReadEffectCell(name, text, probe).isEmpty();
        }
        if (!readable && !firstText.isEmpty()) {
            m_columns[i].note = QStringLiteral("keine Effektdaten: kein Wert ist als %1 lesbar (etwa %2)")
                                    .arg(EffectColumnLabel(name.column), quoted(firstText));
            continue;
        }
        taken.insert(int(name.column), i);
        m_data.append({ i, name });
        takeRole(i, CsvRole::Data, EffectColumnLabel(name.column));
    }
}

bool Import::readData(int row, EffectData& data, QStringList& reasons) const
{
    bool any = false;
    for (const auto& [column, name] : m_data) {
        const QString text = cell(row, column);
        if (text.isEmpty())
            continue;
        any = true;
        if (const QString refusal = ReadEffectCell(name, text, data); !refusal.isEmpty())
            reasons.append(refusal);
    }
    return any;
}

// One name, one set of data: a row that says otherwise is refused, naming the line it differs from.
void Import::takeData(int line, const EffectData& data, QStringList& reasons)
{
    if (data.name.isEmpty()) {
        reasons.append(QStringLiteral("Effektdaten ohne Effektname"));
        return;
    }
    const auto found = m_effectData.constFind(data.name);
    if (found == m_effectData.cend()) {
        m_effectData.insert(data.name, { data, line });
        return;
    }
    if (found.value().first != data)
        reasons.append(QStringLiteral("%1 hat hier andere Daten als in Zeile %2")
                           .arg(named(data.name))
                           .arg(found.value().second));
}

// The decimal mark of the file's times, and times that only make sense as milliseconds.
void Import::checkTimes()
{
    bool point = false, comma = false;
    for (const int column : std::as_const(m_time)) {
        for (int row = 0; row < m_cells.size(); ++row) {
            const CsvDecimal evidence = CsvDecimalEvidence(cell(row, column));
            point = point || evidence == CsvDecimal::Point;
            comma = comma || evidence == CsvDecimal::Comma;
        }
    }
    m_decimal = point && comma ? CsvDecimal::Both
        : point                ? CsvDecimal::Point
        : comma                ? CsvDecimal::Comma
                               : CsvDecimal::Unknown;
    if (m_decimal == CsvDecimal::Unknown)
        settleDecimal();

    for (const int column : std::as_const(m_time)) {
        if (m_columns[column].name.unit != CsvTimeUnit::None)
            continue;
        QList<qint64> values;
        bool integers = true;
        for (int row = 0; row < m_cells.size() && integers; ++row) {
            const QString text = cell(row, column);
            if (text.isEmpty())
                continue;
            const std::optional<qint64> value = CsvDigits(text);
            integers = value.has_value();
            if (value)
                values.append(*value);
        }
        if (!integers || values.isEmpty())
            continue;
        std::sort(values.begin(), values.end());
        // A show in milliseconds often starts at 0: the start says nothing about the unit.
        QList<qint64> later = values;
        later.removeAll(0);
        bool spread = !later.isEmpty() && later.front() > 1000;
        for (qsizetype i = 1; i < later.size() && spread; ++i)
            spread = later[i] - later[i - 1] >= 100;
        const QString& header = m_columns[column].header;
        const QString hint
            = QStringLiteral("; eine Einheit im Spaltennamen entscheidet („%1 [ms]“ oder „%1 [s]“)")
                  .arg(header);
        if (values.back() > LastValidTime)
            m_report.addFile(headerLine(),
                QStringLiteral(
                    "die Zeiten der Spalte %1 sind wohl Millisekunden: als Sekunden läge %2 nach 18:07:59%3")
                    .arg(named(header), quoted(QString::number(values.back())), hint));
        else if (spread)
            m_report.addFile(headerLine(),
                QStringLiteral("die Zeiten der Spalte %1 sind wohl Millisekunden: alle außer 0 über 1000 und "
                               "mindestens 100 auseinander (als Sekunden wäre %2 schon %3)%4")
                    .arg(named(header), quoted(QString::number(later.front())),
                        FormatClock(qint32(later.front())), hint));
    }
}

// Times such as "1.200" alone, all with the same mark: what the file is settles the mark, where it does.
void Import::settleDecimal()
{
    QChar mark;
    int count = 0;
    qint64 latest = -1, latestGrouped = 0;
    QString latestText, example;
    bool millis = false;
    for (const int column : std::as_const(m_time)) {
        for (int row = 0; row < m_cells.size(); ++row) {
            const QString text = cell(row, column);
            const std::optional<CsvAmbiguousNumber> number = CsvAmbiguity(text);
            if (!number)
                continue;
            if (!mark.isNull() && mark != number->mark)
                return; // both marks: nothing settles that
            mark = number->mark;
            if (count++ == 0)
                example = text.trimmed();
            const bool inMillis = m_columns[column].name.unit == CsvTimeUnit::Millis;
            const qint64 seconds = inMillis ? number->grouped / 1000 : number->grouped;
            if (seconds > latest) {
                latest = seconds;
                latestGrouped = number->grouped;
                latestText = text.trimmed();
                millis = inMillis;
            }
        }
    }
    if (count == 0)
        return;
    QStringList reasons;
    const bool point = mark == QLatin1Char('.');
    if (m_finale && point)
        reasons.append(QStringLiteral("Finale Generic CSV schreibt einen Dezimalpunkt"));
    if (point && m_header.delimiter == QLatin1Char(','))
        reasons.append(QStringLiteral("das Komma ist das Trennzeichen der Datei"));
    if (latest > LastValidTime)
        reasons.append(
            QStringLiteral("mit Tausender%1 läge %2 (%3 %4) nach 18:07:59")
                .arg(point ? QStringLiteral("punkt") : QStringLiteral("komma"), named(latestText),
                    QString::number(latestGrouped), millis ? QStringLiteral("ms") : QStringLiteral("s")));
    if (reasons.isEmpty())
        return;
    m_decimal = point ? CsvDecimal::Point : CsvDecimal::Comma;
    m_result.summary.settledMark = mark;
    m_result.summary.settledBy = reasons;
    m_result.summary.settledTimes = count;
    m_result.summary.settledExample = example;
}

// Circuits counted from 1 in a file read as counted from 0: 32 shows up, 0 never.
void Import::checkCircuits()
{
    if (m_circuit < 0 || m_options.circuitsFrom != 0)
        return;
    bool zero = false, top = false;
    for (int row = 0; row < m_cells.size(); ++row) {
        const CsvCircuit circuit = ReadCsvCircuit(cell(row, m_circuit), 0);
        zero = zero || circuit.number == 0;
        top = top || circuit.number == CircuitsPerDevice;
    }
    if (top && !zero)
        m_report.addFile(headerLine(),
            QStringLiteral(
                "die Kreise der Spalte %1 zählen wohl ab 1 (32 kommt vor, 0 nie): „Kreise ab 1“ wählen "
                "(--circuits-from 1)")
                .arg(named(m_columns[m_circuit].header)));
}

// An effect as a list file holds it: line breaks as blanks, other characters as "?".
QString effectText(const QString& cell, bool* joined, bool* replaced)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]+"));
    QString text = cell;
    text.replace(breaks, QStringLiteral(" "));
    *joined = text != cell;
    // Latin-1 outside 0x80..0x9F is Windows-1252 as it is; only other characters need the look-up.
    const bool latin = std::all_of(text.begin(), text.end(),
        [](QChar c) { return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF); });
    const QString stored = latin ? text : StoredText(text);
    *replaced = stored != text;
    return stored.trimmed();
}

void Import::readRows()
{
    const int from = m_options.circuitsFrom;
    int disagreeing = 0, agreeing = 0;
    for (int row = 0; row < m_records.size(); ++row) {
        const CsvRecord& record = m_records[row];
        const int line = record.line;
        if (record.cellCount != m_header.record.cellCount) {
            QString text = QStringLiteral("%1 Felder, die Kopfzeile (Zeile %2) hat %3")
                               .arg(record.cellCount)
                               .arg(headerLine())
                               .arg(m_header.record.cellCount);
            if (record.cellCount > m_header.record.cellCount && m_header.delimiter == QLatin1Char(','))
                text += QStringLiteral(" (ein Dezimalkomma ohne Anführungszeichen?)");
            m_report.add(line, text);
            continue;
        }
        if (m_finale && cell(row, 0) != FinaleData) {
            m_report.add(
                line, QStringLiteral("keine Zeile FIRING_DATA_ROW, sondern %1").arg(quoted(cell(row, 0))));
            continue;
        }
        QStringList reasons;

        qint64 time = -1;
        bool rounded = false;
        QStringList present, missing;
        QList<qint64> values;
        for (const int column : std::as_const(m_time)) {
            const QString text = cell(row, column);
            (text.isEmpty() ? missing : present).append(named(m_columns[column].header));
            if (text.isEmpty())
                continue;
            const CsvTimeRead read = ReadCsvTime(text, m_columns[column].name.unit, m_decimal);
            if (!read.time) {
                reasons.append(read.problem);
                continue;
            }
            values.append(read.time->rounded());
            rounded = rounded || read.time->hasFraction();
        }
        if (present.isEmpty()) {
            reasons.append(QStringLiteral("keine Zeit"));
        } else if (!missing.isEmpty()) {
            reasons.append(QStringLiteral("Zeit in %1, nicht in %2")
                               .arg(present.join(QStringLiteral(", ")), missing.join(QStringLiteral(", "))));
        } else if (values.size() == m_time.size()) {
            if (std::all_of(values.begin(), values.end(), [&](qint64 v) { return v == values.front(); })) {
                time = values.front();
                ++agreeing;
            } else {
                QStringList shown;
                for (const int column : std::as_const(m_time))
                    shown.append(QStringLiteral("%1 %2").arg(
                        named(m_columns[column].header), quoted(cell(row, column))));
                reasons.append(
                    QStringLiteral("%1 nennen verschiedene Zeiten").arg(shown.join(QStringLiteral(" und "))));
                ++disagreeing;
            }
        }
        if (time > LastValidTime) {
            reasons.append(
                QStringLiteral("Zeit %1 liegt nach 18:07:59").arg(quoted(cell(row, m_time.front()))));
            time = -1;
        }

        qint16 code = NoCircuit;
        if (m_circuit >= 0) {
            const QString deviceText = cell(row, m_device);
            const QString circuitText = cell(row, m_circuit);
            int device = -1;
            if (!deviceText.isEmpty()) {
                const CsvDevice read = ReadCsvDevice(deviceText);
                device = read.index;
                if (device < 0)
                    reasons.append(read.problem);
            }
            int circuit = -1;
            if (!circuitText.isEmpty()) {
                const CsvCircuit read = ReadCsvCircuit(circuitText, from);
                circuit = read.circuit;
                if (circuit < 0)
                    reasons.append(read.problem);
                if (read.device >= 0) {
                    if (!deviceText.isEmpty() && device >= 0 && device != read.device)
                        reasons.append(QStringLiteral("Kreis %1 passt nicht zum Zündgerät %2")
                                           .arg(quoted(circuitText), quoted(deviceText)));
                    device = read.device;
                } else if (m_labels) {
                    reasons.append(QStringLiteral("Kreis %1 ohne Zündgerät (erwartet etwa „B05“)")
                                       .arg(quoted(circuitText)));
                }
            }
            if (m_device >= 0 && deviceText.isEmpty() && !circuitText.isEmpty()
                && !IsCsvCircuitLabel(circuitText))
                reasons.append(QStringLiteral("Kreis ohne Zündgerät"));
            if (!deviceText.isEmpty() && circuitText.isEmpty())
                reasons.append(QStringLiteral("Zündgerät ohne Kreis"));
            if (device >= 0 && circuit >= 0) {
                code = qint16(device * CircuitsPerDevice + circuit);
                // Code 255 is the mark for no circuit.
                if (code == NoCircuit)
                    reasons.append(
                        QStringLiteral("H 31 lässt sich nicht speichern (255 bedeutet „kein Zündkreis“)"));
            }
        }

        QString effect;
        if (m_effect >= 0) {
            bool joined = false, replaced = false;
            effect = effectText(CsvCellText(cell(row, m_effect)), &joined, &replaced);
            if (effect.size() > EffectMaxLength) {
                reasons.append(QStringLiteral("Effekt hat %1 Zeichen, höchstens %2")
                                   .arg(effect.size())
                                   .arg(EffectMaxLength));
            } else if (const QString refusal = EffectRefusal(effect); !refusal.isEmpty()) {
                reasons.append(refusal);
            } else {
                if (joined)
                    m_result.summary.joinedLines.append(line);
                if (replaced)
                    m_result.summary.replacedLines.append(line);
            }
        }

        EffectData data;
        const bool hasData = readData(row, data, reasons);
        if (hasData && reasons.isEmpty()) {
            data.name = effect;
            takeData(line, data, reasons);
        }

        if (!reasons.isEmpty()) {
            m_report.add(line, reasons.join(QStringLiteral("; ")));
            continue;
        }
        if (rounded)
            m_result.summary.roundedLines.append(line);
        if (code == NoCircuit)
            m_result.summary.withoutCircuitLines.append(line);
        m_shots.append({ qint32(time), code, line, effect });
    }
    if (m_time.size() > 1 && agreeing == 0 && disagreeing > 0) {
        m_report.addFile(headerLine(),
            QStringLiteral(
                "die Spalten %1 könnten alle die Zeit sein und stimmen in keiner Zeile überein; wählen Sie "
                "die Zeitspalte (--time-column)")
                .arg(columnNames(m_columns, m_time)));
    }
}

// The other lines of a group of shots in the same second, the first few by number.
template <typename Shots> QString otherLines(const Shots& group, qsizetype first, qsizetype end, int self)
{
    constexpr int Shown = 5;
    QStringList numbers;
    for (qsizetype i = first; i < end && numbers.size() < Shown; ++i) {
        if (group[i].line != self)
            numbers.append(QString::number(group[i].line));
    }
    QString text = numbers.join(QStringLiteral(", "));
    const qsizetype others = end - first - 1;
    if (others > Shown)
        text += QStringLiteral(" und %1 weiteren").arg(others - Shown);
    return text;
}

void Import::finish()
{
    if (m_unclosedLine > 0)
        m_report.add(m_unclosedLine, QStringLiteral("Anführungszeichen nicht geschlossen"));
    if (m_rowCount > EntryCount)
        m_report.addFile(m_firstTooMany,
            QStringLiteral("mehr als %1 Schüsse (die Datei hat %2)").arg(EntryCount).arg(m_rowCount));
    else if (m_firstUnread > 0)
        m_report.addFile(
            m_firstUnread, QStringLiteral("die Tabelle ist zu groß; ab hier wird nicht mehr gelesen"));

    const bool ascending = std::is_sorted(
        m_shots.begin(), m_shots.end(), [](const Shot& a, const Shot& b) { return a.time < b.time; });
    std::stable_sort(
        m_shots.begin(), m_shots.end(), [](const Shot& a, const Shot& b) { return a.time < b.time; });
    m_result.summary.sorted = !ascending;
    for (qsizetype start = 0; start < m_shots.size();) {
        qsizetype end = start + 1;
        while (end < m_shots.size() && m_shots[end].time == m_shots[start].time)
            ++end;
        if (end - start > 1) {
            for (qsizetype i = start; i < end; ++i) {
                m_report.add(m_shots[i].line,
                    QStringLiteral("zwei Schüsse in derselben Sekunde %1 (auch Zeile %2)")
                        .arg(FormatClock(m_shots[i].time), otherLines(m_shots, start, end, m_shots[i].line)));
            }
        }
        start = end;
    }
    for (const Shot& shot : std::as_const(m_shots)) {
        if (m_result.rows.size() == EntryCount)
            break;
        m_result.rows.append({ shot.line, shot.time, shot.circuit, shot.effect });
    }
    if (m_report.isEmpty() && m_shots.isEmpty())
        m_report.addFile(
            headerLine(), QStringLiteral("keine Schüsse: unter der Kopfzeile steht keine Zeile"));
}

void Import::run(const QByteArray& bytes)
{
    m_result.summary.circuitsFrom = m_options.circuitsFrom;
    m_result.summary.withoutCircuits = m_options.withoutCircuits;
    if (m_options.circuitsFrom != 0 && m_options.circuitsFrom != 1)
        m_report.addFile(
            0, QStringLiteral("Kreise zählen ab 0 oder ab 1, nicht ab %1.").arg(m_options.circuitsFrom));
    if (m_report.isEmpty() && readTable(bytes)) {
        resolveTime();
        resolveAddress();
        resolveEffect();
        resolveData();
        if (m_report.isEmpty()) {
            checkTimes();
            checkCircuits();
            readRows();
            finish();
        }
    }
    for (const Column& column : std::as_const(m_columns))
        m_result.columns.append({ column.header, column.role, column.note });
    if (!m_report.isEmpty()) {
        m_result.problems = m_report.lines();
        return;
    }
    ShotList list;
    std::fill(std::begin(list.times), std::end(list.times), EmptyTime);
    std::fill(std::begin(list.circuits), std::end(list.circuits), NoCircuit);
    std::fill(std::begin(list.targets), std::end(list.targets), NoTarget);
    for (qsizetype i = 0; i < m_shots.size() && i < EntryCount; ++i) {
        list.times[i] = m_shots[i].time;
        list.circuits[i] = m_shots[i].circuit;
        list.effects[i] = m_shots[i].effect;
    }
    m_result.list = list;
    for (auto it = m_effectData.cbegin(); it != m_effectData.cend(); ++it)
        m_result.effectData.insert(it.key(), it.value().first);
    m_result.summary.shots = int(m_shots.size());
    m_result.summary.duration = m_shots.isEmpty() ? 0 : m_shots.back().time;
}

} // namespace

CsvImport ReadShotListCsv(const QByteArray& bytes, const CsvImportOptions& options)
{
    CsvImport result;
    Import(options, result).run(bytes);
    return result;
}

QString CsvRoleName(CsvRole role)
{
    switch (role) {
    case CsvRole::Time:
        return QStringLiteral("Zeit");
    case CsvRole::Device:
        return QStringLiteral("Zündgerät");
    case CsvRole::Circuit:
        return QStringLiteral("Kreis");
    case CsvRole::Effect:
        return QStringLiteral("Effekt");
    case CsvRole::Data:
        return QStringLiteral("Effektdaten");
    case CsvRole::None:
        break;
    }
    return QStringLiteral("–");
}
