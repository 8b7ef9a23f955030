#include "csv_table.h"

#include <QStringDecoder>

namespace {

bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

} // namespace

std::optional<CsvText> DecodeCsvText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        QStringDecoder decoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
            QStringConverter::Flag::Stateless);
        QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError() || bytes.size() % 2 != 0)
            return std::nullopt;
        return CsvText { text, little ? QStringLiteral("UTF-16 LE") : QStringLiteral("UTF-16 BE") };
    }
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = QByteArrayView(bytes).sliced(bom ? 3 : 0);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return CsvText { text, QStringLiteral("UTF-8") };
    if (bom)
        return std::nullopt;
    QStringDecoder ansi("windows-1252");
    return CsvText { ansi.decode(body), QStringLiteral("Windows-1252") };
}

CsvScanner::CsvScanner(QStringView text, QChar delimiter, qsizetype from, int line)
    : m_text(text)
    , m_delimiter(delimiter)
    , m_pos(from)
    , m_line(line)
{
}

CsvRecord CsvScanner::next(QStringList* cells, int keep)
{
    if (cells)
        cells->clear();
    CsvRecord record;
    record.line = m_line;
    record.begin = m_pos;
    while (true) {
        QString cell = readCell();
        if (!cell.isEmpty())
            record.blank = false;
        if (cells && record.cellCount < keep)
            cells->append(std::move(cell));
        ++record.cellCount;
        if (atEnd())
            return record;
        if (m_text[m_pos] == m_delimiter) {
            ++m_pos;
            continue;
        }
        skipLineEnd();
        return record;
    }
}

void CsvScanner::skipLineEnd()
{
    if (m_text[m_pos] == QLatin1Char('\r') && m_pos + 1 < m_text.size()
        && m_text[m_pos + 1] == QLatin1Char('\n'))
        ++m_pos;
    ++m_pos;
    ++m_line;
}

bool CsvScanner::isBlank(QChar c) const
{
    return c != m_delimiter && (c == QLatin1Char(' ') || c == QLatin1Char('\t'));
}

// Stops at the separator or line end behind the cell, or at the end of the text.
QString CsvScanner::readCell()
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
            if (isLineEnd(c)) {
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

std::optional<QChar> CsvSeparatorLine(QStringView text)
{
    qsizetype end = 0;
    while (end < text.size() && !isLineEnd(text[end]))
        ++end;
    QStringView line = text.first(end).trimmed();
    if (line.size() >= 2 && line.startsWith(QLatin1Char('"')) && line.endsWith(QLatin1Char('"')))
        line = line.sliced(1, line.size() - 2);
    if (line.size() != 5 || !line.startsWith(QLatin1String("sep="), Qt::CaseInsensitive))
        return std::nullopt;
    const QChar separator = line[4];
    if (separator == QLatin1Char('"') || separator.isLetterOrNumber() || separator == QLatin1Char(' '))
        return std::nullopt;
    return separator;
}

CsvHeader FindCsvHeader(QStringView text, int searchLines, int maxCells,
    const std::function<int(const QStringList& cells)>& score)
{
    QList<QChar> delimiters { QLatin1Char(';'), QLatin1Char('\t'), QLatin1Char(',') };
    if (const std::optional<QChar> named = CsvSeparatorLine(text))
        delimiters = { *named };
    CsvHeader best;
    for (const QChar delimiter : std::as_const(delimiters)) {
        CsvScanner scanner(text, delimiter);
        QStringList cells;
        while (!scanner.atEnd() && scanner.line() <= searchLines) {
            const CsvRecord record = scanner.next(&cells, maxCells);
            if (scanner.unclosedQuote())
                break;
            if (record.blank)
                continue;
            const int known = score(cells);
            if (known >= 0
                && (!best.found || known > best.score
                    || (known == best.score && record.line < best.record.line)))
                best = { true, delimiter, record, cells, known };
        }
    }
    return best;
}
