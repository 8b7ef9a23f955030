#include "csv_file.h"

#include "files/fsl_file.h"
#include "shotlist/duplicates.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int CircuitsPerDevice = 32;
// Line numbers listed in a summary line.
constexpr int ListedLines = 10;

// Quoted when a spreadsheet would split or change it otherwise; a formula is kept text.
QString csvCell(const QString& text)
{
    const QString cell = CsvTextCell(text);
    if (!cell.contains(QLatin1Char(';')) && !cell.contains(QLatin1Char('"'))
        && !cell.contains(QLatin1Char('\t')) && !cell.contains(QLatin1Char('\r'))
        && !cell.contains(QLatin1Char('\n')))
        return cell;
    QString escaped = cell;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString named(const QString& name) { return QStringLiteral("„%1“").arg(name); }

// "Zeile 5" or "Zeilen 4, 7, 9 und 3 weitere".
QString linesText(const QList<int>& lines)
{
    QStringList numbers;
    for (qsizetype i = 0; i < lines.size() && i < ListedLines; ++i)
        numbers.append(QString::number(lines[i]));
    QString text = (lines.size() == 1 ? QStringLiteral("Zeile ") : QStringLiteral("Zeilen "))
        + numbers.join(QStringLiteral(", "));
    if (lines.size() > ListedLines)
        text += QStringLiteral(" und %1 weitere").arg(lines.size() - ListedLines);
    return text;
}

QString delimiterName(QChar delimiter)
{
    if (delimiter == QLatin1Char(';'))
        return QStringLiteral("Semikolon");
    if (delimiter == QLatin1Char(','))
        return QStringLiteral("Komma");
    if (delimiter == QLatin1Char('\t'))
        return QStringLiteral("Tabulator");
    return named(QString(delimiter));
}

// A cell that starts like a formula, after any apostrophes already there.
bool startsLikeFormula(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char('\''))
        ++i;
    if (i == text.size())
        return false;
    const QChar c = text[i];
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@')
        || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

} // namespace

QString CsvTextCell(const QString& text) { return startsLikeFormula(text) ? QLatin1Char('\'') + text : text; }

QString CsvCellText(const QString& cell)
{
    return cell.startsWith(QLatin1Char('\'')) && startsLikeFormula(cell) ? cell.mid(1) : cell;
}

