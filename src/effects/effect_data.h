#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// What a crew knows about an effect: the article behind an effect name of the list.

enum class EffectArt {
    Bombe,
    Bombette,
    Kometen,
    Batterie,
    Faecher,
    Vulkan,
    Fontaene,
    RoemischesLicht,
    Mine,
    Sonstiges
};
constexpr int EffectArtCount = 10;
enum class EffectClass { F2, F3, F4, T1, T2 };
constexpr int EffectClassCount = 5;

// "Römisches Licht"; "F2".
QString EffectArtName(EffectArt art);
QString EffectClassName(EffectClass effectClass);
// The fixed names, case ignored; nullopt for anything else.
std::optional<EffectArt> EffectArtFromText(QStringView text);
std::optional<EffectClass> EffectClassFromText(QStringView text);
// A cell read into the field: empty text is unknown; another name is refused, naming those allowed
// ("Art „Rakete“ ist keine von Bombe, …, Mine oder Sonstiges."). Empty text when read.
QString ReadEffectArt(QStringView text, std::optional<EffectArt>& art);
QString ReadEffectClass(QStringView text, std::optional<EffectClass>& effectClass);

// Every field but the name may be unknown. Numbers are whole units as stored: tenths of a second,
// tenths of a gram, millimetres, metres, pieces.
struct EffectData {
    QString name; // trimmed, at most EffectMaxLength characters, storable in a list file
    std::optional<EffectArt> art;
    std::optional<qint32> caliberMm;
    std::optional<qint32> prefireTenths; // "Vorlauf": ignition to the effect in the sky
    std::optional<qint32> durationTenths;
    std::optional<qint32> heightM;
    std::optional<qint32> safetyDistanceM;
    std::optional<qint32> nemTenthsGram; // net explosive mass per piece
    std::optional<EffectClass> effectClass;
    std::optional<qint32> stock; // pieces in store

    bool operator==(const EffectData& other) const;
    bool operator!=(const EffectData& other) const { return !(*this == other); }
};

// The data of a list's effects by their exact names.
using EffectDataMap = QMap<QString, EffectData>;

// The number fields, in the order of the catalogue's columns.
enum class EffectField { Caliber, Prefire, Duration, Height, SafetyDistance, Nem, Stock };
constexpr EffectField EffectNumberFields[]
    = { EffectField::Caliber, EffectField::Prefire, EffectField::Duration, EffectField::Height,
          EffectField::SafetyDistance, EffectField::Nem, EffectField::Stock };

std::optional<qint32>& EffectNumber(EffectData& data, EffectField field);
const std::optional<qint32>& EffectNumber(const EffectData& data, EffectField field);
// "Vorlauf", "Kaliber", "NEM"; the unit "s", "mm", "g", "Stück".
QString EffectFieldLabel(EffectField field);
QString EffectFieldUnit(EffectField field);
// The column header with the unit: "Kaliber (mm)", "Bestand (Stück)".
QString EffectFieldHeader(EffectField field);
// Stored units per unit of the field: 10 for tenths.
int EffectFieldScale(EffectField field);

// Why the name cannot be an effect's (empty, too long, a line break, a character a list file cannot
// hold), in German; empty text when it can. The name is taken trimmed.
QString EffectNameRefusal(QStringView name);
// Why the value cannot be the field's (negative, over its range), e.g. "Vorlauf 130,0 s liegt über 120 s.";
// empty text when it can.
QString EffectValueRefusal(EffectField field, qint64 value);
// Every reason the data cannot be stored, in German; empty when it can.
QStringList EffectDataProblems(const EffectData& data);

// A typed value read: nullopt for empty text (unknown); problem in German when refused.
struct EffectValueRead {
    std::optional<qint32> value;
    QString problem;
    bool ok() const { return problem.isEmpty(); }
};

// Reads what a user types or a table holds: "2,5", "2.5", "2,5 s", "1.234,5 g", "1,2 kg" (NEM), "12 Stück".
// A decimal comma or point; a thousands separator only where it cannot be a decimal mark ("1.234,5",
// "1.234.567"). "1.234" or "1,234" could be either and are refused, as are more decimals than the field
// stores (unless zeros), another unit, a negative value and one over the field's range.
EffectValueRead ReadEffectValue(EffectField field, QStringView text);

// German number: "1.234,5" with thousands points (grouping) and the given decimals of a value in
// 10^decimals units.
QString GermanNumber(qint64 value, int decimals, bool grouping = true);
// The value with its unit as the user reads it: "2,5 s", "1.234,5 g", "50 m", "12 Stück".
QString EffectValueText(EffectField field, qint64 value);
// The value as a table cell: decimal comma, no grouping, no unit ("2,5", "1234,5", "50").
QString EffectValueCell(EffectField field, qint64 value);
