#pragma once

#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QSerialPort;

// Why a transfer could not start or did not finish, in words for the user.
struct LinkFailure {
    enum class During { Opening, Waiting, Receiving, Sending };
    During during = During::Opening;
    QString reason;
    int recordsWritten = 0; // of a send cut short
    int recordsToSend = 0;
    qsizetype charactersReceived = 0; // of a receive cut short
};

// Owns the serial port to the firing device and runs one transfer at a time on it: a paced send
// of 8-character records, or the receive of one 1530-character list. Everything happens on the
// thread's event loop, so a box opened meanwhile holds up neither the records nor the characters.
class TransferEngine : public QObject {
    Q_OBJECT
public:
    enum class Phase { Closed, Open, Receiving, Sending };
    // A receive replaces the editor's list, or is compared with it (a read-back check).
    enum class ReceivePurpose { Replace, Check };

    explicit TransferEngine(QObject* parent = nullptr);
    ~TransferEngine() override;

    // Opens the device with the line settings of the firing device. Characters that reached the port
    // before are no part of a transfer: a pseudo-terminal or a USB adapter keeps them while the port
    // is closed, and they would shift the count of a list.
    std::optional<LinkFailure> open(const QString& device);
    void startReceive(ReceivePurpose purpose = ReceivePurpose::Replace);
    // Records 0..records-1 of a copy of the list, each 0.1 s after the one before (monotonic clock);
    // sendCompleted() follows the pause after the last one.
    void startSend(const ShotList& list, int records);
    // Ends whatever runs; what was queued for the line is written out first.
    void close();
    // Stops a send after the record on the line: that record is written out, no other follows, the
    // port is closed and sendAborted() tells how many records the device got. Nothing while no send runs.
    void abortSend();

    Phase phase() const { return m_phase; }
    bool isOpen() const;
    bool isSending() const { return m_phase == Phase::Sending; }
    QSerialPort& port() { return *m_port; }
    // The characters of the current or last receive.
    const QByteArray& received() const { return m_received; }
    // The current or last receive is a check.
    bool isChecking() const { return m_purpose == ReceivePurpose::Check; }
    int recordsWritten() const { return m_recordsWritten; }
    int recordsToSend() const { return m_recordsToSend; }
    // When each record of the last send was handed to the port: ns after the send started (monotonic).
    const QList<qint64>& recordTimesNs() const { return m_recordTimesNs; }

    static constexpr qint64 RecordPauseNs = 100'000'000;

Q_SIGNALS:
    // Every notification of the port during a receive, the completing one too.
    void receiveProgress(qsizetype count);
    // Exactly 1530 characters are in; the port is closed.
    void receiveCompleted(const QByteArray& list);
    void recordWritten(int written, int total);
    // The pause after the last record is over and everything reached the line; the port is closed.
    void sendCompleted();
    // Stopped by abortSend(); the port is closed.
    void sendAborted(int written, int total);
    // The line failed during a transfer; the port is closed.
    void lineLost(const LinkFailure& failure);

private:
    void portNotified();
    void writeDueRecord();
    void loseLine();
    void closePort();

    QSerialPort* m_port = nullptr;
    Phase m_phase = Phase::Closed;
    QByteArray m_received;
    ReceivePurpose m_purpose = ReceivePurpose::Replace;
    ShotList m_sendList = ShotList::startup();
    int m_recordsWritten = 0;
    int m_recordsToSend = 0;
    QList<qint64> m_recordTimesNs;
    QElapsedTimer m_clock;
    qint64 m_nextRecordAtNs = 0;
    QTimer m_pacer;
};

Q_DECLARE_METATYPE(LinkFailure)

// What the device holds after a send was stopped: "Das Senden wurde abgebrochen: das Zündgerät hat N von
// 170 Datensätzen erhalten. ..."
QString SendAbortedText(int written, int total);
// "Die Schnittstelle COM1 (Gerät: /dev/ttyS0) lässt sich nicht öffnen.\nGrund: ..."
QString PortOpenFailureText(const QString& portText, const QString& device, const QString& reason);
// "Die Verbindung über die Schnittstelle ... ist unterbrochen.\nGrund: ..."
QString LineLostText(const QString& portText, const QString& device, const QString& reason);