QByteArray ShotListCsvBytes(const ShotList& list, const EffectDataMap& data)
{
    ShotList normal = list;
    NormalizeList(normal);
    const int entries = CountEntries(normal);
    bool withData = false;
    for (int slot = 0; slot < entries && !withData && !data.isEmpty(); ++slot)
        withData = data.contains(normal.effects[slot]);
    QString text = withData
        ? QStringLiteral(
            "Nr;Zeit;Sekunden;Zündgerät;Kreis;Effekt;Vorlauf (s);Dauer (s);Kaliber (mm);NEM (g);Klasse\r\n")
        : QStringLiteral("Nr;Zeit;Sekunden;Zündgerät;Kreis;Effekt\r\n");
    for (int slot = 0; slot < entries; ++slot) {
        const qint32 time = normal.times[slot];
        const int code = normal.circuits[slot];
        QString device, circuit;
        if (code >= 0 && code < NoCircuit) {
            device = QChar(u'A' + code / CircuitsPerDevice);
            circuit = QString::number(code % CircuitsPerDevice);
        }
        text += QStringLiteral("%1;%2;%3;%4;%5;%6\r\n")
                    .arg(slot + 1)
                    .arg(FormatClock(time))
                    .arg(time)
                    .arg(device, circuit, csvCell(normal.effects[slot]));
        if (withData) {
            text.chop(2);
            const auto found = data.constFind(normal.effects[slot]);
            const EffectData effect = found == data.cend() ? EffectData() : found.value();
            for (const EffectField field :
                { EffectField::Prefire, EffectField::Duration, EffectField::Caliber, EffectField::Nem }) {
                const std::optional<qint32>& value = EffectNumber(effect, field);
                text += QLatin1Char(';') + (value ? EffectValueCell(field, *value) : QString());
            }
            text += QLatin1Char(';') + (effect.effectClass ? EffectClassName(*effect.effectClass) : QString())
                + QStringLiteral("\r\n");
        }
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString CsvCell(const QString& text) { return csvCell(text); }

bool WriteShotListCsv(const QString& path, const ShotList& list, QString* error)
{
    return SaveBytes(path, ShotListCsvBytes(list), error);
}

bool WriteShotListCsv(const QString& path, const ShotList& list, const EffectDataMap& data, QString* error)
{
    return SaveBytes(path, ShotListCsvBytes(list, data), error);
}

CsvFileBytes ReadCsvFile(const QString& path)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!info.exists())
        return { std::nullopt, QStringLiteral("Die Datei %1 gibt es nicht.").arg(path) };
    // A pipe or device would block or never end.
    if (!info.isFile())
        return { std::nullopt, QStringLiteral("%1 ist keine Datei.").arg(path) };
    if (!file.open(QIODevice::ReadOnly))
        return { std::nullopt,
            QStringLiteral("Die Datei %1 lässt sich nicht lesen: %2").arg(path, file.errorString()) };
    QByteArray bytes = file.read(MaxCsvBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return { std::nullopt,
            QStringLiteral("Die Datei %1 lässt sich nicht lesen: %2").arg(path, file.errorString()) };
    return { std::move(bytes), QString() };
}

CsvImport ReadShotListCsv(const QString& path, const CsvImportOptions& options)
{
    const CsvFileBytes file = ReadCsvFile(path);
    if (!file.bytes) {
        CsvImport failed;
        failed.problems.append(file.problem);
        return failed;
    }
    return ReadShotListCsv(*file.bytes, options);
}

QStringList CsvSummaryLines(const CsvImport& imported)
{
    const CsvSummary& summary = imported.summary;
    QStringList lines;
    lines.append(
        (summary.shots == 1 ? QStringLiteral("1 Schuss") : QStringLiteral("%1 Schüsse").arg(summary.shots))
        + QStringLiteral(", Dauer %1.").arg(FormatClock(summary.duration)));
    QString format = QStringLiteral("Kopfzeile in Zeile %1").arg(summary.headerLine);
    if (summary.headerLine > 1)
        format += QStringLiteral(" (die Zeilen davor übersprungen)");
    if (summary.finale)
        format += QStringLiteral(", Finale Generic CSV");
    format
        += QStringLiteral(", Trennzeichen %1, %2.").arg(delimiterName(summary.delimiter), summary.encoding);
    lines.append(format);

    QStringList used;
    for (const CsvRole role :
        { CsvRole::Time, CsvRole::Device, CsvRole::Circuit, CsvRole::Effect, CsvRole::Data }) {
        QStringList names;
        for (const CsvColumn& column : imported.columns) {
            if (column.role == role)
                names.append(named(column.name));
        }
        if (names.size() > 2)
            names = QStringList { names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.constLast() };
        if (!names.isEmpty())
            used.append(CsvRoleName(role) + QLatin1Char(' ') + names.join(QStringLiteral(" und ")));
    }
    lines.append(QStringLiteral("Spalten: %1.").arg(used.join(QStringLiteral(", "))));
    if (!imported.effectData.isEmpty())
        lines.append(imported.effectData.size() == 1
                ? QStringLiteral("Daten für 1 Effekt übernommen.")
                : QStringLiteral("Daten für %1 Effekte übernommen.").arg(imported.effectData.size()));
    if (summary.withoutCircuits)
        lines.append(QStringLiteral("Liste ohne Zündkreise: kein Eintrag hat einen Zündkreis."));
    else if (summary.circuitsFrom == 1)
        lines.append(QStringLiteral("Kreise ab 1 gezählt: Kreis 1 der Datei ist Kreis 00 in Kelto."));
    else
        lines.append(QStringLiteral("Kreise ab 0 gezählt, wie in Kelto."));
    if (!summary.settledBy.isEmpty())
        lines.append(QStringLiteral("%1 ist %2 in %3: %4.")
                         .arg(named(QString(summary.settledMark)),
                             summary.settledMark == QLatin1Char('.') ? QStringLiteral("der Dezimalpunkt")
                                                                     : QStringLiteral("das Dezimalkomma"),
                             summary.settledTimes == 1 ? named(summary.settledExample)
                                                       : QStringLiteral("%1 Zeiten wie %2")
                                                             .arg(summary.settledTimes)
                                                             .arg(named(summary.settledExample)),
                             summary.settledBy.join(QStringLiteral("; "))));
    if (summary.roundedLines.isEmpty())
        lines.append(QStringLiteral("Keine Zeit gerundet."));
    else
        lines.append(QStringLiteral("%1 auf ganze Sekunden gerundet (%2).")
                         .arg(summary.roundedLines.size() == 1
                                 ? QStringLiteral("1 Zeit")
                                 : QStringLiteral("%1 Zeiten").arg(summary.roundedLines.size()),
                             linesText(summary.roundedLines)));
    if (!summary.withoutCircuits) {
        if (summary.withoutCircuitLines.isEmpty())
            lines.append(QStringLiteral("Jeder Eintrag hat einen Zündkreis."));
        else
            lines.append(QStringLiteral("%1 ohne Zündkreis (%2).")
                             .arg(summary.withoutCircuitLines.size() == 1
                                     ? QStringLiteral("1 Eintrag")
                                     : QStringLiteral("%1 Einträge").arg(summary.withoutCircuitLines.size()),
                                 linesText(summary.withoutCircuitLines)));
    }
    if (!summary.replacedLines.isEmpty())
        lines.append(QStringLiteral("Zeichen, die eine Listendatei nicht speichern kann, wurden zu „?“ (%1).")
                         .arg(linesText(summary.replacedLines)));
    if (!summary.joinedLines.isEmpty())
        lines.append(QStringLiteral("Zeilenumbrüche in Effekten wurden zu Leerzeichen (%1).")
                         .arg(linesText(summary.joinedLines)));
    if (summary.sorted)
        lines.append(QStringLiteral(
            "Die Zeilen standen nicht in der Reihenfolge ihrer Zeiten; sie wurden nach der Zeit "
            "sortiert."));
    return lines;
}
