#include "policies.h"

#include "console.h"
#include "verbs.h"

#include "shotlist/duplicates.h"
#include "shotlist/stored_text.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr double ShortestTimeout = 0.1;
constexpr double LongestTimeout = 24 * 3600;

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

std::optional<qint64> TimeoutMs(const QString& text)
{
    static const QRegularExpression plainDecimal(QStringLiteral("^(\\d{1,6})(?:[.,](\\d{1,9}))?$"));
    const QRegularExpressionMatch match = plainDecimal.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString digits = match.captured(1) + QLatin1Char('.')
        + (match.hasCaptured(2) ? match.captured(2) : QStringLiteral("0"));
    bool ok = false;
    const double seconds = QLocale::c().toDouble(digits, &ok);
    if (!ok || seconds < ShortestTimeout || seconds > LongestTimeout)
        return std::nullopt;
    return qint64(std::llround(seconds * 1000));
}

QString TimeoutRefusal(const QString& text)
{
    return QStringLiteral("--timeout braucht eine Zahl von Sekunden von 0,1 bis 86400, etwa 30 oder 2,5; "
                          "„%1“ ist keine.")
        .arg(text);
}

QString OutputRefusal(const OutputTarget& target)
{
    const QFileInfo info(target.path);
    const QString canonical = info.canonicalFilePath();
    for (const QString& input : target.inputs) {
        if (canonical.isEmpty() || canonical != QFileInfo(input).canonicalFilePath())
            continue;
        const QString never = QStringLiteral("sie wird nie überschrieben, auch nicht mit --force.");
        if (QFileInfo(input).absoluteFilePath() == info.absoluteFilePath())
            return QStringLiteral("%1 ist die gelesene Datei; %2").arg(shown(target.path), never);
        return QStringLiteral("%1 führt auf die gelesene Datei %2; %3")
            .arg(shown(target.path), shown(input), never);
    }
    if (info.isDir())
        return QStringLiteral("%1 ist ein Ordner.").arg(shown(target.path));
    if (!info.absoluteDir().exists())
        return QStringLiteral("Den Ordner %1 gibt es nicht.").arg(shown(info.absolutePath()));
    if ((info.exists() || info.isSymLink()) && !target.force)
        return QStringLiteral("Die Datei %1 gibt es schon; --force überschreibt sie.")
            .arg(shown(target.path));
    return QString();
}

int WriteOutput(const OutputTarget& target, const std::function<bool(QString* error)>& write)
{
    if (const QString refusal = OutputRefusal(target); !refusal.isEmpty()) {
        Complain(refusal + QStringLiteral(" Nichts gespeichert."));
        return Failure;
    }
    const bool existed = QFileInfo::exists(target.path);
    QString error;
    if (!write(&error)) {
        Complain(QStringLiteral("Die Datei %1 lässt sich nicht schreiben: %2 %3")
                     .arg(shown(target.path), error,
                         existed ? QStringLiteral("Die bisherige Datei ist unverändert.")
                                 : QStringLiteral("Es wurde keine Datei angelegt.")));
        return Failure;
    }
    return Success;
}

QString SendRefusal(const ShotList& list, const QString& file)
{
    const QString doubles = DuplicateText(FindDuplicateCircuits(list));
    if (!doubles.isEmpty())
        return QStringLiteral("In %1 zünden mehrere Einträge denselben Zündkreis. %2\n"
                              "Nichts gesendet; --force sendet trotzdem.")
            .arg(shown(file), doubles);
    if (!HasAnyCircuit(list))
        return QStringLiteral("Kein Eintrag in %1 hat einen Zündkreis; das Senden würde die Liste im "
                              "Zündgerät durch eine ohne Schuss ersetzen.\nNichts gesendet; --force sendet "
                              "trotzdem.")
            .arg(shown(file));
    return QString();
}
