#pragma once

#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Larger files are refused unread: a show's table is a few kilobytes.
constexpr qsizetype MaxCsvBytes = 4 * 1024 * 1024;
// The report lists this many rows; the rest are counted in one last line.
constexpr int MaxCsvProblems = 200;

// UTF-8 with BOM, semicolons, CR LF: header "Nr;Zeit;Sekunden;Zündgerät;Kreis" and one row per entry,
// such as "6;00:00:35;35;B;3"; device and circuit stay empty for an entry without circuit.
QByteArray ShotListCsvBytes(const ShotList& list);
bool WriteShotListCsv(const QString& path, const ShotList& list, QString* error);

struct CsvImport {
    // Entries in slots 0..n-1 by ascending time, every other slot empty; nullopt when refused.
    std::optional<ShotList> list;
    // German, one line per refused row ("Zeile 7: unbekanntes Zündgerät "K""), by line number.
    QStringList problems;
};

// All or nothing: a list only when every row maps to an entry.
CsvImport ReadShotListCsv(const QByteArray& bytes);
CsvImport ReadShotListCsv(const QString& path);
