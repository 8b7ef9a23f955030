#pragma once

#include <QtGlobal>

#include <vector>

class QAudioBuffer;

// One stretch of PeakMs: the lowest and highest sample of all channels, full scale ±32767.
struct Peak {
    qint16 low = 0;
    qint16 high = 0;
};

// The picture of a track: peaks at a fixed resolution, never the samples (10 minutes take 240 KB).
struct Waveform {
    static constexpr int PeakMs = 10;
    std::vector<Peak> peaks; // peaks[i] covers i * PeakMs .. (i + 1) * PeakMs
    qint64 durationMs = 0; // of the decoded audio

    qsizetype bytes() const { return qsizetype(peaks.capacity() * sizeof(Peak)); }
};

// Folds decoded buffers, in order, into peaks as they come; keeps none of them.
class PeakBuilder {
public:
    void add(const QAudioBuffer& buffer);
    // Interleaved float samples in -1..1, for buffers already converted.
    void addFloat(const float* samples, qint64 frames, int channels, int sampleRate);
    qint64 decodedMs() const;
    Waveform finish();

private:
    template <typename Sample, typename ToFloat>
    void addSamples(const Sample* samples, qint64 frames, int channels, int sampleRate, ToFloat toFloat);
    void startSegment(int sampleRate);
    void close();

    Waveform m_waveform;
    int m_rate = 0;
    qint64 m_segmentBucket = 0; // first bucket of the frames at this sample rate
    qint64 m_segmentFrames = 0;
    qint64 m_bucket = -1; // the bucket being filled
    float m_low = 0;
    float m_high = 0;
    double m_decodedSeconds = 0; // of earlier segments
};
