#include "csv_file.h"

#include "files/fsl_file.h"
#include "shotlist/duplicates.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace {

constexpr int CircuitsPerDevice = 32;
constexpr int DeviceCount = 8;
// Header cells beyond this are not looked at.
constexpr int MaxHeaderCells = 4096;
// Digits beyond this cannot be a time of a list, only a time far too late.
constexpr int MaxTimeDigits = 9;
constexpr qint64 FarTooLate = Q_INT64_C(1) << 50;

enum Role { TimeRole, DeviceRole, CircuitRole, RoleCount };

struct Problem {
    int line = 0; // 0: the file as a whole
    QString text;
};

QString quoted(QStringView text) { return QLatin1Char('"') + text.toString() + QLatin1Char('"'); }

// BOM first; without one, UTF-8 when the bytes are valid UTF-8, else Windows-1252.
std::optional<QString> decodeCsv(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(
            bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
            QStringConverter::Flag::Stateless);
        QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError() || bytes.size() % 2 != 0)
            return std::nullopt;
        return text;
    }
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = QByteArrayView(bytes).sliced(bom ? 3 : 0);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    if (bom)
        return std::nullopt;
    QStringDecoder ansi("windows-1252");
    return ansi.decode(body);
}

bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

// Counts the candidates outside quotes in the first line that holds more than blanks and separators;
// the most frequent one wins, a tie or a single column goes to the semicolon, then the tab.
QChar detectDelimiter(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size()) {
        int semicolons = 0, tabs = 0, commas = 0;
        bool content = false, inQuotes = false;
        for (; pos < text.size(); ++pos) {
            const QChar c = text[pos];
            if (c == QLatin1Char('"'))
                inQuotes = !inQuotes;
            if (!inQuotes && isLineEnd(c))
                break;
            if (inQuotes && c != QLatin1Char('"')) {
                content = true;
                continue;
            }
            if (c == QLatin1Char(';'))
                ++semicolons;
            else if (c == QLatin1Char('\t'))
                ++tabs;
            else if (c == QLatin1Char(','))
                ++commas;
            else if (!c.isSpace())
                content = true;
        }
        if (content) {
            if (semicolons >= tabs && semicolons >= commas)
                return QLatin1Char(';');
            return tabs >= commas ? QLatin1Char('\t') : QLatin1Char(',');
        }
        ++pos;
    }
    return QLatin1Char(';');
}

// Walks the text once, record by record. A line ends at CR, LF or CR LF; quoted cells may hold
// separators, doubled quotes and line ends.
class CsvScanner {
public:
    CsvScanner(QStringView text, QChar delimiter)
        : m_text(text)
        , m_delimiter(delimiter)
    {
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    bool unclosedQuote() const { return m_unclosedQuote; }

    // The cells of the next record, the first `keep` of them kept; line is where the record starts.
    // blank tells whether every cell is empty.
    void next(QStringList& cells, int keep, int* line, bool* blank)
    {
        cells.clear();
        *line = m_line;
        *blank = true;
        int index = 0;
        while (true) {
            QString cell = readCell();
            if (!cell.isEmpty())
                *blank = false;
            if (index < keep)
                cells.append(std::move(cell));
            ++index;
            if (atEnd())
                return;
            const QChar c = m_text[m_pos];
            if (c == m_delimiter) {
                ++m_pos;
                continue;
            }
            skipLineEnd();
            return;
        }
    }

private:
    void skipLineEnd()
    {
        if (m_text[m_pos] == QLatin1Char('\r') && m_pos + 1 < m_text.size()
            && m_text[m_pos + 1] == QLatin1Char('\n'))
            ++m_pos;
        ++m_pos;
        ++m_line;
    }

    bool isBlank(QChar c) const
    {
        return c != m_delimiter && (c == QLatin1Char(' ') || c == QLatin1Char('\t'));
    }

    // Stops at the separator or line end behind the cell, or at the end of the text.
    QString readCell()
    {
        qsizetype start = m_pos;
        while (start < m_text.size() && isBlank(m_text[start]))
            ++start;
        QString cell;
        if (start < m_text.size() && m_text[start] == QLatin1Char('"')) {
            m_pos = start + 1;
            while (true) {
                if (m_pos >= m_text.size()) {
                    m_unclosedQuote = true;
                    return cell;
                }
                const QChar c = m_text[m_pos];
                if (c == QLatin1Char('"')) {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == QLatin1Char('"')) {
                        cell.append(c);
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                    const qsizetype before = m_pos;
                    skipLineEnd();
                    cell.append(m_text.sliced(before, m_pos - before));
                    continue;
                }
                cell.append(c);
                ++m_pos;
            }
        }
        // Unquoted text, or whatever follows a closing quote, up to the separator or line end.
        const qsizetype rest = m_pos > start ? m_pos : start;
        qsizetype end = rest;
        while (end < m_text.size() && m_text[end] != m_delimiter && !isLineEnd(m_text[end]))
            ++end;
        cell.append(m_text.sliced(rest, end - rest));
        m_pos = end;
        return cell.trimmed();
    }

    QStringView m_text;
    QChar m_delimiter;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_unclosedQuote = false;
};

// Lower case without accents, blanks, '_' and '-' runs as one blank: "Zündgerät" gives "zundgerat".
QString foldedName(const QString& name)
{
    const QString decomposed = name.normalized(QString::NormalizationForm_KD).toCaseFolded();
    QString folded;
    bool gap = false;
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (c.isSpace() || c == QLatin1Char('_') || c == QLatin1Char('-')) {
            gap = !folded.isEmpty();
            continue;
        }
        if (gap)
            folded.append(QLatin1Char(' '));
        gap = false;
        folded.append(c);
    }
    return folded;
}

