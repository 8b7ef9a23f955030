#include "console.h"
#include "policies.h"
#include "verbs.h"

#include "files/list_file.h"
#include "link/port_names.h"
#include "link/read_back.h"
#include "link/transfer_engine.h"
#include "link/wire_format.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <algorithm>

namespace {

const QString SaveInstruction = QStringLiteral(
    "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt 'Save' im Edit-Menü starten...");

// One run over the port named by --port, to its end, a failure, the time limit or Strg+C.
class PortRun {
public:
    // Reads --timeout and --port; says what is wrong with them.
    bool start(const VerbCall& call)
    {
        if (call.isSet(Opt::Timeout)) {
            m_timeoutText = call.value(Opt::Timeout);
            const std::optional<qint64> ms = TimeoutMs(m_timeoutText);
            if (!ms) {
                Complain(TimeoutRefusal(m_timeoutText));
                return false;
            }
            m_timeoutMs = *ms;
        }
        const QString portText = call.value(Opt::Port);
        if (portText.isEmpty()) {
            Complain(QStringLiteral("Die Schnittstelle fehlt: --port COM1 … COM8 oder ein Gerätepfad "
                                    "(kelto ports zeigt, was vorhanden ist)."));
            return false;
        }
        const std::optional<ChosenPort> chosen = ResolvePort(portText);
        if (!chosen) {
            Complain(QStringLiteral("Unbekannte Schnittstelle %1: es gibt COM%2 bis COM%3 oder einen "
                                    "Gerätepfad (kelto ports zeigt, was vorhanden ist).")
                         .arg(portText)
                         .arg(FirstPortNumber)
                         .arg(LastPortNumber));
            return false;
        }
        m_port = *chosen;
        return true;
    }

    bool open()
    {
        if (const std::optional<LinkFailure> failure = engine.open(m_port.device)) {
            Complain(PortOpenFailureText(m_port.name, m_port.device, failure->reason)
                         .replace(QLatin1Char('\n'), QLatin1Char(' ')));
            return false;
        }
        return true;
    }

    // "COM1 (Gerät: /dev/ttyS0)", or the path alone.
    QString portShown() const
    {
        return m_port.name == m_port.device
            ? m_port.device
            : QStringLiteral("%1 (Gerät: %2)").arg(m_port.name, m_port.device);
    }

    // The time limit of a wait for the device's list counts from here; text takes the limit and the
    // count of characters received.
    void startTimeLimit(const QString& text)
    {
        if (m_timeoutMs <= 0)
            return;
        m_limit.setSingleShot(true);
        m_limit.callOnTimeout([this, text] {
            engine.close();
            EndProgress();
            Complain(text.arg(m_timeoutText).arg(engine.received().size()));
            finish(Failure);
        });
        m_limit.start(int(m_timeoutMs));
    }

    void setInterruptText(const QString& text) { m_interruptText = text; }
    // What a receive cut short leaves undone: "nichts gespeichert.", "nichts verglichen."
    void setReceiveOutcome(const QString& text) { m_receiveOutcome = text; }

    // Runs the event loop until finish(); a lost line and Strg+C end it too.
    int exec()
    {
        QObject::connect(&engine, &TransferEngine::lineLost, &m_loop, [this](const LinkFailure& failure) {
            EndProgress();
            Complain(LineLostText(m_port.name, m_port.device, failure.reason)
                         .replace(QLatin1Char('\n'), QLatin1Char(' '))
                + QLatin1Char(' ') + lostOutcome(failure));
            finish(Failure);
        });
        InterruptWatch watch([this] {
            if (engine.isSending()) {
                // The record on the line is written out; what the device then holds is said.
                engine.abortSend();
                EndProgress();
                Complain(SendAbortedText(engine.recordsWritten(), engine.recordsToSend()));
                finish(Interrupted);
                return;
            }
            engine.close();
            EndProgress();
            Complain(m_interruptText);
            finish(Interrupted);
        });
        if (!m_finished)
            m_loop.exec();
        m_limit.stop();
        return m_exitCode;
    }

    void finish(int exitCode)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_exitCode = exitCode;
        m_loop.quit();
    }

