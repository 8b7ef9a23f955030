#include "form1.h"

#include "link/port_names.h"
#include "link/read_back.h"
#include "link/transfer_engine.h"
#include "link/wire_format.h"
#include "shotlist/duplicates.h"
#include "widgets.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

namespace {

const QString SendTitle = QStringLiteral("Kommunikation zum Zündgerät");
const QString MessageTitle = QStringLiteral("Kelto");
const QString ReceiveFrameTitle = QStringLiteral("Datenempfang vom Zündgerät über serielle Schnittstelle");

} // namespace

void Form1::setupLink()
{
    MSComm1 = new TransferEngine(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1, &TransferEngine::receiveProgress, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &TransferEngine::receiveCompleted, this, &Form1::endReceive);
    connect(MSComm1, &TransferEngine::recordWritten, this,
        [this](int written) { Label4->setText(QStringLiteral("%1 / %2").arg(written).arg(List1->count())); });
    connect(MSComm1, &TransferEngine::lineLost, this, &Form1::linkLost);
    for (int i = 0; i < int(Command2.size()); ++i)
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::showPortDevice);
    connect(Combo1, &PortBox::popupAboutToShow, this, &Form1::refreshPortBox);
    refreshPortBox();
}

void Form1::showPortDevice() { Combo1->setToolTip(ChoiceDevice(Combo1->currentChoice())); }

// An adapter plugged in since the box last opened appears, one pulled out goes.
void Form1::refreshPortBox()
{
    Combo1->setChoices(PortChoices(PresentPorts()));
    showPortDevice();
}

bool Form1::Receiving() const { return MSComm1->phase() == TransferEngine::Phase::Receiving; }

const QByteArray& Form1::ReceiveBuffer() const { return MSComm1->received(); }

// Index 0 "Empfang", 1 "Senden", 2 "Prüfen" (a receive that compares instead of replacing).
void Form1::Command2_Click(int Index)
{
    // The disabled buttons fence a transfer; a call from elsewhere must not start a second one.
    if (MSComm1->isOpen())
        return;
    // A receive replaces the list: unsaved work is not given up unasked.
    if (Index == 0 && !ConfirmReplace())
        return;
    setTransferButtonsEnabled(false);
    if (!openLinkPort())
        return;
    if (Index == 1) {
        sendList();
        return;
    }
    MSComm1->startReceive(
        Index == 2 ? TransferEngine::ReceivePurpose::Check : TransferEngine::ReceivePurpose::Replace);
    Label2->setText(ReceiveFrameTitle);
    Label3->setText(QStringLiteral(
        "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt 'Save' im Edit-Menü starten..."));
    if (!MSComm1->isChecking())
        List1->clear();
    Frame2->show();
}

