#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Tapping in time with what is heard: the sound reaches the ear later than the player reports it, and
// people tap a little early or late. A click track is played, the user taps along, and the mean of
// tap − click is subtracted from every later tap.

// Taps needed on as many different clicks before the mean is trusted.
constexpr int MinCalibrationTaps = 8;
// Above this standard deviation of tap − click the mean says nothing.
constexpr int MaxCalibrationSpreadMs = 60;
// An offset beyond this is no sound delay nor a tapper's habit; such a figure is refused.
constexpr int MaxTapOffsetMs = 1000;

struct ClickTrack {
    QByteArray wav; // 16-bit PCM mono
    QList<qint64> clicksMs; // where each click starts, in ms of the music
    qint64 durationMs = 0;
};

// count clicks every intervalMs after leadInMs of silence, each a short 1 kHz burst, then a second of
// silence so the last one is heard before the track ends.
ClickTrack MakeClickTrack(int count = 12, qint64 leadInMs = 2000, qint64 intervalMs = 1000, int rate = 44100);

struct TapCalibration {
    bool ok = false;
    int offsetMs = 0; // mean of tap − click, rounded
    int matched = 0; // clicks that got a tap
    int spreadMs = 0; // standard deviation of tap − click, rounded
    QString reason; // German, when not ok
};

// Each tap is matched to the nearest click; a click tapped twice counts its first tap. Refused with the
// figures when fewer than MinCalibrationTaps clicks were tapped or the taps scatter too much.
TapCalibration CalibrateTaps(const QList<qint64>& clicksMs, const QList<qint64>& tapsMs);

// "Abgleich: −140 ms", "Abgleich: +35 ms", "Abgleich: 0 ms".
QString TapOffsetText(int offsetMs);

// Beside the recovery copy (RecoveryFolder), as the effect catalogue.
QString TapOffsetFilePath(const QString& tempFolder);
inline const QString TapOffsetFileName = QStringLiteral("kelto-abgleich.txt");

// The file's bytes: one line "Abgleich=-140".
QByteArray TapOffsetBytes(int offsetMs);

struct StoredTapOffset {
    int offsetMs = 0;
    // German, when the file is there but was not used; the offset is then 0.
    QString problem;
};

// No file: 0 without a problem. Content that is not exactly one such line in range is not guessed at.
StoredTapOffset ParseTapOffset(const QByteArray& bytes);
StoredTapOffset ReadTapOffset(const QString& path);
// Written whole or not at all; the German reason when it failed, else empty.
QString WriteTapOffset(const QString& path, int offsetMs);
