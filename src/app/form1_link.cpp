#include "form1.h"

#include "link/port_names.h"
#include "link/wire_format.h"
#include "widgets.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>

namespace {

constexpr qint64 RecordPauseNs = 100'000'000; // after every record, the last one included
constexpr int DrainLimitMs = 2000;

const QString SendTitle = QStringLiteral("Kommunikation zum Zündgerät");
const QString MessageTitle = QStringLiteral("Kelto");

} // namespace

void Form1::setupLink()
{
    MSComm1 = new QSerialPort(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    ApplyDeviceLineSettings(*MSComm1);
    connect(MSComm1, &QSerialPort::readyRead, this, &Form1::MSComm1_OnComm);
    // open() reports NoError too; that is no notification of the line.
    connect(MSComm1, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError)
            MSComm1_OnComm();
    });
    for (int i = 0; i < 2; ++i)
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Combo1, &QComboBox::currentTextChanged, this, &Form1::showPortDevice);
    showPortDevice();
}

void Form1::showPortDevice() { Combo1->setToolTip(PortDevice(PortNumber(Combo1->currentText()))); }

void Form1::Command2_Click(int Index)
{
    // The disabled buttons fence a transfer; a call from elsewhere must not start a second one.
    if (MSComm1->isOpen())
        return;
    Command2[0]->setEnabled(false);
    Command2[1]->setEnabled(false);
    if (!openLinkPort())
        return;
    if (Index == 0) {
        Receiving = true;
        Label3->setText(QStringLiteral(
            "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt 'Save' im Edit-Menü starten..."));
        List1->clear();
        ReceiveBuffer.clear();
        Frame2->show();
    } else {
        sendList();
    }
}

