#include "commit_notice.h"

#include "editor_rules.h"
#include "field_number.h"

#include <QStringList>

namespace {

QString entry(int row) { return QStringLiteral("Nr. %1").arg(row + 1, 3, 10, QLatin1Char('0')); }

QString quoted(const QString& typed) { return QStringLiteral("„%1“").arg(typed.trimmed()); }

bool sameTimes(const ShotList& a, const ShotList& b)
{
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (a.times[slot] != b.times[slot])
            return false;
    }
    return true;
}

// "Nr. 005: " and the reasons, what was stored instead, and the entries lost.
QString notice(int row, const QStringList& why, const QString& outcome, const QString& lost = QString())
{
    QString body = why.join(QStringLiteral("; "));
    if (!body.isEmpty())
        body += QStringLiteral(" – ") + outcome + QLatin1Char('.');
    if (!lost.isEmpty())
        body += (body.isEmpty() ? QString() : QStringLiteral(" ")) + lost + QLatin1Char('.');
    if (body.isEmpty())
        return QString();
    body[0] = body[0].toUpper();
    return entry(row) + QStringLiteral(": ") + body;
}

QString lostEntries(int firstSlot, int lastSlot)
{
    if (firstSlot == lastSlot)
        return QStringLiteral("%1 läge nach 18:07:59 und ist gelöscht").arg(entry(firstSlot));
    return QStringLiteral("%1 bis %2 lägen nach 18:07:59 und sind gelöscht")
        .arg(entry(firstSlot), entry(lastSlot));
}

} // namespace

QString EntryNumberNotice(const QString& typed, int line)
{
    const QString chosen = entry(line);
    if (!HasLeadingNumber(typed))
        return QStringLiteral("%1 ist keine Eintragsnummer – %2 gewählt.").arg(quoted(typed), chosen);
    const double value = FieldValue(typed);
    if (value == line + 1)
        return QString();
    return QStringLiteral("Eintrag %1 gibt es nicht – %2 gewählt.").arg(CanonicalText(value), chosen);
}

QString GapNotice(GapField field, const QString& typed, int row, const ShotList& before, int countBefore,
    const ShotList& after, int countAfter)
{
    const bool since = field == GapField::Since;
    const double value = FieldValue(typed);
    const int seconds = since ? SinceSeconds(value) : UntilSeconds(value);
    QStringList why;
    if (!HasLeadingNumber(typed))
        why << QStringLiteral("%1 ist keine Zahl").arg(quoted(typed));
    else if (value > 999)
        why << QStringLiteral("%1 s ist mehr als 999 s").arg(CanonicalText(value));
    else if (value < 0)
        why << QStringLiteral("%1 s ist weniger als 0 s").arg(CanonicalText(value));
    else if (seconds != value)
        why << QStringLiteral("%1 s auf ganze Sekunden gerundet").arg(CanonicalText(value));

    const bool appends = since ? row == countBefore : row == countBefore - 1;
    if (sameTimes(before, after)) {
        QString outcome = QStringLiteral("nichts geändert");
        if (since && row > countBefore) {
            why << (countBefore == 0
                    ? QStringLiteral("die Liste ist leer; anfügen geht nur auf %1").arg(entry(0))
                    : QStringLiteral("die Liste endet mit %1; anfügen geht nur auf %2")
                          .arg(entry(countBefore - 1), entry(countBefore)));
        } else if (since && seconds == 0 && row > 0) {
            why << QStringLiteral("0 s seit der letzten Zündung gehen nur beim ersten Eintrag");
        } else if (!since && row >= countBefore) {
            why << QStringLiteral("hier ist kein Eintrag");
        } else if (appends) {
            why << (countBefore >= EntryCount
                    ? QStringLiteral("die Liste ist voll (%1 Einträge)").arg(EntryCount)
                    : QStringLiteral("ein Eintrag nach 18:07:59 geht nicht"));
            outcome = QStringLiteral("nichts angefügt");
        }
        return notice(row, why, outcome);
    }

    // The gap as stored, while its entries are still there.
    const int stored = since ? (row < countAfter ? SinceValue(after, row) : -1)
                             : (row + 1 < countAfter ? UntilValue(after, row) : -1);
    if (why.isEmpty() && stored >= 0 && stored != seconds)
        why << QStringLiteral("%1 s eingegeben").arg(CanonicalText(value));
    const QString outcome = stored >= 0 ? QStringLiteral("%1 s gespeichert").arg(stored)
                                        : QStringLiteral("%1 s verwendet").arg(seconds);
    const int expected = appends ? countBefore + 1 : countBefore;
    const QString lost = countAfter < expected ? lostEntries(countAfter, expected - 1) : QString();
    return notice(row, why, outcome, lost);
}

QString CircuitNotice(const QString& typed, int row, int device, qint16 stored)
{
    const double value = FieldValue(typed);
    const int number = RoundHalfEven(ClampCircuitNumber(value));
    QStringList why;
    if (!HasLeadingNumber(typed))
        why << QStringLiteral("%1 ist keine Kreisnummer").arg(quoted(typed));
    else if (number != value)
        why << QStringLiteral("Kreis %1 gibt es nicht").arg(CanonicalText(value));
    if (stored == NoCircuit && device == 7 && number == 31) {
        why << QStringLiteral("H31 bedeutet „kein Zündkreis“");
        return notice(row, why, QStringLiteral("Eintrag ohne Zündkreis gespeichert"));
    }
    return notice(row, why, QStringLiteral("Kreis %1 gespeichert").arg(number));
}

QString NoDeviceNotice(int row)
{
    return entry(row) + QStringLiteral(": Kein Zündgerät gewählt – nichts gespeichert.");
}

QString NoCircuitNumberNotice(int row, int device)
{
    return entry(row)
        + QStringLiteral(": Zündgerät %1 ohne Kreisnummer – nichts gespeichert.").arg(QChar('A' + device));
}

QString EffectNotice(int row, const QString& refusal) { return entry(row) + QStringLiteral(": ") + refusal; }

QString ReservedCircuitNotice(int row, qint16 code, int entryCount)
{
    return entry(row)
        + QStringLiteral(" ist leer: Kreis %1 ist vorgemerkt und wird erst gezündet, wenn die Liste bis %2 "
                         "reicht (der nächste Eintrag ist %3).")
              .arg(CircuitLabel(code), entry(row), entry(entryCount));
}

QString ReservedEffectNotice(int row, int entryCount)
{
    return entry(row)
        + QStringLiteral(" ist leer: Ein Effekt steht auf einem Eintrag oder wartet auf %1, den nächsten. "
                         "Der Effekt ist nicht gespeichert.")
              .arg(entry(entryCount));
}
