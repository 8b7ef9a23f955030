#include "transfer_engine.h"

#include "port_names.h"
#include "wire_format.h"

#include <QDeadlineTimer>
#include <QSerialPort>

namespace {

constexpr int DrainLimitMs = 2000;

} // namespace

TransferEngine::TransferEngine(QObject* parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
{
    ApplyDeviceLineSettings(*m_port);
    connect(m_port, &QSerialPort::readyRead, this, &TransferEngine::portNotified);
    // open() reports NoError too; that is no notification of the line.
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError)
            portNotified();
    });
    m_pacer.setSingleShot(true);
    m_pacer.setTimerType(Qt::PreciseTimer);
    connect(&m_pacer, &QTimer::timeout, this, &TransferEngine::writeDueRecord);
}

TransferEngine::~TransferEngine()
{
    m_pacer.stop();
    // No signal from here: whoever listens may be half destroyed.
    const QSignalBlocker quiet(this);
    closePort();
}

bool TransferEngine::isOpen() const { return m_port->isOpen(); }

std::optional<LinkFailure> TransferEngine::open(const QString& device)
{
    if (m_port->isOpen())
        return LinkFailure { LinkFailure::During::Opening, PortErrorText(QSerialPort::OpenError, QString()) };
    m_port->setPortName(device);
    if (!m_port->open(QIODevice::ReadWrite)) {
        LinkFailure failure { LinkFailure::During::Opening,
            PortErrorText(m_port->error(), m_port->errorString()) };
        m_port->clearError();
        return failure;
    }
    m_port->clear(QSerialPort::Input);
    m_phase = Phase::Open;
    m_received.clear();
    return std::nullopt;
}

void TransferEngine::startReceive(ReceivePurpose purpose)
{
    if (m_phase != Phase::Open)
        return;
    m_purpose = purpose;
    m_received.clear();
    m_phase = Phase::Receiving;
}

void TransferEngine::startSend(const ShotList& list, int records)
{
    if (m_phase != Phase::Open)
        return;
    m_sendList = list;
    m_recordsToSend = qBound(0, records, EntryCount);
    m_recordsWritten = 0;
    m_recordTimesNs.clear();
    m_phase = Phase::Sending;
    m_clock.start();
    m_nextRecordAtNs = 0;
    writeDueRecord();
}

void TransferEngine::writeDueRecord()
{
    if (m_phase != Phase::Sending)
        return;
    const qint64 waitNs = m_nextRecordAtNs - m_clock.nsecsElapsed();
    if (waitNs > 0) {
        m_pacer.start(int((waitNs + 999'999) / 1'000'000));
        return;
    }
    if (m_recordsWritten == m_recordsToSend) {
        // The pause after the last record is over too.
        closePort();
        Q_EMIT sendCompleted();
        return;
    }
    m_port->write(OutgoingRecord(m_sendList, m_recordsWritten));
    const qint64 now = m_clock.nsecsElapsed();
    m_recordTimesNs.append(now);
    m_nextRecordAtNs = now + RecordPauseNs;
    ++m_recordsWritten;
    m_pacer.start(int(RecordPauseNs / 1'000'000));
    Q_EMIT recordWritten(m_recordsWritten, m_recordsToSend);
}

void TransferEngine::portNotified()
{
    if (!m_port->isOpen() || m_phase == Phase::Closed)
        return; // closed, or closing: nothing is read
    const QByteArray waiting = m_port->readAll();
    if (m_phase == Phase::Receiving) {
        const ReceiveStep step = AppendReceived(m_received, waiting);
        Q_EMIT receiveProgress(step.count);
        if (step.complete && m_phase == Phase::Receiving) {
            closePort();
            Q_EMIT receiveCompleted(m_received);
            return;
        }
    }
    if (!m_port->isOpen())
        return;
    // A read error is how a hung-up line shows (and it would repeat at every turn of the event loop).
    switch (m_port->error()) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        loseLine();
        break;
    default:
        break;
    }
}

void TransferEngine::loseLine()
{
    LinkFailure failure;
    failure.reason = LineHungUp(*m_port) ? PortErrorText(QSerialPort::ResourceError, QString())
                                         : PortErrorText(m_port->error(), m_port->errorString());
    failure.during = m_phase == Phase::Sending ? LinkFailure::During::Sending
        : m_phase == Phase::Receiving          ? LinkFailure::During::Receiving
                                               : LinkFailure::During::Waiting;
    failure.recordsWritten = m_recordsWritten;
    failure.recordsToSend = m_recordsToSend;
    failure.charactersReceived = m_received.size();
    m_pacer.stop();
    // Nothing more reaches a lost line: close without draining.
    m_port->close();
    m_port->clearError();
    m_phase = Phase::Closed;
    Q_EMIT lineLost(failure);
}

void TransferEngine::close() { closePort(); }

void TransferEngine::abortSend()
{
    if (m_phase != Phase::Sending)
        return;
    closePort();
    Q_EMIT sendAborted(m_recordsWritten, m_recordsToSend);
}

QString SendAbortedText(int written, int total)
{
    return QStringLiteral("Das Senden wurde abgebrochen: das Zündgerät hat %1 von %2 Datensätzen erhalten. "
                          "Seine Liste ist unvollständig – senden Sie die Liste erneut, bevor gezündet wird.")
        .arg(written)
        .arg(total);
}

void TransferEngine::closePort()
{
    m_pacer.stop();
    m_phase = Phase::Closed;
    // close() throws away what is still queued: let the last records reach the line first.
    const QDeadlineTimer limit(DrainLimitMs);
    while (m_port->isOpen() && m_port->bytesToWrite() > 0 && !limit.hasExpired()
        && m_port->waitForBytesWritten(int(limit.remainingTime()))) { }
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

namespace {

// "COM1 (Gerät: /dev/ttyS0)"; a port chosen by its device is named once.
QString portNamed(const QString& portText, const QString& device)
{
    if (device == portText || portText.startsWith(device + QLatin1Char(' ')))
        return portText;
    return QStringLiteral("%1 (Gerät: %2)")
        .arg(portText, device.isEmpty() ? QStringLiteral("keines") : device);
}

} // namespace

QString PortOpenFailureText(const QString& portText, const QString& device, const QString& reason)
{
    return QStringLiteral("Die Schnittstelle %1 lässt sich nicht öffnen.\nGrund: %2")
        .arg(portNamed(portText, device), reason);
}

QString LineLostText(const QString& portText, const QString& device, const QString& reason)
{
    return QStringLiteral("Die Verbindung über die Schnittstelle %1 ist unterbrochen.\nGrund: %2")
        .arg(portNamed(portText, device), reason);
}
