#include "music/waveform.h"
#include "music/waveform_reader.h"
#include "music_files.h"
#include "test_main.h"

#include <QAudioBuffer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// 0.5 s silence, 1 s of a 441 Hz tone at half scale, 0.5 s at quarter scale: a shape the peaks show.
double shapedTone(double t, int channel)
{
    const double level = t < 0.5 ? 0.0 : (t < 1.5 ? 0.5 : 0.25);
    // The right channel is quieter: peaks take the loudest of all channels.
    return level * (channel == 0 ? 1.0 : 0.5) * std::sin(2 * M_PI * 441 * t);
}

double peakHigh(const Waveform& w, int i) { return w.peaks[size_t(i)].high / 32767.0; }
double peakLow(const Waveform& w, int i) { return w.peaks[size_t(i)].low / 32767.0; }

// Largest deviation of the peaks in [fromMs, toMs) from ±level.
double deviation(const Waveform& w, int fromMs, int toMs, double level)
{
    double worst = 0;
    for (int i = fromMs / Waveform::PeakMs; i < toMs / Waveform::PeakMs; ++i)
        worst = std::max({ worst, std::abs(peakHigh(w, i) - level), std::abs(peakLow(w, i) + level) });
    return worst;
}

std::shared_ptr<const Waveform> readWaveform(const QString& path, QString* failure = nullptr)
{
    WaveformReader reader;
    QSignalSpy done(&reader, &WaveformReader::finished);
    QSignalSpy failed(&reader, &WaveformReader::failed);
    reader.read(path);
    if (!QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 60000))
        return nullptr;
    if (!failed.isEmpty()) {
        if (failure)
            *failure = failed.first().first().toString();
        return nullptr;
    }
    return done.first().first().value<std::shared_ptr<const Waveform>>();
}

// 30 s stereo at 44.1 kHz, long enough to be dropped while it is read, and 0.5 s mono at 8 kHz.
struct TwoTracks {
    QTemporaryDir dir;
    QString longer = dir.filePath(QStringLiteral("lang.wav"));
    QString shorter = dir.filePath(QStringLiteral("kurz.wav"));
    bool written
        = WriteWav(longer, 44100, 2, 30.0, shapedTone) && WriteWav(shorter, 8000, 1, 0.5, shapedTone);
};

} // namespace

