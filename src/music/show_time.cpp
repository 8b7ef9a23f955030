#include "show_time.h"

#include <QRegularExpression>

#include <cmath>

namespace {

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

QString clockOf(qint64 seconds)
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, zero)
        .arg((seconds / 60) % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

} // namespace

qint64 ShowTimeMs(qint64 musicPositionMs, qint32 musicStartTenths)
{
    return musicPositionMs + qint64(musicStartTenths) * 100;
}

qint64 MusicPositionMs(qint64 showTimeMs, qint32 musicStartTenths)
{
    return showTimeMs - qint64(musicStartTenths) * 100;
}

qint64 TapSecond(qint64 showTimeMs) { return floorDiv(showTimeMs + 500, 1000); }

QString ShowClock(qint64 showTimeMs)
{
    const qint64 seconds = floorDiv(showTimeMs, 1000);
    if (seconds < 0)
        return QStringLiteral("\u2212") + clockOf(-seconds);
    return clockOf(seconds);
}

QString TrackLength(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    const QLatin1Char zero('0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, zero).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

QString MusicStartText(qint32 tenths) { return TenthsText(tenths, QLatin1Char(',')); }

MusicStartInput ReadMusicStart(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([+\\-\u2212]?)(\\d{0,9})(?:[,.](\\d*))?$"));
    MusicStartInput input;
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch() || (match.captured(2).isEmpty() && match.captured(3).isEmpty()))
        return input;
    const QString decimals = match.captured(3);
    // Whole tenths, then whether what follows the first decimal rounds them up.
    qint64 magnitude
        = match.captured(2).toLongLong() * 10 + (decimals.isEmpty() ? 0 : decimals[0].digitValue());
    bool rounded = false;
    if (decimals.size() > 1) {
        const QString rest = decimals.mid(1);
        rounded = rest.contains(QRegularExpression(QStringLiteral("[1-9]")));
        if (rest[0].digitValue() >= 5)
            ++magnitude;
    }
    input.kind = rounded ? MusicStartInput::Kind::Rounded : MusicStartInput::Kind::Exact;
    if (magnitude > MusicStartLimitTenths) {
        magnitude = MusicStartLimitTenths;
        input.kind = MusicStartInput::Kind::Clamped;
    }
    const bool negative = !match.captured(1).isEmpty() && match.captured(1) != QLatin1String("+");
    input.tenths = qint32(negative ? -magnitude : magnitude);
    return input;
}

int NextShotSlot(const ShotList& list, int shotCount, qint64 showTimeMs)
{
    for (int slot = 0; slot < shotCount; ++slot) {
        if (qint64(list.times[slot]) * 1000 > showTimeMs)
            return slot;
    }
    return -1;
}

QString NextShotText(const ShotList& list, int shotCount, qint64 showTimeMs)
{
    const int slot = NextShotSlot(list, shotCount, showTimeMs);
    if (slot < 0)
        return QStringLiteral("nächster Schuss: –");
    const qint64 until = qint64(list.times[slot]) * 1000 - showTimeMs;
    const qint16 circuit = list.circuits[slot];
    QString text = QStringLiteral("nächster Schuss: Nr. %1  %2")
                       .arg(slot + 1, 3, 10, QLatin1Char('0'))
                       .arg(circuit == NoCircuit ? QStringLiteral("---") : CircuitLabel(circuit));
    if (!list.effects[slot].isEmpty())
        text += QStringLiteral("  ") + list.effects[slot];
    return text + QStringLiteral(" in %1 s").arg((until + 999) / 1000);
}