    void showReceiveProgress()
    {
        QObject::connect(&engine, &TransferEngine::receiveProgress,
            [](qsizetype count) { Progress(ReceiveProgressText(count, QLocale()), false); });
    }

    TransferEngine engine;

private:
    QString lostOutcome(const LinkFailure& failure) const
    {
        if (failure.during == LinkFailure::During::Sending)
            return QStringLiteral("Das Senden wurde nach Datensatz %1 von %2 abgebrochen. "
                                  "Das Zündgerät hat die Liste nicht vollständig erhalten.")
                .arg(failure.recordsWritten)
                .arg(failure.recordsToSend);
        return QStringLiteral("Der Empfang wurde abgebrochen; %1").arg(m_receiveOutcome);
    }

    ChosenPort m_port;
    qint64 m_timeoutMs = 0;
    QString m_timeoutText;
    QString m_interruptText;
    QString m_receiveOutcome = QStringLiteral("nichts verglichen.");
    QTimer m_limit;
    QEventLoop m_loop;
    bool m_finished = false;
    int m_exitCode = Failure;
};

// The report of a comparison, naming the file; exit 0 when equal, 1 when not.
int reportComparison(const ShotList& list, const QString& file, const QByteArray& received)
{
    const QList<EntryDifference> differences = CompareWithDevice(list, received);
    for (const QString& line : ComparisonLines(differences, -1, { file, QStringLiteral("Datei") }))
        Say(line);
    return differences.isEmpty() ? Success : ListsDiffer;
}

QString comparisonTimeout()
{
    return QStringLiteral(
        "Zeitüberschreitung: nach %1 s erst %2 von 1530 Zeichen empfangen; nichts verglichen.");
}

} // namespace

int Send(const VerbCall& call)
{
    const bool verify = call.isSet(Opt::Verify);
    if (call.isSet(Opt::Timeout) && !verify) {
        Complain(QStringLiteral("--timeout gilt nur mit --verify: Es begrenzt das Warten auf die Liste des "
                                "Zündgeräts."));
        return Failure;
    }
    PortRun run;
    if (!run.start(call))
        return Failure;
    const std::optional<ListOfFile> file = ReadListOrSay(call.file());
    if (!file)
        return Failure;
    if (!call.isSet(Opt::Force)) {
        if (const QString refusal = SendRefusal(file->list, call.file()); !refusal.isEmpty()) {
            Complain(refusal);
            return Failure;
        }
    }
    if (!run.open())
        return Failure;
    QObject::connect(&run.engine, &TransferEngine::recordWritten, [](int written, int total) {
        Progress(QStringLiteral("Datensatz %1 / %2").arg(written).arg(total),
            written % 10 == 0 || written == total);
    });
    QObject::connect(&run.engine, &TransferEngine::sendCompleted, [&] {
        EndProgress();
        Complain(QStringLiteral("Die Liste ist gesendet: %1 Datensätze über %2.")
                     .arg(run.engine.recordsWritten())
                     .arg(run.portShown()));
        if (!verify) {
            Complain(QStringLiteral("Das Zündgerät bestätigt nichts; ob die Liste angekommen ist, zeigt "
                                    "kelto verify oder kelto send --verify."));
            run.finish(Success);
            return;
        }
        if (!run.open()) {
            run.finish(Failure);
            return;
        }
        run.setInterruptText(
            QStringLiteral("Abgebrochen mit Strg+C; die Liste ist gesendet, aber nicht verglichen."));
        Complain(QStringLiteral("Jetzt am Zündgerät 'Save' wählen (Edit-Menü): Seine Liste wird dann mit %1 "
                                "verglichen.")
                     .arg(call.file()));
        run.startTimeLimit(comparisonTimeout());
        run.engine.startReceive();
    });
    run.showReceiveProgress();
    QObject::connect(&run.engine, &TransferEngine::receiveCompleted, [&](const QByteArray& received) {
        EndProgress();
        run.finish(reportComparison(file->list, call.file(), received));
    });
    run.engine.startSend(file->list, EntryCount);
    return run.exec();
}

