#pragma once

#include "effect_data.h"

#include <QString>
#include <QStringView>

// What the column names of a table say about effect data, for the catalogue import and for data
// columns of a list's table alike: German and English names, a unit in brackets.

enum class EffectColumn {
    None,
    Name,
    Art,
    Caliber,
    Prefire,
    Duration,
    Height,
    SafetyDistance,
    Nem,
    Class,
    Stock
};

struct EffectColumnName {
    EffectColumn column = EffectColumn::None;
    // Among several name columns the lowest level wins: 1 "Name", 2 "Artikel"/"Effekt", 3 "Bezeichnung".
    int nameLevel = 0;
    // A unit the cells are read in when they bring none ("kg" for NEM); empty for the field's own.
    QString cellUnit;
    // Why the unit in the header does not fit the field ("„Vorlauf (ms)“: Einheit „ms“, erwartet s"),
    // in German; empty when it fits or there is none.
    QString problem;
};

EffectColumnName ClassifyEffectColumn(const QString& header);
// "Name", "Art", "Kaliber", "Vorlauf", …
QString EffectColumnLabel(EffectColumn column);
bool IsEffectNumberColumn(EffectColumn column);
EffectField EffectFieldOf(EffectColumn column);

// Reads a cell of a data column (not the name) into data; the reason in German when refused, empty
// text when read (an empty cell is unknown).
QString ReadEffectCell(const EffectColumnName& column, QStringView cell, EffectData& data);
// Takes the fields a table has columns for from source into target.
void TakeEffectColumns(const QList<EffectColumn>& columns, const EffectData& source, EffectData& target);