int roleOf(const QString& header)
{
    static const QStringList names[RoleCount] = {
        { "zeit", "time", "event time", "ignition time", "sekunden", "seconds" },
        { "zundgerat", "zuendgeraet", "gerat", "geraet", "device", "module", "modul" },
        { "kreis", "zundkreis", "zuendkreis", "circuit", "pin", "kanal", "channel" },
    };
    const QString folded = foldedName(header);
    for (int role = 0; role < RoleCount; ++role) {
        if (names[role].contains(folded))
            return role;
    }
    return -1;
}

bool allDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// Digits as a number; FarTooLate when there are too many to be a time of a list.
qint64 digitsValue(QStringView digits)
{
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.sliced(1);
    if (digits.size() > MaxTimeDigits)
        return FarTooLate;
    qint64 value = 0;
    for (const QChar c : digits)
        value = value * 10 + (c.unicode() - '0');
    return value;
}

// Seconds ("35", "35.5", "35,5"), m:ss or h:mm:ss, each with an optional fraction, rounded to the
// nearest second with halves up; nullopt when unreadable.
std::optional<qint64> parseTime(QStringView text)
{
    const QList<QStringView> parts = text.split(QLatin1Char(':'));
    if (parts.size() > 3)
        return std::nullopt;
    QStringView last = parts.back();
    bool roundUp = false;
    const qsizetype mark = std::max(last.indexOf(QLatin1Char('.')), last.indexOf(QLatin1Char(',')));
    if (mark >= 0) {
        const QStringView fraction = last.sliced(mark + 1);
        if (!allDigits(fraction))
            return std::nullopt;
        roundUp = fraction.front() >= QLatin1Char('5');
        last = last.first(mark);
    }
    qint64 seconds = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QStringView part = i + 1 == parts.size() ? last : parts[i];
        if (!allDigits(part))
            return std::nullopt;
        const qint64 value = digitsValue(part);
        // Minutes and seconds behind a colon are one or two digits below 60.
        if (i > 0 && (part.size() > 2 || value >= 60))
            return std::nullopt;
        seconds = std::min(seconds * 60 + value, FarTooLate);
    }
    return seconds + (roundUp ? 1 : 0);
}

// A letter A to H (either case) or a number 1 to 8; -1 otherwise.
int parseDevice(QStringView text)
{
    if (text.size() == 1) {
        const char16_t c = QChar(text.front()).toUpper().unicode();
        if (c >= u'A' && c < u'A' + DeviceCount)
            return c - u'A';
    }
    if (allDigits(text)) {
        const qint64 number = digitsValue(text);
        if (number >= 1 && number <= DeviceCount)
            return int(number - 1);
    }
    return -1;
}

int parseCircuit(QStringView text)
{
    if (!allDigits(text))
        return -1;
    const qint64 number = digitsValue(text);
    return number < CircuitsPerDevice ? int(number) : -1;
}

struct Shot {
    qint32 time;
    qint16 circuit;
    int line;
};

// The other lines of a group of shots in the same second, the first few by number.
QString otherLines(const QList<Shot>& group, qsizetype first, qsizetype end, int self)
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

