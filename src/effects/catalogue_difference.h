#pragma once

#include "effect_catalogue.h"
#include "effect_data.h"

#include <QString>
#include <QStringList>

#include <optional>

// How the data a list carries for an effect name stands to the user's catalogue.
enum class CatalogueMatch {
    NoName, // the entry has no effect
    Same, // list and catalogue agree (stock aside: the list keeps none)
    Differs, // both have data, some fields differ
    ListOnly, // the list has data, the catalogue does not know the name
    CatalogueOnly, // the catalogue knows the name, the list has no data for it
    OtherCase, // the catalogue knows the name only in other case: either could be meant
    Unknown // neither has data
};

struct CatalogueComparison {
    CatalogueMatch match = CatalogueMatch::NoName;
    QString name;
    // The catalogue's spelling when it differs only in case.
    QString catalogueName;
    std::optional<EffectData> listData;
    std::optional<EffectData> catalogueData;
    // One per differing field: "Katalog: Vorlauf 2,5 s, Liste: 2,0 s".
    QStringList differences;

    // What the editor says about it, in German; empty for NoName.
    QString text() const;
};

// name as the entry stores it; the list's data by exact name.
CatalogueComparison CompareWithCatalogue(
    const QString& name, const EffectDataMap& listData, const EffectCatalogue& catalogue);

// The fields a crew reads off a shot, unknown ones left out: "Bombe, 75 mm, Vorlauf 3,2 s, Dauer 2,5 s,
// NEM 45,0 g, F3"; "keine Daten" when none is known.
QString EffectDataSummary(const EffectData& data);

// The catalogue's names in the order a case-insensitively sorted completer searches them.
QStringList CompletionNames(const EffectCatalogue& catalogue);