bool Form1::openLinkPort()
{
    const int number = PortNumber(Combo1->currentText());
    m_portText = QStringLiteral("COM%1").arg(number);
    m_portDevice = PortDevice(number);
    QString reason;
    if (m_portDevice.isEmpty()) {
        reason = QStringLiteral("Es gibt nur die Schnittstellen COM%1 bis COM%2.")
                     .arg(FirstPortNumber)
                     .arg(LastPortNumber);
    } else {
        MSComm1->setPortName(m_portDevice);
        if (MSComm1->open(QIODevice::ReadWrite)) {
            // Characters that reached the port before this transfer are no part of it: a pseudo-terminal or
            // a USB adapter keeps them while the port is closed, and they would shift the count of a list.
            MSComm1->clear(QSerialPort::Input);
            return true;
        }
        reason = PortErrorText(MSComm1->error(), MSComm1->errorString());
        MSComm1->clearError();
    }
    returnToIdle();
    prompter().message(MessageTitle,
        QStringLiteral("Die Schnittstelle %1 (Gerät: %2) lässt sich nicht öffnen.\nGrund: %3")
            .arg(m_portText, m_portDevice.isEmpty() ? QStringLiteral("keines") : m_portDevice, reason),
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
    return false;
}

void Form1::sendList()
{
    const QPointer<Form1> alive(this);
    const Prompter::Answer answer = prompter().message(SendTitle,
        QStringLiteral(
            "Bitte Empfangsbereitschaft am Zündgerät mit dem Menüpunkt 'Load' im Edit-Menü herstellen..."),
        Prompter::Buttons::OkCancel, Prompter::Answer::Ok, Prompter::Icon::None);
    // The window may be gone, or the port lost (and reported) while the box was up.
    if (!alive || !MSComm1->isOpen())
        return;
    if (answer != Prompter::Answer::Ok) {
        closeLinkPort();
        returnToIdle();
        return;
    }

    // One consistent list: records come from the list as confirmed, whatever is edited or loaded meanwhile.
    const ShotList confirmed = list();
    m_recordsToSend = qMin(List1->count(), EntryCount);
    m_recordsWritten = 0;
    m_sending = true;

    // Each record goes out from a timer, 0.1 s (on a monotonic clock) after the one before. A timer
    // also fires while a box opened meanwhile waits for its answer; a loop that had to return here
    // between records would hold the line up for as long as the box stays open.
    QElapsedTimer clock;
    clock.start();
    qint64 nextRecordAt = 0;
    bool finished = false;
    QEventLoop sending;
    QTimer pacer;
    pacer.setSingleShot(true);
    pacer.setTimerType(Qt::PreciseTimer);
    const auto writeDue = [&] {
        if (!alive || !m_sending) {
            finished = true; // window destroyed, or the port was lost and the user told
            sending.quit();
            return;
        }
        const qint64 waitNs = nextRecordAt - clock.nsecsElapsed();
        if (waitNs > 0) {
            pacer.start(int((waitNs + 999'999) / 1'000'000));
            return;
        }
        if (m_recordsWritten == m_recordsToSend) {
            finished = true; // the pause after the last record is over too
            sending.quit();
            return;
        }
        MSComm1->write(OutgoingRecord(confirmed, m_recordsWritten));
        nextRecordAt = clock.nsecsElapsed() + RecordPauseNs;
        ++m_recordsWritten;
        Label4->setText(QStringLiteral("%1 / %2").arg(m_recordsWritten).arg(List1->count()));
        pacer.start(int(RecordPauseNs / 1'000'000));
    };
    connect(&pacer, &QTimer::timeout, &sending, writeDue);
    connect(this, &QObject::destroyed, &sending, &QEventLoop::quit);
    writeDue();
    if (!finished)
        sending.exec(); // also ends when the application quits: then stop after what was written
    if (!alive || !m_sending)
        return;
    closeLinkPort();
    returnToIdle();
    Label4_Click();
}

void Form1::closeLinkPort()
{
    // close() throws away what is still queued: let the last records reach the line first.
    const QDeadlineTimer limit(DrainLimitMs);
    while (MSComm1->isOpen() && MSComm1->bytesToWrite() > 0 && !limit.hasExpired()
        && MSComm1->waitForBytesWritten(int(limit.remainingTime()))) { }
    if (MSComm1->isOpen())
        MSComm1->close();
    MSComm1->clearError();
}

void Form1::returnToIdle()
{
    Command2[0]->setEnabled(true);
    Command2[1]->setEnabled(true);
    Frame2->hide();
    Receiving = false;
    m_sending = false;
}

// The device went away during a transfer (a USB adapter pulled), or the line failed.
void Form1::linkLost()
{
    const QString reason = LineHungUp(*MSComm1) ? PortErrorText(QSerialPort::ResourceError, QString())
                                                : PortErrorText(MSComm1->error(), MSComm1->errorString());
    const bool wasSending = m_sending;
    const bool wasReceiving = Receiving;
    MSComm1->close();
    MSComm1->clearError();
    returnToIdle();
    QString outcome;
    if (wasSending) {
        outcome = QStringLiteral("Das Senden wurde nach Datensatz %1 von %2 abgebrochen. "
                                 "Das Zündgerät hat die Liste nicht vollständig erhalten.")
                      .arg(m_recordsWritten)
                      .arg(m_recordsToSend);
        Label4_Click();
    } else if (wasReceiving) {
        outcome = QStringLiteral("Der Empfang wurde abgebrochen; die Liste im Editor ist unverändert.");
    } else {
        outcome = QStringLiteral("Es wurde nichts gesendet.");
    }
    prompter().message(MessageTitle,
        QStringLiteral(
            "Die Verbindung über die Schnittstelle %1 (Gerät: %2) ist unterbrochen.\nGrund: %3\n\n%4")
            .arg(m_portText, m_portDevice, reason, outcome),
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Critical);
}

void Form1::Command3_Click()
{
    closeLinkPort();
    returnToIdle();
}

void Form1::MSComm1_OnComm()
{
    if (!MSComm1->isOpen())
        return; // Idle: the port is closed and nothing is read
    const QByteArray waiting = MSComm1->readAll();
    if (Receiving) {
        const ReceiveStep step = AppendReceived(ReceiveBuffer, waiting);
        Label1->setText(ReceiveProgressText(step.count, QLocale()));
        if (step.complete) {
            ParseReceivedList();
            closeLinkPort();
            returnToIdle();
            Label4_Click();
            return;
        }
    }
    // A read error is how a hung-up line shows (and it would repeat at every turn of the event loop).
    switch (MSComm1->error()) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        linkLost();
        break;
    default:
        break;
    }
}

void Form1::ParseReceivedList()
{
    ShotList received = list();
    if (!DecodeReceivedList(ReceiveBuffer, received))
        return;
    if (!m_document->replace(received, QStringLiteral("Liste vom Zündgerät")))
        RefreshLists();
    showReplacedList();
}
