#pragma once

#include "effect_data.h"

#include "shotlist/shot_list.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// The data a list carries for its effects, as keys of the list file's [Kelto] block, one per name:
//   Effektdaten 001=Kometen rot 50 mm;Kometen;50;0.5;2.5;40;25;120.0;F2
// name, Art, Kaliber (mm), Vorlauf (s), Dauer (s), Steighöhe (m), Sicherheitsabstand (m), NEM (g),
// Klasse; unknown values empty, decimals with a point as in "Musikbeginn". The eight fields are taken
// from the right, so a name may hold ";". Stock is the user's store, not the show's: it is not written.
inline const QString EffectDataKey = QStringLiteral("Effektdaten ");
constexpr int EffectDataFieldCount = 8;

using KeltoKeys = QList<std::pair<QString, QString>>;

// One key per effect name the list's entries use and data has, numbered 001.. in the order of first use.
KeltoKeys EffectDataKeys(const ShotList& list, const EffectDataMap& data);

struct EffectDataDecode {
    EffectDataMap data;
    KeltoKeys otherKeys; // every key that is not effect data, in its order
    // German, one per refused key ("Effektdaten 003: Vorlauf 130,0 s liegt über 120 s."); such a key is
    // dropped.
    QStringList problems;
};

// Takes the effect data out of a block's keys; a bad key is refused with its reason, the rest is read.
EffectDataDecode DecodeEffectDataKeys(const KeltoKeys& keys);

// The tapped targets of the entries, in seconds of the music with three decimals, one key per entry
// that has one:  Ziel 017=83.412
inline const QString TargetKey = QStringLiteral("Ziel ");
KeltoKeys TargetKeys(const ShotList& list);

struct TargetDecode {
    KeltoKeys otherKeys; // every key that is not a target, in its order
    QStringList problems; // German, one per refused key ("Ziel 053: Nr. 053 ist leer.")
};
// Puts the targets of the keys into list (normalised, its entries read); a bad key, or one for an
// empty slot, is refused with its reason.
TargetDecode DecodeTargetKeys(const KeltoKeys& keys, ShotList& list);