int Receive(const VerbCall& call)
{
    PortRun run;
    if (!run.start(call))
        return Failure;
    const OutputTarget target { call.file(), {}, call.isSet(Opt::Force) };
    if (const QString refusal = OutputRefusal(target); !refusal.isEmpty()) {
        Complain(refusal);
        return Failure;
    }
    const std::optional<ListMeta> commented = MetaWithCommentOrSay(call);
    if (!commented)
        return Failure;
    const ListMeta& meta = *commented;
    if (!run.open())
        return Failure;
    run.showReceiveProgress();
    QObject::connect(&run.engine, &TransferEngine::receiveCompleted, [&](const QByteArray& received) {
        EndProgress();
        const std::optional<ShotList> list = ReceivedList(received);
        if (!list) {
            Complain(QStringLiteral("Die Liste des Zündgeräts ist unvollständig; nichts gespeichert."));
            run.finish(Failure);
            return;
        }
        // The file may have come into being while the device was sending: the rule is checked again.
        const int code = WriteOutput(
            target, [&](QString* error) { return WriteListFile(target.path, *list, meta, error); });
        if (code == Success)
            Complain(QStringLiteral("Die Liste des Zündgeräts ist in %1 gespeichert.").arg(target.path));
        run.finish(code);
    });
    run.setInterruptText(QStringLiteral("Abgebrochen mit Strg+C; nichts gespeichert."));
    run.setReceiveOutcome(QStringLiteral("es wurde nichts gespeichert."));
    Complain(SaveInstruction);
    run.startTimeLimit(QStringLiteral(
        "Zeitüberschreitung: nach %1 s erst %2 von 1530 Zeichen empfangen; nichts gespeichert."));
    run.engine.startReceive();
    return run.exec();
}

int Verify(const VerbCall& call)
{
    PortRun run;
    if (!run.start(call))
        return Failure;
    const std::optional<ListOfFile> file = ReadListOrSay(call.file());
    if (!file || !run.open())
        return Failure;
    run.showReceiveProgress();
    QObject::connect(&run.engine, &TransferEngine::receiveCompleted, [&](const QByteArray& received) {
        EndProgress();
        run.finish(reportComparison(file->list, call.file(), received));
    });
    run.setInterruptText(QStringLiteral("Abgebrochen mit Strg+C; nichts verglichen."));
    Complain(SaveInstruction);
    run.startTimeLimit(comparisonTimeout());
    run.engine.startReceive();
    return run.exec();
}

int Ports(const VerbCall&)
{
    const QList<PresentPort> present = PresentPorts();
    Say(present.isEmpty() ? QStringLiteral("Vorhandene serielle Schnittstellen: keine")
                          : QStringLiteral("Vorhandene serielle Schnittstellen:"));
    for (const PresentPort& port : present) {
        QStringList details;
        if (!port.manufacturer.isEmpty())
            details.append(QStringLiteral("Hersteller: ") + port.manufacturer);
        if (!port.serialNumber.isEmpty())
            details.append(QStringLiteral("Seriennummer: ") + port.serialNumber);
        Say(QStringLiteral("  ") + port.device
            + (port.description.isEmpty() ? QString() : QStringLiteral(" – ") + port.description)
            + (details.isEmpty()
                    ? QString()
                    : QStringLiteral(" (") + details.join(QStringLiteral(", ")) + QLatin1Char(')')));
    }
    Say(QStringLiteral("COM%1 … COM%2 stehen für:").arg(FirstPortNumber).arg(LastPortNumber));
    for (int n = FirstPortNumber; n <= LastPortNumber; ++n) {
        const QString device = PortDevice(n);
        const QString variable = QStringLiteral("KELTO_COM%1").arg(n);
        const bool listed = std::any_of(present.cbegin(), present.cend(),
            [&](const PresentPort& port) { return SameDevice(port.device, device); });
        const QString state = listed ? QStringLiteral("vorhanden")
            : QFileInfo::exists(device)
            ? QStringLiteral("Gerätedatei vorhanden, vom System nicht als serielle Schnittstelle gemeldet")
            : QStringLiteral("nicht vorhanden");
        Say(QStringLiteral("  COM%1  %2%3, %4")
                .arg(n)
                .arg(device,
                    qEnvironmentVariableIsEmpty(qPrintable(variable))
                        ? QString()
                        : QStringLiteral(" (aus %1)").arg(variable),
                    state));
    }
    return Success;
}
