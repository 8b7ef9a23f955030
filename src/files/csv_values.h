#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>

// What a table's column names and cells say: the rules of the CSV import for single names and values.

// Lower case without accents; blanks, '_' and '-' runs as one blank; "Cue#" as "cue #".
QString FoldedCsvName(const QString& name);
// A folded name's unit in brackets at its end ("vorlauf (s)", "nem [kg]"; a trailing "ms" too): the name
// before it and the unit, trimmed; the unit empty when there is none.
void SplitCsvUnit(const QString& folded, QString* base, QString* unit);

enum class CsvTimeKind { NotTime, Ignition, Plain, Other };
enum class CsvTimeUnit { None, Seconds, Millis, MinSec, HourMinSec, Unknown };

// A header cell as the import sees it. Levels: 0 is no candidate, 1 the most specific name.
struct CsvName {
    CsvTimeKind time = CsvTimeKind::NotTime;
    CsvTimeUnit unit = CsvTimeUnit::None;
    QString unitText; // as written in the header, for an unknown unit
    QString otherTime; // for CsvTimeKind::Other: what it is ("Bruchzeit")
    int device = 0;
    int circuit = 0;
    int effect = 0;
    bool finaleHeader = false;

    // A name that marks a header row: a time of any kind, a device or a circuit.
    bool marksHeader() const
    {
        return time != CsvTimeKind::NotTime || device > 0 || circuit > 0 || finaleHeader;
    }
    bool known() const { return marksHeader() || effect > 0; }
};

CsvName ClassifyCsvName(const QString& header);

// How a file writes its decimals: the mark seen in unambiguous times, or none when there was none or both.
enum class CsvDecimal { Unknown, Point, Comma, Both };

// A time cell read: whole seconds, the fraction truncated to milliseconds, and whether anything was
// dropped or rounded.
struct CsvTime {
    qint64 seconds = 0;
    int millis = 0;
    bool exact = true; // no digit beyond the milliseconds
    bool integer = false; // plain digits, no separator, no clock
    bool clock = false;
    // Rounded to whole seconds, halves up.
    qint64 rounded() const { return seconds + (millis >= 500 ? 1 : 0); }
    bool hasFraction() const { return millis != 0 || !exact; }
};

struct CsvTimeRead {
    std::optional<CsvTime> time;
    QString problem; // German, without the line ("Zeit "1.200" ist mehrdeutig …")
};

// The decimal marks a cell shows unambiguously (Point, Comma or Unknown).
CsvDecimal CsvDecimalEvidence(QStringView text);
CsvTimeRead ReadCsvTime(QStringView text, CsvTimeUnit unit, CsvDecimal decimal);

// A number such as "1.200" that is 1200 with a thousands mark or 1,2 with a decimal mark: its mark and
// the value read with thousands; nullopt for any other cell.
struct CsvAmbiguousNumber {
    QChar mark;
    qint64 grouped = 0;
};
std::optional<CsvAmbiguousNumber> CsvAmbiguity(QStringView text);

// Device letters, Kelto's labels ("B (Verteiler)") and module numbers 1 to 7.
struct CsvDevice {
    int index = -1;
    QString problem;
};
CsvDevice ReadCsvDevice(QStringView text);

// A circuit number of the device (counted from `from`), or a label such as "B05" that names the device too.
struct CsvCircuit {
    int device = -1; // from a label, else -1
    int circuit = -1;
    qint64 number = -1; // as written, -1 when not a number
    QString problem;
};
CsvCircuit ReadCsvCircuit(QStringView text, int from);
bool IsCsvCircuitLabel(QStringView text);

// Digits as a number; a value beyond any time of a list when there are too many.
std::optional<qint64> CsvDigits(QStringView text);
