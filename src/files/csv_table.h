#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

// The text of a table file and its records, cell by cell; what the cells mean is csv_import's.

struct CsvText {
    QString text; // without a byte order mark
    QString encoding; // "UTF-8", "UTF-16 LE", "UTF-16 BE" or "Windows-1252"
};

// BOM first; without one, UTF-8 when the bytes are valid UTF-8, else Windows-1252. nullopt when the
// bytes are not the text their BOM announces.
std::optional<CsvText> DecodeCsvText(const QByteArray& bytes);

// One record: the line and place in the text where it starts, and how many cells it has.
struct CsvRecord {
    int line = 0;
    qsizetype begin = 0;
    int cellCount = 0;
    bool blank = true; // every cell empty
};

// Walks the text record by record. A line ends at CR, LF or CR LF; quoted cells may hold separators,
// doubled quotes and line ends. Cells are trimmed of blanks.
class CsvScanner {
public:
    CsvScanner(QStringView text, QChar delimiter, qsizetype from = 0, int line = 1);

    bool atEnd() const { return m_pos >= m_text.size(); }
    // A quote opened and never closed: the rest of the text was one cell.
    bool unclosedQuote() const { return m_unclosedQuote; }
    int line() const { return m_line; }

    // The next record; its first `keep` cells go to cells (when given).
    CsvRecord next(QStringList* cells, int keep);

private:
    void skipLineEnd();
    bool isBlank(QChar c) const;
    QString readCell();

    QStringView m_text;
    QChar m_delimiter;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_unclosedQuote = false;
};

// The separator an Excel "sep=;" first line names, or nullopt.
std::optional<QChar> CsvSeparatorLine(QStringView text);

struct CsvHeader {
    bool found = false;
    QChar delimiter = QLatin1Char(';');
    CsvRecord record;
    QStringList cells;
    int score = 0;
};
// The header among the first searchLines lines, for each separator the file may use (the one a
// "sep=" line names, else ; tab ,): the record whose cells score highest, the earlier line next, then
// the earlier separator. score gives how many cells name known columns, or -1 for a line that cannot
// be the header; at most maxCells cells of a line are looked at.
CsvHeader FindCsvHeader(QStringView text, int searchLines, int maxCells,
    const std::function<int(const QStringList& cells)>& score);
