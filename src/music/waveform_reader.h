#pragma once

#include "waveform.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

class DecodeJob;

// Decodes a music file into its waveform in a thread of its own (QAudioDecoder), so the window stays
// responsive while a long track is read. One read at a time: a new one drops the one in progress.
// Nothing of Qt Multimedia is loaded before the first read.
class WaveformReader : public QObject {
    Q_OBJECT
public:
    explicit WaveformReader(QObject* parent = nullptr);
    ~WaveformReader() override;

    void read(const QString& path);
    void cancel();
    bool isReading() const { return m_job != nullptr; }

signals:
    // How much is read, 0..100; -1 while the length of the track is not known yet.
    void progress(int percent);
    void finished(std::shared_ptr<const Waveform> waveform);
    // Why the file could not be read, in German.
    void failed(const QString& reason);

private:
    friend class DecodeJob;
    void jobProgress(quint64 request, int percent);
    void jobFinished(quint64 request, std::shared_ptr<const Waveform> waveform);
    void jobFailed(quint64 request, const QString& reason);
    void dropJob();

    QThread m_thread;
    QObject* m_inThread = nullptr; // lives in m_thread, for calls into it
    DecodeJob* m_job = nullptr; // lives in m_thread
    quint64 m_request = 0;
};
