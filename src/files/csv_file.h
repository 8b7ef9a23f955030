#pragma once

#include "effects/effect_data.h"
#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Larger files are refused unread: a show's table is a few kilobytes.
constexpr qsizetype MaxCsvBytes = 4 * 1024 * 1024;
// The report lists this many rows; the rest are counted in one last line.
constexpr int MaxCsvProblems = 200;
// The header is looked for in this many first lines.
constexpr int CsvHeaderSearchLines = 20;

// A cell that a spreadsheet would run as a formula (=, +, -, @, tab or CR first, also behind apostrophes)
// gets one apostrophe in front; CsvCellText takes exactly that one off again, so every text comes back.
QString CsvTextCell(const QString& text);
QString CsvCellText(const QString& cell);

// UTF-8 with BOM, semicolons, CR LF: header "Nr;Zeit;Sekunden;Zündgerät;Kreis;Effekt" and one row per
// entry, such as "6;00:00:35;35;B;3;Vulkan"; device, circuit and effect stay empty when the entry has
// none. An effect with a semicolon, quote, tab or line end is quoted; one that starts like a formula
// gets its apostrophe (CsvTextCell).
// When data holds an effect an entry uses, the columns "Vorlauf (s);Dauer (s);Kaliber (mm);NEM (g);Klasse"
// follow, with decimal commas, empty for names without data; without, the bytes are as above.
QByteArray ShotListCsvBytes(const ShotList& list, const EffectDataMap& data = {});
bool WriteShotListCsv(const QString& path, const ShotList& list, QString* error);
bool WriteShotListCsv(const QString& path, const ShotList& list, const EffectDataMap& data, QString* error);
// A cell as ShotListCsvBytes writes it: quoted when it holds a semicolon, quote or tab.
QString CsvCell(const QString& text);

enum class CsvRole { None, Time, Device, Circuit, Effect, Data };

// The column meant for a role: found by the import's rules, none at all, or named by the user by its
// header text (case, accents and blanks ignored) or by its place (0 = first column).
struct CsvColumnChoice {
    enum class Kind { Automatic, Absent, Name, Index };
    Kind kind = Kind::Automatic;
    QString name;
    int index = -1;

    static CsvColumnChoice automatic() { return {}; }
    static CsvColumnChoice absent() { return { Kind::Absent, QString(), -1 }; }
    static CsvColumnChoice named(const QString& name) { return { Kind::Name, name, -1 }; }
    static CsvColumnChoice at(int index) { return { Kind::Index, QString(), index }; }
    bool operator==(const CsvColumnChoice& other) const
    {
        return kind == other.kind && name == other.name && index == other.index;
    }
};

struct CsvImportOptions {
    CsvColumnChoice time;
    CsvColumnChoice device;
    CsvColumnChoice circuit;
    CsvColumnChoice effect;
    // The file's first circuit of a device: 0 as in Kelto, or 1.
    int circuitsFrom = 0;
    // Every entry without circuit; device and circuit columns are not read.
    bool withoutCircuits = false;
};

// A column of the header and the part it plays; note says why ("Bruchzeit, nicht die Zündzeit").
struct CsvColumn {
    QString name;
    CsvRole role = CsvRole::None;
    QString note;
};

// An entry as it will be stored, with the line it came from.
struct CsvRow {
    int line = 0;
    qint32 time = 0;
    qint16 circuit = NoCircuit;
    QString effect;
};

struct CsvSummary {
    int shots = 0;
    qint32 duration = 0; // the last shot's time
    int headerLine = 0;
    bool finale = false; // FIRING_HEADER_ROW / FIRING_DATA_ROW rows
    QChar delimiter;
    QString encoding;
    int circuitsFrom = 0;
    bool withoutCircuits = false;
    bool sorted = false; // the rows were not in the order of their times
    // Times such as "3.000" read with a decimal mark that the other times left open: what settled it.
    QChar settledMark;
    QStringList settledBy;
    int settledTimes = 0;
    QString settledExample; // the first of them
    QList<int> roundedLines; // times with a fraction of a second
    QList<int> withoutCircuitLines;
    QList<int> replacedLines; // effects with characters that became "?"
    QList<int> joinedLines; // effects whose line breaks became blanks
};

struct CsvImport {
    // Entries in slots 0..n-1 by ascending time with their effects, every other slot empty; nullopt
    // when refused.
    std::optional<ShotList> list;
    // German, one line per refused row ("Zeile 7: unbekanntes Zündgerät "K""), by line number; the
    // file as a whole first.
    QStringList problems;
    // Every column of the header with its role; empty when no header was found.
    QList<CsvColumn> columns;
    // The entries that could be read, as they will be stored (also when refused).
    QList<CsvRow> rows;
    CsvSummary summary;
    // The data of the effects from data columns ("Vorlauf", "Kaliber", …), by exact name; only names of
    // the list's entries.
    EffectDataMap effectData;
};

// All or nothing: a list only when every row maps to an entry and nothing about the columns is open.
CsvImport ReadShotListCsv(const QByteArray& bytes, const CsvImportOptions& options = {});
CsvImport ReadShotListCsv(const QString& path, const CsvImportOptions& options = {});

// The bytes of a table file, or a German reason why it cannot be read (missing, no file, unreadable).
struct CsvFileBytes {
    std::optional<QByteArray> bytes;
    QString problem;
};
CsvFileBytes ReadCsvFile(const QString& path);

// What a successful import did, in German lines: shots and duration, where the header was, the columns
// used, the numbering of circuits, rounded times, entries without circuit, changed effects, sorting.
QStringList CsvSummaryLines(const CsvImport& imported);
// "Zeit", "Zündgerät", "Kreis", "Effekt", "Effektdaten" or "–".
QString CsvRoleName(CsvRole role);