class TestWaveform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Generated files decode into one peak per 10 ms, silence where the music is silent and the tone's
    // level where it sounds. Lossy formats get a little slack at the edges and in the level.
    void decodedFilesGivePeaksOfTheirShape_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("slackPeaks");
        QTest::addColumn<double>("slackLevel");
        QTest::newRow("WAV stereo 44.1 kHz") << "wav" << 44100 << 2 << 0 << 0.002;
        QTest::newRow("WAV mono 22.05 kHz") << "wav" << 22050 << 1 << 0 << 0.002;
        QTest::newRow("OGG") << "ogg" << 44100 << 2 << 1 << 0.08;
        QTest::newRow("FLAC") << "flac" << 44100 << 2 << 0 << 0.002;
        QTest::newRow("MP3") << "mp3" << 44100 << 2 << 8 << 0.08;
    }
    void decodedFilesGivePeaksOfTheirShape()
    {
        QFETCH(QString, suffix);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, slackPeaks);
        QFETCH(double, slackLevel);
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("ton.wav"));
        QVERIFY(WriteWav(wav, rate, channels, 2.0, shapedTone));
        QString path = wav;
        if (suffix != QLatin1String("wav")) {
            path = dir.filePath(QStringLiteral("ton.") + suffix);
            const QString missing = EncodeMusic(wav, path);
            if (missing.contains(QLatin1String("not installed")))
                QSKIP(qPrintable(missing));
            QVERIFY2(missing.isEmpty(), qPrintable(missing));
        }
        QString failure;
        const std::shared_ptr<const Waveform> w = readWaveform(path, &failure);
        QVERIFY2(w, qPrintable(failure));
        QVERIFY2(
            std::abs(int(w->peaks.size()) - 200) <= slackPeaks, qPrintable(QString::number(w->peaks.size())));
        QVERIFY(std::abs(w->durationMs - 2000) <= slackPeaks * Waveform::PeakMs);
        // Edges of the stretches are left out for the lossy formats' pre-echo.
        const int edge = slackPeaks > 0 ? 60 : 0;
        QVERIFY2(deviation(*w, 0, 500 - edge, 0.0) <= (slackPeaks > 0 ? 0.02 : 0.0001),
            qPrintable(QString::number(deviation(*w, 0, 500 - edge, 0.0))));
        QVERIFY2(deviation(*w, 500 + edge, 1500 - edge, 0.5) <= slackLevel,
            qPrintable(QString::number(deviation(*w, 500 + edge, 1500 - edge, 0.5))));
        QVERIFY2(deviation(*w, 1500 + edge, 2000 - 4 * edge, 0.25) <= slackLevel,
            qPrintable(QString::number(deviation(*w, 1500 + edge, 2000 - 4 * edge, 0.25))));
        // Peaks, not samples.
        QVERIFY(w->bytes() <= 200 * qsizetype(sizeof(Peak)) + 64);
    }

    // However the decoder cuts the audio into buffers, and at whatever rate, a peak covers 10 ms.
    void peaksDoNotDependOnBufferSizes_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("chunk");
        QTest::newRow("one frame at a time") << 8000 << 1;
        QTest::newRow("a bucket and a bit") << 44100 << 443;
        QTest::newRow("uneven rate") << 22050 << 1000;
        QTest::newRow("all at once") << 48000 << 48000;
    }
    void peaksDoNotDependOnBufferSizes()
    {
        QFETCH(int, rate);
        QFETCH(int, chunk);
        // A ramp from -1 to 1 over one second, one channel: peak i spans exactly [i/100, (i+1)/100).
        std::vector<float> samples(static_cast<size_t>(rate));
        for (int i = 0; i < rate; ++i)
            samples[size_t(i)] = -1.0f + 2.0f * float(i) / float(rate);
        PeakBuilder builder;
        for (int at = 0; at < rate; at += chunk) {
            const int frames = std::min(chunk, rate - at);
            QAudioFormat format;
            format.setSampleFormat(QAudioFormat::Int16);
            format.setChannelCount(1);
            format.setSampleRate(rate);
            QByteArray bytes(frames * 2, Qt::Uninitialized);
            auto* out = reinterpret_cast<qint16*>(bytes.data());
            for (int i = 0; i < frames; ++i)
                out[i] = qint16(std::lround(samples[size_t(at + i)] * 32767.0f));
            builder.add(QAudioBuffer(bytes, format));
        }
        QCOMPARE(builder.decodedMs(), qint64(1000));
        const Waveform w = builder.finish();
        QCOMPARE(int(w.peaks.size()), 100);
        for (int i = 0; i < 100; ++i) {
            const int first = (i * rate + 99) / 100;
            const int last = ((i + 1) * rate + 99) / 100 - 1;
            QCOMPARE(w.peaks[size_t(i)].low, qint16(std::lround(samples[size_t(first)] * 32767.0f)));
            QCOMPARE(w.peaks[size_t(i)].high, qint16(std::lround(samples[size_t(last)] * 32767.0f)));
        }
    }

    void unreadableFilesFailWithAReason_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << "Die Datei gibt es nicht.";
        QTest::newRow("not music")
            << QByteArray("Feuerwerk-Schussliste\r\n").repeated(200)
            << "Diese Datei ist keine Musik, die Kelto lesen kann (WAV, MP3, OGG, FLAC).";
    }
    void unreadableFilesFailWithAReason()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("finale.mp3"));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QString failure;
        QVERIFY(!readWaveform(path, &failure));
        QCOMPARE(failure, reason);
    }

    // A new read drops the one in progress: only the last file's waveform arrives; a reader ended with
    // a read under way ends its thread cleanly.
    void aNewReadDropsTheOneInProgress()
    {
        const TwoTracks tracks;
        QVERIFY(tracks.written);
        WaveformReader reader;
        QSignalSpy done(&reader, &WaveformReader::finished);
        reader.read(tracks.longer);
        reader.read(tracks.shorter);
        QVERIFY(done.wait(30000));
        QCOMPARE(done.first().first().value<std::shared_ptr<const Waveform>>()->peaks.size(), size_t(50));
        reader.read(tracks.longer);
        reader.cancel();
        QVERIFY(!reader.isReading());
        reader.read(tracks.longer);
        QCOMPARE(done.count(), 1);
    }

    // Switching tracks while one is decoded stops that decoder before it goes: no call from the
    // decoding thread reaches a decoder half torn down, and the last track still arrives.
    void switchingTracksWhileReadingStopsTheDecoder()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("No such method|bufferReady")));
        const TwoTracks tracks;
        QVERIFY(tracks.written);
        WaveformReader reader;
        QSignalSpy progress(&reader, &WaveformReader::progress);
        QSignalSpy done(&reader, &WaveformReader::finished);
        for (int i = 0; i < 5; ++i) {
            progress.clear();
            reader.read(tracks.longer);
            // Buffers are flowing when the first progress arrives.
            QVERIFY(progress.wait(30000));
        }
        reader.read(tracks.shorter);
        QVERIFY(done.wait(30000));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.first().first().value<std::shared_ptr<const Waveform>>()->peaks.size(), size_t(50));
    }
};

KELTO_TEST_MAIN(TestWaveform)
#include "tst_waveform.moc"
