#include "waveform.h"

#include <QAudioBuffer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 BucketsPerSecond = 1000 / Waveform::PeakMs;

qint16 scaled(float value) { return qint16(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767.0f)); }

} // namespace

void PeakBuilder::startSegment(int sampleRate)
{
    if (m_rate > 0) {
        m_decodedSeconds += double(m_segmentFrames) / m_rate;
        // The next rate starts in a bucket of its own.
        m_segmentBucket = m_bucket + 1;
    }
    m_rate = sampleRate;
    m_segmentFrames = 0;
}

void PeakBuilder::close()
{
    if (m_bucket < 0)
        return;
    m_waveform.peaks.push_back({ scaled(m_low), scaled(m_high) });
}

template <typename Sample, typename ToFloat>
void PeakBuilder::addSamples(
    const Sample* samples, qint64 frames, int channels, int sampleRate, ToFloat toFloat)
{
    if (frames <= 0 || channels <= 0 || sampleRate <= 0)
        return;
    if (sampleRate != m_rate)
        startSegment(sampleRate);
    qint64 frame = 0;
    while (frame < frames) {
        const qint64 at = m_segmentFrames + frame;
        const qint64 bucket = m_segmentBucket + at * BucketsPerSecond / m_rate;
        if (bucket != m_bucket) {
            close();
            // A gap (never for decoded audio) stays silent.
            while (qint64(m_waveform.peaks.size()) < bucket)
                m_waveform.peaks.push_back({});
            m_bucket = bucket;
            m_low = std::numeric_limits<float>::max();
            m_high = std::numeric_limits<float>::lowest();
        }
        // Frames up to the end of this bucket or of the buffer, in one tight loop.
        const qint64 bucketEnd
            = ((bucket - m_segmentBucket + 1) * m_rate + BucketsPerSecond - 1) / BucketsPerSecond;
        const qint64 end = std::min(frames, bucketEnd - m_segmentFrames);
        float low = m_low;
        float high = m_high;
        const Sample* p = samples + frame * channels;
        const Sample* stop = samples + end * channels;
        for (; p < stop; ++p) {
            const float v = toFloat(*p);
            low = std::min(low, v);
            high = std::max(high, v);
        }
        m_low = low;
        m_high = high;
        frame = std::max(end, frame + 1);
    }
    m_segmentFrames += frames;
}

void PeakBuilder::addFloat(const float* samples, qint64 frames, int channels, int sampleRate)
{
    addSamples(samples, frames, channels, sampleRate, [](float v) { return v; });
}

void PeakBuilder::add(const QAudioBuffer& buffer)
{
    const QAudioFormat format = buffer.format();
    const qint64 frames = buffer.frameCount();
    const int channels = format.channelCount();
    const int rate = format.sampleRate();
    switch (format.sampleFormat()) {
    case QAudioFormat::UInt8:
        addSamples(buffer.constData<quint8>(), frames, channels, rate,
            [](quint8 v) { return (float(v) - 128.0f) / 128.0f; });
        break;
    case QAudioFormat::Int16:
        addSamples(
            buffer.constData<qint16>(), frames, channels, rate, [](qint16 v) { return float(v) / 32767.0f; });
        break;
    case QAudioFormat::Int32:
        addSamples(buffer.constData<qint32>(), frames, channels, rate,
            [](qint32 v) { return float(double(v) / 2147483648.0); });
        break;
    case QAudioFormat::Float:
        addFloat(buffer.constData<float>(), frames, channels, rate);
        break;
    default:
        break;
    }
}

qint64 PeakBuilder::decodedMs() const
{
    const double seconds = m_decodedSeconds + (m_rate > 0 ? double(m_segmentFrames) / m_rate : 0.0);
    return qint64(std::llround(seconds * 1000));
}

Waveform PeakBuilder::finish()
{
    close();
    m_bucket = -1;
    m_waveform.durationMs = decodedMs();
    m_waveform.peaks.shrink_to_fit();
    Waveform done = std::move(m_waveform);
    *this = PeakBuilder();
    return done;
}
