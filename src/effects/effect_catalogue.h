#pragma once

#include "effect_data.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The user's articles, one per name. Names are matched exactly; two names that differ only in case
// ("Vulkan", "vulkan") are refused in one catalogue, since either could be meant.
class EffectCatalogue {
public:
    int size() const { return int(m_effects.size()); }
    bool isEmpty() const { return m_effects.isEmpty(); }
    // Ordered by name, case ignored.
    const QList<EffectData>& effects() const { return m_effects; }

    const EffectData* find(QStringView name) const;
    // The article whose name differs from name at most in case.
    const EffectData* findIgnoringCase(QStringView name) const;
    // Names that start with prefix, case ignored, in order; at most limit (all when negative).
    QStringList namesStartingWith(QStringView prefix, int limit = -1) const;

    // The reason in German when refused (invalid data, the name taken or taken in other case); empty
    // text when done. The name is stored trimmed.
    QString add(const EffectData& data);
    // The article named name gets data, which may rename it.
    QString update(const QString& name, const EffectData& data);
    bool remove(const QString& name);

    bool operator==(const EffectCatalogue& other) const { return m_effects == other.m_effects; }

    // Many articles at once, in any order: nullopt unless every one can be stored and no two names
    // differ at most in case.
    static std::optional<EffectCatalogue> fromEffects(const QList<EffectData>& effects);

private:
    friend struct CatalogueBuilder;
    qsizetype lowerBound(const QString& key) const;
    QString takenRefusal(const QString& name, qsizetype skip) const;

    QList<EffectData> m_effects;
    QList<QString> m_keys; // case-folded names, parallel to m_effects
};

// The catalogue file: UTF-8 with BOM, ';', CR LF, decimal commas, the header below and one row per
// article in the catalogue's order; unknown values are empty cells.
inline const QString CatalogueFileName = QStringLiteral("effektkatalog.csv");
QString CatalogueHeader();
// More rows are refused unread (larger files too: MaxCsvBytes).
constexpr int MaxCatalogueRows = 20000;

// Beside the recovery copy (RecoveryFolder): the user's data folder, or beside kelto.ini when "temp" is set.
QString CatalogueFilePath(const QString& tempFolder);

QByteArray CatalogueBytes(const EffectCatalogue& catalogue);
// Written whole or not at all; on failure the old file stays and error says why, in German.
bool WriteCatalogueFile(const QString& path, const EffectCatalogue& catalogue, QString* error);

struct CatalogueRead {
    enum class Outcome { Read, Missing, Refused };
    Outcome outcome = Outcome::Missing;
    EffectCatalogue catalogue; // empty unless Read
    // German, "Zeile 7: Vorlauf 130,0 s liegt über 120 s.", in the order of the lines; the file as a
    // whole first.
    QStringList problems;
    bool ok() const { return outcome == Outcome::Read; }
};

// All or nothing: any bad row refuses the whole file.
CatalogueRead ReadCatalogue(const QByteArray& bytes);
// Missing when there is no such file (a first start: an empty catalogue).
CatalogueRead ReadCatalogueFile(const QString& path);

// Renames an unreadable catalogue to "effektkatalog-unlesbar-1.csv" (the first number free) beside it,
// so nothing is lost or overwritten. The new path, or empty text and a German reason.
QString SetAsideCatalogue(const QString& path, QString* reason);
// For the user: that the catalogue was set aside under its new name, and why.
QString CatalogueSetAsideText(const QString& newPath, const QStringList& problems);

// Rows of cells as a table file of the catalogue's conventions: BOM, ';', CR LF, quoted as needed.
QByteArray EffectTableBytes(const QList<QStringList>& rows);
