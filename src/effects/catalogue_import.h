#pragma once

#include "effect_catalogue.h"
#include "effect_columns.h"
#include "effect_data.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// A supplier's or the user's own table of articles, read by the rules of the list import (header among
// the first lines, ';', tab or ',', UTF-8 or Windows-1252, decimal commas, units in the header), and
// what taking it into the catalogue would change.

struct CatalogueImportColumn {
    QString header;
    EffectColumn column = EffectColumn::None;
    QString note; // why a column is not read ("nicht erkannt", "„Name“ geht vor")
};

struct CatalogueImportTable {
    // Every row, by line; empty when refused.
    QList<EffectData> effects;
    QList<int> lines;
    // German, "Zeile 7: Vorlauf 130,0 s liegt über 120 s.", by line; the file as a whole first.
    QStringList problems;
    QList<CatalogueImportColumn> columns;
    // The fields the table has columns for, name excluded.
    QList<EffectColumn> fields;
    int headerLine = 0;
    QChar delimiter;
    QString encoding;
    bool ok() const { return problems.isEmpty(); }
};

// All or nothing: any bad row refuses the table. More than MaxCatalogueRows rows or more than MaxCsvBytes
// are refused without reading on.
CatalogueImportTable ReadCatalogueImport(const QByteArray& bytes);
CatalogueImportTable ReadCatalogueImportFile(const QString& path);

struct CatalogueImportPlan {
    // The catalogue with the new articles, without the updates; with them.
    EffectCatalogue withAdded;
    EffectCatalogue withUpdated;
    QList<EffectData> added;
    // Articles the table changes, as they are and as they will be; fields the table has no column for
    // are kept.
    QList<std::pair<EffectData, EffectData>> updated;
    int unchanged = 0;
    // Names that differ from an article's only in case, with their lines, in German; nothing is taken
    // while there are any.
    QStringList problems;
    bool ok() const { return problems.isEmpty(); }
};

CatalogueImportPlan PlanCatalogueImport(const EffectCatalogue& catalogue, const CatalogueImportTable& table);

// For the preview, in German: where the header was, the columns read, separator and encoding, then what
// comes in ("12 neue Artikel, 3 geänderte, 5 unverändert").
// "1 neuer Artikel", "12 neue Artikel".
QString NewArticlesText(int count);
QStringList CatalogueImportSummary(const CatalogueImportTable& table, const CatalogueImportPlan& plan);
// "Kaliber 50 → 75 mm, NEM 120,0 → 130,0 g" for an article the import changes.
QString CatalogueChangeText(const EffectData& before, const EffectData& after);
