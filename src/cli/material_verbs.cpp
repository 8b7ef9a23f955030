#include "console.h"
#include "policies.h"
#include "verbs.h"

#include "effects/material_list.h"
#include "files/settings_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {


// Where the window keeps the catalogue (CatalogueFilePath), found without making any folder: beside
// kelto.ini when "temp" is set, else in the window's data folder.
QString userCataloguePath()
{
    if (!qEnvironmentVariableIsEmpty("temp"))
        return SettingsFolder() + CatalogueFileName;
    // The window's folder is named after it, "Kelto"; the command line runs as "kelto".
    const QString own = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Kelto"));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QCoreApplication::setApplicationName(own);
    if (data.isEmpty())
        return SettingsFolder() + CatalogueFileName;
    return QDir(data).filePath(CatalogueFileName);
}

MaterialList materialOf(const ListOfFile& file, const std::optional<EffectCatalogue>& catalogue)
{
    return ComputeMaterial(file.list, file.meta.effectData, catalogue ? &*catalogue : nullptr);
}

QString number(EffectField field, const std::optional<qint64>& value)
{
    return value ? EffectValueText(field, *value) : QStringLiteral("?");
}

// "  12 × Kometen rot (Nr. 1–12): Art Kometen, Kaliber 50 mm, Klasse F2, NEM 45,0 g je Stück,
// zusammen 540,0 g, Sicherheitsabstand 25 m; Bestand 10, es fehlen 2"
QString materialLine(const MaterialLine& line, bool stock)
{
    QString text = QStringLiteral("  %1 × %2 (%3): ")
                       .arg(QString::number(line.count()), line.name, EntryNumbersText(line.entries));
    if (!line.data) {
        text += QStringLiteral("keine Effektdaten");
    } else {
        const EffectData& data = *line.data;
        QStringList parts {
            QStringLiteral("Art ") + (data.art ? EffectArtName(*data.art) : QStringLiteral("?")),
            QStringLiteral("Kaliber ") + number(EffectField::Caliber, data.caliberMm),
            QStringLiteral("Klasse ")
                + (data.effectClass ? EffectClassName(*data.effectClass) : QStringLiteral("?")),
            data.nemTenthsGram
                ? QStringLiteral("NEM %1 je Stück").arg(number(EffectField::Nem, data.nemTenthsGram))
                : QStringLiteral("NEM ?"),
        };
        if (const std::optional<qint64> total = line.nemTotalTenths())
            parts.append(QStringLiteral("zusammen ") + number(EffectField::Nem, total));
        parts.append(QStringLiteral("Sicherheitsabstand ")
            + number(EffectField::SafetyDistance, data.safetyDistanceM));
        text += parts.join(QStringLiteral(", "));
    }
    if (stock) {
        text += QStringLiteral("; Bestand ")
            + (line.stock ? QString::number(*line.stock) : QStringLiteral("?"));
        if (const int missing = line.shortfall(); missing > 0)
            text += missing == 1 ? QStringLiteral(", es fehlt 1")
                                 : QStringLiteral(", es fehlen %1").arg(missing);
    }
    return text;
}

} // namespace

std::optional<EffectCatalogue> UserCatalogueOrSay()
{
    const QString path = userCataloguePath();
    CatalogueRead read = ReadCatalogueFile(path);
    if (read.outcome == CatalogueRead::Outcome::Missing)
        return std::nullopt;
    if (!read.ok()) {
        Complain(QStringLiteral(
            "Der Effektkatalog %1 lässt sich nicht lesen, der Bestand wird nicht verglichen: %2")
                     .arg(QDir::toNativeSeparators(path), read.problems.mid(0, 3).join(QLatin1Char(' '))));
        return std::nullopt;
    }
    return std::move(read.catalogue);
}

void SayMaterialCheck(const ListOfFile& file)
{
    // The catalogue is read only for a list with effects; a list without has nothing to add.
    if (ComputeMaterial(file.list, file.meta.effectData).totals.pieces == 0)
        return;
    for (const QString& line : MaterialCheckLines(materialOf(file, UserCatalogueOrSay())))
        Say(line);
}

int Material(const VerbCall& call)
{
    const bool toTable = call.isSet(Opt::Csv);
    const OutputTarget target { call.value(Opt::Csv), { call.file() }, call.isSet(Opt::Force) };
    if (toTable) {
        if (target.path.isEmpty()) {
            Complain(QStringLiteral("Es fehlt --csv mit dem Namen der Zieldatei."));
            return Failure;
        }
        if (const QString refusal = OutputRefusal(target); !refusal.isEmpty()) {
            Complain(refusal);
            return Failure;
        }
    } else if (call.isSet(Opt::Force)) {
        Complain(QStringLiteral("--force gilt nur mit --csv."));
        return Failure;
    }
    const std::optional<ListOfFile> file = ReadListOrSay(call.file());
    if (!file)
        return Failure;
    const std::optional<EffectCatalogue> catalogue = UserCatalogueOrSay();
    const MaterialList material = materialOf(*file, catalogue);
    if (toTable)
        return WriteOutput(
            target, [&](QString* error) { return WriteMaterialCsv(target.path, material, error); });

    Say(QStringLiteral("Material von %1:").arg(QDir::toNativeSeparators(call.file())));
    // Stock as on the crew sheet: where the catalogue knows that of one of the list's effects.
    const bool stock = std::any_of(material.lines.cbegin(), material.lines.cend(),
        [](const MaterialLine& line) { return line.stock.has_value(); });
    bool any = false;
    for (const MaterialLine& line : material.lines) {
        if (line.name.isEmpty())
            continue;
        Say(materialLine(line, stock));
        any = true;
    }
    if (!any)
        Say(QStringLiteral("  Kein Eintrag hat einen Effekt."));
    Say(QString());
    for (const QString& line : MaterialCheckLines(material))
        Say(line);
    return Success;
}
