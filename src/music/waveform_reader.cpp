#include "waveform_reader.h"

#include "media_backend.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace {

QString decoderReason(QAudioDecoder::Error error)
{
    switch (error) {
    case QAudioDecoder::ResourceError:
        return QStringLiteral("Die Datei lässt sich nicht lesen.");
    case QAudioDecoder::FormatError:
        return QStringLiteral("Diese Datei ist keine Musik, die Kelto lesen kann (WAV, MP3, OGG, FLAC).");
    case QAudioDecoder::AccessDeniedError:
        return QStringLiteral("Kein Zugriff auf die Datei.");
    case QAudioDecoder::NotSupportedError:
        return QStringLiteral(
            "Zum Lesen von Musik fehlen die GStreamer-Pakete (gstreamer1.0-plugins-base und -good).");
    case QAudioDecoder::NoError:
        break;
    }
    return QStringLiteral("Die Datei lässt sich nicht lesen.");
}

} // namespace

// Runs in the reader's thread: the decoder is made there, so its buffers are folded into peaks there.
class DecodeJob : public QObject {
public:
    DecodeJob(WaveformReader* reader, quint64 request, QString path)
        : m_reader(reader)
        , m_request(request)
        , m_path(std::move(path))
    {
    }

    // GStreamer's thread may still be delivering buffers: a decoder dropped while it reads gets
    // calls for a method its half-destroyed object no longer has. Stopping waits for that thread.
    ~DecodeJob() override
    {
        if (!m_decoder)
            return;
        m_decoder->disconnect(this);
        m_decoder->stop();
        delete m_decoder;
    }

    void start()
    {
        m_decoder = new QAudioDecoder(this);
        connect(m_decoder, &QAudioDecoder::bufferReady, this, [this] {
            while (m_decoder->bufferAvailable())
                m_peaks.add(m_decoder->read());
            reportProgress();
        });
        connect(m_decoder, &QAudioDecoder::finished, this, [this] {
            if (m_failed)
                return;
            auto waveform = std::make_shared<const Waveform>(m_peaks.finish());
            if (waveform->peaks.empty())
                return fail(QStringLiteral("In der Datei ist keine Musik zu finden."));
            const quint64 request = m_request;
            WaveformReader* reader = m_reader;
            QMetaObject::invokeMethod(
                reader, [reader, request, waveform] { reader->jobFinished(request, waveform); },
                Qt::QueuedConnection);
        });
        connect(m_decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this,
            [this](QAudioDecoder::Error error) { fail(decoderReason(error)); });
        m_decoder->setSource(QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath()));
        m_decoder->start();
    }

private:
    void reportProgress()
    {
        const qint64 duration = m_decoder->duration();
        const int percent
            = duration > 0 ? int(std::clamp<qint64>(m_peaks.decodedMs() * 100 / duration, 0, 100)) : -1;
        if (percent == m_percent)
            return;
        m_percent = percent;
        const quint64 request = m_request;
        WaveformReader* reader = m_reader;
        QMetaObject::invokeMethod(
            reader, [reader, request, percent] { reader->jobProgress(request, percent); },
            Qt::QueuedConnection);
    }

    void fail(const QString& reason)
    {
        if (m_failed)
            return;
        m_failed = true;
        m_decoder->stop();
        const quint64 request = m_request;
        WaveformReader* reader = m_reader;
        QMetaObject::invokeMethod(
            reader, [reader, request, reason] { reader->jobFailed(request, reason); }, Qt::QueuedConnection);
    }

    WaveformReader* m_reader;
    quint64 m_request;
    QString m_path;
    QAudioDecoder* m_decoder = nullptr;
    PeakBuilder m_peaks;
    int m_percent = -2;
    bool m_failed = false;
};

WaveformReader::WaveformReader(QObject* parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("WaveformReader"));
    m_inThread = new QObject;
    m_inThread->moveToThread(&m_thread);
}

WaveformReader::~WaveformReader()
{
    if (m_thread.isRunning()) {
        // The job and its decoder end in their own thread before it stops.
        DecodeJob* job = std::exchange(m_job, nullptr);
        QMetaObject::invokeMethod(
            m_inThread, [job] { delete job; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_inThread;
}

void WaveformReader::read(const QString& path)
{
    dropJob();
    const quint64 request = ++m_request;
    if (!QFileInfo(path).isFile()) {
        const QString reason = QStringLiteral("Die Datei gibt es nicht.");
        QMetaObject::invokeMethod(
            this, [this, request, reason] { jobFailed(request, reason); }, Qt::QueuedConnection);
        return;
    }
    if (!m_thread.isRunning()) {
        // The backend is made here, on the caller's thread, not by the first decoder in the worker.
        PrepareMediaBackend();
        m_thread.start();
    }
    m_job = new DecodeJob(this, request, path);
    m_job->moveToThread(&m_thread);
    DecodeJob* job = m_job;
    QMetaObject::invokeMethod(
        job, [job] { job->start(); }, Qt::QueuedConnection);
}

void WaveformReader::cancel()
{
    dropJob();
    ++m_request;
}

void WaveformReader::dropJob()
{
    if (DecodeJob* job = std::exchange(m_job, nullptr))
        job->deleteLater();
}

void WaveformReader::jobProgress(quint64 request, int percent)
{
    if (request == m_request && m_job)
        emit progress(percent);
}

void WaveformReader::jobFinished(quint64 request, std::shared_ptr<const Waveform> waveform)
{
    if (request != m_request)
        return;
    dropJob();
    ++m_request; // nothing more from this read
    emit finished(std::move(waveform));
}

void WaveformReader::jobFailed(quint64 request, const QString& reason)
{
    if (request != m_request)
        return;
    dropJob();
    ++m_request;
    emit failed(reason);
}