// Keeps the first problems only, so a huge broken file costs no more than a small one.
class Report {
public:
    void add(int line, const QString& text)
    {
        if (m_kept.size() < MaxCsvProblems)
            m_kept.append({ line, text });
        else
            ++m_dropped;
    }
    bool isEmpty() const { return m_kept.isEmpty(); }

    QStringList lines()
    {
        std::stable_sort(
            m_kept.begin(), m_kept.end(), [](const Problem& a, const Problem& b) { return a.line < b.line; });
        QStringList lines;
        for (const Problem& problem : std::as_const(m_kept))
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

CsvImport finish(Report& report, const QList<Shot>& shots)
{
    CsvImport result;
    if (!report.isEmpty()) {
        result.problems = report.lines();
        return result;
    }
    ShotList list;
    std::fill(std::begin(list.times), std::end(list.times), EmptyTime);
    std::fill(std::begin(list.circuits), std::end(list.circuits), NoCircuit);
    for (qsizetype i = 0; i < shots.size() && i < EntryCount; ++i) {
        list.times[i] = shots[i].time;
        list.circuits[i] = shots[i].circuit;
    }
    result.list = list;
    return result;
}

} // namespace

QByteArray ShotListCsvBytes(const ShotList& list)
{
    ShotList normal = list;
    NormalizeList(normal);
    QString text = QStringLiteral("Nr;Zeit;Sekunden;Zündgerät;Kreis\r\n");
    const int entries = CountEntries(normal);
    for (int slot = 0; slot < entries; ++slot) {
        const qint32 time = normal.times[slot];
        const int code = normal.circuits[slot];
        QString device, circuit;
        if (code >= 0 && code < NoCircuit) {
            device = QChar(u'A' + code / CircuitsPerDevice);
            circuit = QString::number(code % CircuitsPerDevice);
        }
        text += QStringLiteral("%1;%2;%3;%4;%5\r\n")
                    .arg(slot + 1)
                    .arg(FormatClock(time))
                    .arg(time)
                    .arg(device, circuit);
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool WriteShotListCsv(const QString& path, const ShotList& list, QString* error)
{
    return SaveBytes(path, ShotListCsvBytes(list), error);
}

CsvImport ReadShotListCsv(const QByteArray& bytes)
{
    Report report;
    QList<Shot> shots;
    if (bytes.size() > MaxCsvBytes) {
        report.add(0, QStringLiteral("Die Datei ist größer als %1 MB.").arg(MaxCsvBytes / (1024 * 1024)));
        return finish(report, shots);
    }
    const std::optional<QString> decoded = decodeCsv(bytes);
    if (!decoded) {
        report.add(0, QStringLiteral("Die Datei ist kein gültiger Unicode-Text."));
        return finish(report, shots);
    }
    QStringView text = *decoded;
    if (text.startsWith(QChar(0xFEFF)))
        text = text.sliced(1);

    CsvScanner scanner(text, detectDelimiter(text));
    QStringList cells;
    int line = 0;
    bool blank = true;
    while (!scanner.atEnd() && blank)
        scanner.next(cells, MaxHeaderCells, &line, &blank);
    if (blank) {
        report.add(0, QStringLiteral("Die Datei enthält keine Kopfzeile."));
        return finish(report, shots);
    }

    // The first cell that names a role wins; other columns are ignored.
    int column[RoleCount] = { -1, -1, -1 };
    for (int i = 0; i < cells.size(); ++i) {
        const int role = roleOf(cells[i]);
        if (role >= 0 && column[role] < 0)
            column[role] = i;
    }
    const int headerLine = line;
    if (column[TimeRole] < 0) {
        report.add(headerLine,
            QStringLiteral("keine Spalte für die Zeit (erwartet \"Zeit\", \"Time\", \"Event Time\", "
                           "\"Ignition Time\", \"Sekunden\" oder \"Seconds\")"));
    }
    // Without device and circuit columns every entry is one without circuit; one without the other
    // would silently drop what the file says.
    if ((column[DeviceRole] < 0) != (column[CircuitRole] < 0)) {
        report.add(headerLine,
            column[DeviceRole] < 0 ? QStringLiteral("Spalte %1 ohne Spalte für das Zündgerät")
                                         .arg(quoted(cells[column[CircuitRole]]))
                                   : QStringLiteral("Spalte %1 ohne Spalte für den Kreis")
                                         .arg(quoted(cells[column[DeviceRole]])));
    }
    if (!report.isEmpty())
        return finish(report, shots);

    const int keep = std::max({ column[TimeRole], column[DeviceRole], column[CircuitRole] }) + 1;
    int rows = 0;
    int firstTooMany = 0;
    while (!scanner.atEnd()) {
        scanner.next(cells, keep, &line, &blank);
        if (scanner.unclosedQuote())
            break; // the rest of the file is one broken cell
        if (blank)
            continue;
        if (++rows == EntryCount + 1)
            firstTooMany = line;
        const auto cell = [&](int role) {
            return column[role] >= 0 && column[role] < cells.size() ? QStringView(cells[column[role]])
                                                                    : QStringView();
        };
        QStringList reasons;
        const QStringView timeText = cell(TimeRole);
        std::optional<qint64> time;
        if (timeText.isEmpty()) {
            reasons.append(QStringLiteral("keine Zeit"));
        } else {
            time = parseTime(timeText);
            if (!time)
                reasons.append(QStringLiteral("Zeit %1 nicht lesbar").arg(quoted(timeText)));
            else if (*time > LastValidTime)
                reasons.append(QStringLiteral("Zeit %1 liegt nach 18:07:59").arg(quoted(timeText)));
        }
        const QStringView deviceText = cell(DeviceRole);
        const QStringView circuitText = cell(CircuitRole);
        const int device = parseDevice(deviceText);
        const int circuit = parseCircuit(circuitText);
        if (!deviceText.isEmpty() && device < 0)
            reasons.append(QStringLiteral("unbekanntes Zündgerät %1").arg(quoted(deviceText)));
        if (!circuitText.isEmpty() && circuit < 0)
            reasons.append(QStringLiteral("Kreis %1 nicht zwischen 0 und 31").arg(quoted(circuitText)));
        if (deviceText.isEmpty() && !circuitText.isEmpty())
            reasons.append(QStringLiteral("Kreis ohne Zündgerät"));
        if (!deviceText.isEmpty() && circuitText.isEmpty())
            reasons.append(QStringLiteral("Zündgerät ohne Kreis"));
        qint16 code = NoCircuit;
        if (device >= 0 && circuit >= 0) {
            code = qint16(device * CircuitsPerDevice + circuit);
            // Code 255 is the mark for no circuit.
            if (code == NoCircuit)
                reasons.append(
                    QStringLiteral("H 31 lässt sich nicht speichern (255 bedeutet „kein Zündkreis“)"));
        }
        if (!reasons.isEmpty()) {
            report.add(line, reasons.join(QStringLiteral("; ")));
            continue;
        }
        shots.append({ qint32(*time), code, line });
    }
    if (scanner.unclosedQuote())
        report.add(line, QStringLiteral("Anführungszeichen nicht geschlossen"));
    if (rows > EntryCount)
        report.add(
            firstTooMany, QStringLiteral("mehr als %1 Schüsse (die Datei hat %2)").arg(EntryCount).arg(rows));

    std::stable_sort(
        shots.begin(), shots.end(), [](const Shot& a, const Shot& b) { return a.time < b.time; });
    for (qsizetype start = 0; start < shots.size();) {
        qsizetype end = start + 1;
        while (end < shots.size() && shots[end].time == shots[start].time)
            ++end;
        if (end - start > 1) {
            for (qsizetype i = start; i < end; ++i) {
                report.add(shots[i].line,
                    QStringLiteral("zwei Schüsse in derselben Sekunde %1 (auch Zeile %2)")
                        .arg(FormatClock(shots[i].time), otherLines(shots, start, end, shots[i].line)));
            }
        }
        start = end;
    }
    return finish(report, shots);
}

CsvImport ReadShotListCsv(const QString& path)
{
    const QFileInfo info(path);
    QFile file(path);
    CsvImport failed;
    if (!info.exists()) {
        failed.problems.append(QStringLiteral("Die Datei %1 gibt es nicht.").arg(path));
        return failed;
    }
    // A pipe or device would block or never end.
    if (!info.isFile()) {
        failed.problems.append(QStringLiteral("%1 ist keine Datei.").arg(path));
        return failed;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        failed.problems.append(
            QStringLiteral("Die Datei %1 lässt sich nicht lesen: %2").arg(path, file.errorString()));
        return failed;
    }
    const QByteArray bytes = file.read(MaxCsvBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        failed.problems.append(
            QStringLiteral("Die Datei %1 lässt sich nicht lesen: %2").arg(path, file.errorString()));
        return failed;
    }
    return ReadShotListCsv(bytes);
}
