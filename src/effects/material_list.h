#pragma once

#include "effect_catalogue.h"
#include "effect_data.h"

#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// What a show needs: the list's entries grouped by effect name, with the list's own data for each name
// and the stock the catalogue holds. Kelto presents these figures; it does not judge them.

struct MaterialLine {
    QString name; // empty: the entries without effect
    QList<int> entries; // entry numbers (from 1), ascending
    std::optional<EffectData> data; // the list's data for the name
    std::optional<qint32> stock; // the catalogue's, for the exact name

    int count() const { return int(entries.size()); }
    std::optional<qint64> nemTotalTenths() const;
    // Pieces the stock lacks; 0 when it suffices or is unknown.
    int shortfall() const;
};

struct MaterialTotals {
    int pieces = 0; // entries with an effect
    int entries = 0;
    // Known NEM in tenths of a gram: per class (F2..T2, then without class) and in all.
    std::array<qint64, EffectClassCount + 1> nemByClass {};
    std::array<bool, EffectClassCount + 1> classUsed {};
    qint64 nemTenths = 0;
    std::optional<qint32> largestSafetyDistanceM;
    std::optional<qint32> largestHeightM;
    QList<int> withoutEffect; // entry numbers
    QList<int> withoutData; // with an effect the list has no data for
    QList<int> withoutNem; // with data but no NEM
    QList<int> withoutSafetyDistance; // with data but no safety distance
};

struct MaterialList {
    // By name, case ignored; the entries without effect last.
    QList<MaterialLine> lines;
    MaterialTotals totals;
};

// The list's entries (normalised first); data by exact effect name. The catalogue, when given, is
// asked for stock only.
MaterialList ComputeMaterial(
    const ShotList& list, const EffectDataMap& data, const EffectCatalogue* catalogue = nullptr);

// "Nr. 3, 5–7, 9".
QString EntryNumbersText(const QList<int>& entries);

// The lines a check prints: pieces, "NEM gesamt: 1.234,5 g (F2 120,0 g · F3 1.114,5 g)",
// "größter Sicherheitsabstand: 50 m", the largest height, the entries without effect, without data,
// without NEM or safety distance (named), and stock shortfalls.
QStringList MaterialCheckLines(const MaterialList& material);

// The material as a table of the catalogue's conventions: one row per effect name (the entries
// without effect in a row without name), then a blank row and the totals ("Gesamt", "Gesamt F2", …).
QByteArray MaterialCsvBytes(const MaterialList& material);
// Written whole or not at all; on failure the old file stays and error says why, in German.
bool WriteMaterialCsv(const QString& path, const MaterialList& material, QString* error);
