#include "tap_calibration.h"

#include "files/recovery.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ClickLengthMs = 15;

QString signedMs(int ms)
{
    if (ms < 0)
        return QStringLiteral("\u2212%1 ms").arg(-ms);
    if (ms > 0)
        return QStringLiteral("+%1 ms").arg(ms);
    return QStringLiteral("0 ms");
}

} // namespace

ClickTrack MakeClickTrack(int count, qint64 leadInMs, qint64 intervalMs, int rate)
{
    ClickTrack track;
    for (int i = 0; i < count; ++i)
        track.clicksMs.append(leadInMs + i * intervalMs);
    track.durationMs = leadInMs + qint64(qMax(0, count - 1)) * intervalMs + 1000;
    const qint64 frames = track.durationMs * rate / 1000;
    const qint64 clickFrames = qint64(ClickLengthMs) * rate / 1000;

    QByteArray data(frames * 2, '\0');
    auto* samples = reinterpret_cast<uchar*>(data.data());
    for (const qint64 click : std::as_const(track.clicksMs)) {
        const qint64 first = click * rate / 1000;
        for (qint64 k = 0; k < clickFrames && first + k < frames; ++k) {
            // Full at once, fading out: its start is where the click is.
            const double t = double(k) / rate;
            const double value = 0.9 * std::exp(-t * 250.0) * std::sin(2 * M_PI * 1000.0 * t + M_PI / 2);
            const auto sample = qint16(std::lround(value * 32767));
            samples[(first + k) * 2] = uchar(quint16(sample) & 0xff);
            samples[(first + k) * 2 + 1] = uchar(quint16(sample) >> 8);
        }
    }
    QDataStream out(&track.wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + data.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(data.size());
    out.writeRawData(data.constData(), int(data.size()));
    return track;
}

TapCalibration CalibrateTaps(const QList<qint64>& clicksMs, const QList<qint64>& tapsMs)
{
    TapCalibration result;
    // A tap further than half the closest spacing from every click belongs to none.
    qint64 reach = 500;
    for (qsizetype i = 1; i < clicksMs.size(); ++i)
        reach = qMin(reach, qAbs(clicksMs[i] - clicksMs[i - 1]) / 2);
    QList<bool> tapped(clicksMs.size(), false);
    QList<qint64> offsets;
    for (const qint64 tap : tapsMs) {
        qsizetype nearest = -1;
        for (qsizetype i = 0; i < clicksMs.size(); ++i) {
            if (nearest < 0 || qAbs(tap - clicksMs[i]) < qAbs(tap - clicksMs[nearest]))
                nearest = i;
        }
        if (nearest < 0 || qAbs(tap - clicksMs[nearest]) > reach || tapped[nearest])
            continue;
        tapped[nearest] = true;
        offsets.append(tap - clicksMs[nearest]);
    }
    result.matched = int(offsets.size());
    if (result.matched < MinCalibrationTaps) {
        result.reason
            = QStringLiteral("Nur %1 Klicks mitgetippt, für einen Abgleich braucht es mindestens %2. "
                             "Bitte noch einmal zu jedem Klick tippen.")
                  .arg(result.matched)
                  .arg(MinCalibrationTaps);
        return result;
    }
    double sum = 0;
    for (const qint64 offset : std::as_const(offsets))
        sum += double(offset);
    const double mean = sum / double(offsets.size());
    double squares = 0;
    for (const qint64 offset : std::as_const(offsets))
        squares += (double(offset) - mean) * (double(offset) - mean);
    result.offsetMs = int(std::lround(mean));
    result.spreadMs = int(std::lround(std::sqrt(squares / double(offsets.size()))));
    if (result.spreadMs > MaxCalibrationSpreadMs) {
        result.reason
            = QStringLiteral("Die Taps streuen zu stark: im Mittel %1, Streuung \u00b1%2 ms über %3 "
                             "Klicks (höchstens \u00b1%4 ms). Bitte noch einmal gleichmäßig mittippen.")
                  .arg(signedMs(result.offsetMs))
                  .arg(result.spreadMs)
                  .arg(result.matched)
                  .arg(MaxCalibrationSpreadMs);
        return result;
    }
    if (qAbs(result.offsetMs) > MaxTapOffsetMs) {
        result.reason
            = QStringLiteral("Die Taps liegen im Mittel %1 neben den Klicks, mehr als %2 ms: so spät "
                             "klingt kein Lautsprecher. Bitte noch einmal mittippen.")
                  .arg(signedMs(result.offsetMs))
                  .arg(MaxTapOffsetMs);
        return result;
    }
    result.ok = true;
    return result;
}

QString TapOffsetText(int offsetMs) { return QStringLiteral("Abgleich: ") + signedMs(offsetMs); }

QString TapOffsetFilePath(const QString& tempFolder)
{
    return RecoveryFolder(tempFolder) + TapOffsetFileName;
}

QByteArray TapOffsetBytes(int offsetMs) { return "Abgleich=" + QByteArray::number(offsetMs) + "\n"; }

StoredTapOffset ParseTapOffset(const QByteArray& bytes)
{
    StoredTapOffset stored;
    static const QRegularExpression line(QStringLiteral("^Abgleich=(-?\\d{1,4})\\r?\\n?$"));
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(bytes.left(64)));
    if (bytes.size() > 64 || !match.hasMatch()) {
        stored.problem = QStringLiteral("Der gespeicherte Abgleich ist unlesbar und wird nicht verwendet; "
                                        "Taps gelten ohne Abgleich.");
        return stored;
    }
    const int value = match.captured(1).toInt();
    if (qAbs(value) > MaxTapOffsetMs) {
        stored.problem
            = QStringLiteral("Der gespeicherte Abgleich von %1 ms liegt außerhalb von \u00b1%2 ms und "
                             "wird nicht verwendet; Taps gelten ohne Abgleich.")
                  .arg(value)
                  .arg(MaxTapOffsetMs);
        return stored;
    }
    stored.offsetMs = value;
    return stored;
}

StoredTapOffset ReadTapOffset(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        StoredTapOffset stored;
        stored.problem
            = QStringLiteral("Der gespeicherte Abgleich lässt sich nicht lesen (%1); Taps gelten ohne "
                             "Abgleich.")
                  .arg(file.errorString());
        return stored;
    }
    return ParseTapOffset(file.read(65));
}

QString WriteTapOffset(const QString& path, int offsetMs)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Der Abgleich lässt sich nicht speichern: %1 (%2).")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    const QByteArray bytes = TapOffsetBytes(offsetMs);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        return QStringLiteral("Der Abgleich lässt sich nicht speichern: %1 (%2).")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return QString();
}
