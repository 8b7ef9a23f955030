#pragma once

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cmath>
#include <functional>

// Music made by the tests: WAV written here, OGG, FLAC and MP3 encoded from it by sox and lame.

// 16-bit PCM; sample(seconds, channel) in -1..1.
inline bool WriteWav(const QString& path, int rate, int channels, double seconds,
    const std::function<double(double, int)>& sample)
{
    const qint64 frames = qint64(std::llround(rate * seconds));
    QByteArray data;
    data.reserve(int(frames * channels * 2));
    QDataStream samples(&data, QIODevice::WriteOnly);
    samples.setByteOrder(QDataStream::LittleEndian);
    for (qint64 i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c)
            samples << qint16(std::lround(std::clamp(sample(double(i) / rate, c), -1.0, 1.0) * 32767));
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + data.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate) << quint32(rate * channels * 2)
        << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(data.size());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes + data) == bytes.size() + data.size();
}

// Encodes a WAV into target by its extension (.ogg, .flac: sox; .mp3: lame). Empty text when done, else
// what is missing or went wrong.
inline QString EncodeMusic(const QString& wav, const QString& target)
{
    const bool mp3 = QFileInfo(target).suffix() == QLatin1String("mp3");
    const QString tool = mp3 ? QStringLiteral("lame") : QStringLiteral("sox");
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return tool + QStringLiteral(" is not installed");
    const QStringList arguments
        = mp3 ? QStringList { QStringLiteral("--quiet"), wav, target } : QStringList { wav, target };
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0 || !QFileInfo(target).isFile())
        return tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString();
}