bool Form1::openLinkPort()
{
    const PortChoice choice = Combo1->currentChoice();
    m_portText = choice.number > 0 ? choice.text : choice.device;
    m_portDevice = ChoiceDevice(choice);
    QString reason;
    if (m_portDevice.isEmpty()) {
        reason = QStringLiteral("Es gibt nur die Schnittstellen COM%1 bis COM%2.")
                     .arg(FirstPortNumber)
                     .arg(LastPortNumber);
    } else {
        const std::optional<LinkFailure> failure = MSComm1->open(m_portDevice);
        if (!failure)
            return true;
        reason = failure->reason;
    }
    returnToIdle();
    prompter().message(MessageTitle, PortOpenFailureText(m_portText, m_portDevice, reason),
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
    return false;
}

void Form1::sendList()
{
    const QPointer<Form1> alive(this);
    // What would wipe the device or fire a circuit twice is asked first; only then is the device made
    // ready. The window may be gone, or the port lost (and reported), while a box is up.
    const auto askFirst = [&](const QString& text, const QString& details) {
        const Prompter::Answer anyway
            = prompter().messageWithDetails(SendTitle, text + QStringLiteral("\n\nTrotzdem senden?"), details,
                Prompter::Buttons::YesNo, Prompter::Answer::No, Prompter::Icon::Warning);
        if (!alive || !MSComm1->isOpen())
            return false;
        if (anyway != Prompter::Answer::Yes) {
            MSComm1->close();
            returnToIdle();
            return false;
        }
        return true;
    };
    if (FiresNoCircuit(list())
        && !askFirst(QStringLiteral("Die Liste im Editor enthält keinen Schuss mit Zündkreis. Das Senden "
                                    "ersetzt die Liste im Zündgerät."),
            QString()))
        return;
    const QStringList doubles = DuplicateGroupLines(FindDuplicateCircuits(list()));
    if (!doubles.isEmpty()) {
        const BoxReport report = ListedReport(QStringLiteral("Doppelt belegt:\n"), doubles);
        if (!askFirst(report.text, report.details))
            return;
    }
    const Prompter::Answer answer = prompter().message(SendTitle,
        QStringLiteral(
            "Bitte Empfangsbereitschaft am Zündgerät mit dem Menüpunkt 'Load' im Edit-Menü herstellen..."),
        Prompter::Buttons::OkCancel, Prompter::Answer::Ok, Prompter::Icon::None);
    if (!alive || !MSComm1->isOpen())
        return;
    if (answer != Prompter::Answer::Ok) {
        MSComm1->close();
        returnToIdle();
        return;
    }

    // The engine sends from its own copy, the list as confirmed; the window waits here, responsive,
    // until the last pause is over, the line is lost or the application quits.
    bool completed = false;
    bool aborted = false;
    QEventLoop sending;
    connect(MSComm1, &TransferEngine::sendCompleted, &sending, [&] {
        completed = true;
        sending.quit();
    });
    connect(MSComm1, &TransferEngine::sendAborted, &sending, [&] {
        aborted = true;
        sending.quit();
    });
    connect(MSComm1, &TransferEngine::lineLost, &sending, &QEventLoop::quit);
    connect(MSComm1, &QObject::destroyed, &sending, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &sending, &QEventLoop::quit);
    MSComm1->startSend(list(), qMin(List1->count(), EntryCount));
    if (MSComm1->isSending()) {
        // "Abbruch" stops the send after the record on the line.
        Label2->setText(QStringLiteral("Senden an das Zündgerät über serielle Schnittstelle"));
        Label3->setText(QStringLiteral(
            "Die Liste wird gesendet; \"Abbruch\" hält das Senden nach dem laufenden Datensatz an."));
        Frame2->show();
        sending.exec();
    }
    if (!alive)
        return;
    if (aborted) {
        returnToIdle();
        Label4_Click();
        prompter().message(SendTitle, SendAbortedText(MSComm1->recordsWritten(), MSComm1->recordsToSend()),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    if (!completed && !MSComm1->isSending())
        return; // the line was lost and the user told
    MSComm1->close(); // stops a send that quitting the application cut short
    returnToIdle();
    Label4_Click();
    if (!completed)
        return;
    // Nothing on the wire acknowledges a send: only reading the list back shows that it arrived.
    const int records = MSComm1->recordsWritten();
    const QString sent
        = records == 1 ? QStringLiteral("1 Datensatz") : QStringLiteral("%1 Datensätze").arg(records);
    const Prompter::Answer check = prompter().message(SendTitle,
        QStringLiteral("Die Liste ist gesendet (%1).\n\nJetzt mit der Liste im Zündgerät vergleichen?")
            .arg(sent),
        Prompter::Buttons::YesNo, Prompter::Answer::Yes, Prompter::Icon::Information);
    if (alive && check == Prompter::Answer::Yes)
        Command2_Click(2);
}

void Form1::setTransferButtonsEnabled(bool enabled)
{
    for (QPushButton* button : Command2)
        button->setEnabled(enabled);
}

void Form1::returnToIdle()
{
    setTransferButtonsEnabled(true);
    Frame2->hide();
}

// The device went away during a transfer (a USB adapter pulled), or the line failed.
void Form1::linkLost(const LinkFailure& failure)
{
    returnToIdle();
    QString outcome;
    if (failure.during == LinkFailure::During::Sending) {
        outcome = QStringLiteral("Das Senden wurde nach Datensatz %1 von %2 abgebrochen. "
                                 "Das Zündgerät hat die Liste nicht vollständig erhalten.")
                      .arg(failure.recordsWritten)
                      .arg(failure.recordsToSend);
        Label4_Click();
    } else if (failure.during == LinkFailure::During::Receiving) {
        outcome = QStringLiteral("Der Empfang wurde abgebrochen; die Liste im Editor ist unverändert.");
        RefreshLists();
    } else {
        outcome = QStringLiteral("Es wurde nichts gesendet.");
    }
    prompter().message(MessageTitle,
        LineLostText(m_portText, m_portDevice, failure.reason) + QStringLiteral("\n\n") + outcome,
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Critical);
}

void Form1::Command3_Click()
{
    if (MSComm1->isSending()) {
        MSComm1->abortSend(); // the send itself reports
        return;
    }
    MSComm1->close();
    returnToIdle();
    RefreshLists();
}

// Shows the progress of a receive after every notification of the port.
void Form1::MSComm1_OnComm()
{
    if (!Receiving())
        return;
    Label1->setText(ReceiveProgressText(ReceiveBuffer().size(), QLocale()));
}

// 1530 characters are in and the port is closed.
void Form1::endReceive()
{
    if (!MSComm1->isChecking()) {
        ParseReceivedList();
        returnToIdle();
        Label4_Click();
        return;
    }
    returnToIdle();
    // The editor's list stays; its lines and header come back.
    RefreshLists();
    const QList<EntryDifference> differences = CompareWithDevice(list(), ReceiveBuffer());
    const QStringList lines = ComparisonLines(differences, -1);
    const BoxReport report = differences.isEmpty()
        ? BoxReport { lines.constFirst(), QString() }
        : ListedReport(lines.constFirst() + QLatin1Char('\n'), lines.mid(1));
    prompter().messageWithDetails(ComparisonTitle, report.text, report.details, Prompter::Buttons::Ok,
        Prompter::Answer::Ok, differences.isEmpty() ? Prompter::Icon::Information : Prompter::Icon::Warning);
}

void Form1::ParseReceivedList()
{
    const std::optional<ShotList> received = ReceivedList(ReceiveBuffer());
    if (!received)
        return;
    // A list from the device is a new list: no file, no comment, no effects, no music.
    const quint64 before = m_document->revision();
    m_document->replace(
        before, *received, ListMeta(), QStringLiteral("Liste vom Zündgerät"), ListDocument::Saved::Yes);
    if (m_document->revision() == before)
        RefreshLists();
    showReplacedList();
}
