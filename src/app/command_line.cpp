#include "command_line.h"

#include "files/crew_sheet.h"
#include "files/csv_file.h"
#include "files/fsl_file.h"
#include "files/list_file.h"
#include "link/port_names.h"
#include "link/read_back.h"
#include "link/transfer_engine.h"
#include "link/wire_format.h"
#include "shotlist/duplicates.h"
#include "shotlist/list_views.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

enum ExitCode { Success = 0, ListsDiffer = 1, Failure = 2, Interrupted = 130 };

void write(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
void say(const QString& line) { write(stdout, line + QLatin1Char('\n')); }
void complain(const QString& line) { write(stderr, line + QLatin1Char('\n')); }

// Progress that rewrites one line on a terminal; elsewhere only what `always` asks for.
void progress(const QString& text, bool always)
{
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal)
        write(stderr, QLatin1Char('\r') + text);
    else if (always)
        complain(text);
}
void endProgress()
{
    if (::isatty(STDERR_FILENO) == 1)
        write(stderr, QStringLiteral("\n"));
}

// Strg+C (and a plain kill) ends the event loop from a socket notifier, never from inside the handler.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onInterrupt)
    {
        if (::pipe(s_pipe) != 0)
            return;
        for (int fd : s_pipe)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [onInterrupt] {
            char drained[16];
            while (::read(s_pipe[0], drained, sizeof drained) > 0) { }
            onInterrupt();
        });
        struct sigaction action { };
        action.sa_handler = &InterruptWatch::notice;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~InterruptWatch()
    {
        if (!m_notifier)
            return;
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        m_notifier.reset();
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    static void notice(int)
    {
        const char mark = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(s_pipe[1], &mark, 1);
    }
    static inline int s_pipe[2] = { -1, -1 };
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt { };
    struct sigaction m_oldTerm { };
};

const QCommandLineOption PortOption(QStringLiteral("port"),
    QStringLiteral("Schnittstelle zum Zündgerät: COM1 … COM8 oder ein Gerätepfad."), QStringLiteral("PORT"));
const QCommandLineOption CommentOption(QStringLiteral("comment"),
    QStringLiteral("Kommentar der gespeicherten Liste (receive, import)."), QStringLiteral("TEXT"));
const QCommandLineOption ForceOption(
    QStringLiteral("force"), QStringLiteral("Eine vorhandene Datei überschreiben (receive, import)."));
const QCommandLineOption PdfOption(QStringLiteral("pdf"),
    QStringLiteral("Der Schussplan als PDF-Datei (print)."), QStringLiteral("AUS.pdf"));
const QCommandLineOption CsvOption(
    QStringLiteral("csv"), QStringLiteral("Die Tabelle als CSV-Datei (export)."), QStringLiteral("AUS.csv"));
const QCommandLineOption FslOption(
    QStringLiteral("fsl"), QStringLiteral("Die Liste als .fsl-Datei (import)."), QStringLiteral("AUS.fsl"));
const QCommandLineOption TimeoutOption(QStringLiteral("timeout"),
    QStringLiteral("Höchstens so lange auf das Zündgerät warten (receive, verify; ohne: bis Strg+C)."),
    QStringLiteral("SEKUNDEN"));

struct ListFile {
    ShotList list;
    ListMeta meta;
};

// The list of a file as "Datei laden" takes it, or a message why not.
std::optional<ListFile> readListFile(const QString& path)
{
    const ListFileRead read = ReadListFile(path);
    if (!read.ok()) {
        complain(ListReadProblem(read, path));
        return std::nullopt;
    }
    if (!read.skippedLines.isEmpty())
        complain(path + QStringLiteral(": ") + SkippedLinesText(read.skippedLines));
    return ListFile { read.list, read.meta };
}

std::optional<ShotList> readList(const QString& path)
{
    std::optional<ListFile> file = readListFile(path);
    if (!file)
        return std::nullopt;
    return file->list;
}

int check(const QCommandLineParser&, const QString& path)
{
    const std::optional<ShotList> list = readList(path);
    if (!list)
        return Failure;
    for (const QString& line : ComputeStatistics(List1Lines(*list)).text.split(QStringLiteral("\r\n")))
        say(line);
    const QString duplicates = DuplicateText(FindDuplicateCircuits(*list));
    if (!duplicates.isEmpty())
        say(duplicates);
    return Success;
}

// One transfer over the port named by --port, to its end, a failure, the time limit or Strg+C.
class PortRun {
public:
    bool start(const QCommandLineParser& parser)
    {
        if (parser.isSet(TimeoutOption)) {
            bool ok = false;
            const double seconds = parser.value(TimeoutOption).toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 24 * 3600) {
                complain(
                    QStringLiteral("--timeout braucht eine Zahl von Sekunden über 0 (höchstens 86400)."));
                return false;
            }
            m_timeoutMs = qint64(seconds * 1000);
        }
        const QString portText = parser.value(PortOption);
        if (portText.isEmpty()) {
            complain(QStringLiteral("Die Schnittstelle fehlt: --port COM1 … COM8 oder ein Gerätepfad."));
            return false;
        }
        const std::optional<ChosenPort> chosen = ResolvePort(portText);
        if (!chosen) {
            complain(
                QStringLiteral("Unbekannte Schnittstelle %1: es gibt COM%2 bis COM%3 oder einen Gerätepfad.")
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
            complain(PortOpenFailureText(m_port.name, m_port.device, failure->reason));
            return false;
        }
        return true;
    }

    // Runs the event loop until finish() is called; a lost line, Strg+C and the time limit end it too.
    int exec(const QString& interruptedText, const QString& timeoutText)
    {
        QObject::connect(&engine, &TransferEngine::lineLost, &m_loop, [this](const LinkFailure& failure) {
            endProgress();
            complain(LineLostText(m_port.name, m_port.device, failure.reason)
                         .replace(QLatin1Char('\n'), QLatin1Char(' '))
                + QLatin1Char(' ') + lostOutcome(failure));
            finish(Failure);
        });
        InterruptWatch watch([&] {
            engine.close();
            endProgress();
            complain(interruptedText);
            finish(Interrupted);
        });
        QTimer limit;
        if (m_timeoutMs > 0) {
            limit.setSingleShot(true);
            limit.callOnTimeout([&] {
                engine.close();
                endProgress();
                complain(timeoutText.arg(m_timeoutMs / 1000.0).arg(engine.received().size()));
                finish(Failure);
            });
            limit.start(int(m_timeoutMs));
        }
        if (!m_finished)
            m_loop.exec();
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

    TransferEngine engine;

private:
    static QString lostOutcome(const LinkFailure& failure)
    {
        if (failure.during == LinkFailure::During::Sending)
            return QStringLiteral("Das Senden wurde nach Datensatz %1 von %2 abgebrochen. "
                                  "Das Zündgerät hat die Liste nicht vollständig erhalten.")
                .arg(failure.recordsWritten)
                .arg(failure.recordsToSend);
        return QStringLiteral("Der Empfang wurde abgebrochen; es wurde nichts gespeichert.");
    }

    ChosenPort m_port;
    qint64 m_timeoutMs = 0;
    QEventLoop m_loop;
    bool m_finished = false;
    int m_exitCode = Failure;
};

int send(const QCommandLineParser& parser, const QString& path)
{
    PortRun run;
    if (!run.start(parser))
        return Failure;
    const std::optional<ShotList> list = readList(path);
    if (!list || !run.open())
        return Failure;
    QObject::connect(&run.engine, &TransferEngine::recordWritten, [](int written, int total) {
        progress(QStringLiteral("Datensatz %1 / %2").arg(written).arg(total),
            written % 10 == 0 || written == total);
    });
    QObject::connect(&run.engine, &TransferEngine::sendCompleted, [&run] {
        endProgress();
        complain(QStringLiteral("Die Liste ist gesendet."));
        run.finish(Success);
    });
    run.engine.startSend(*list, EntryCount);
    return run.exec(
        QStringLiteral("Abgebrochen mit Strg+C: das Zündgerät hat die Liste nicht vollständig erhalten."),
        QString());
}

const QString SaveInstruction = QStringLiteral(
    "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt 'Save' im Edit-Menü starten...");
const QString ReceiveTimeout
    = QStringLiteral("Zeitüberschreitung: nach %1 s erst %2 von 1530 Zeichen empfangen; nichts gespeichert.");

void showReceiveProgress(PortRun& run)
{
    QObject::connect(&run.engine, &TransferEngine::receiveProgress,
        [](qsizetype count) { progress(ReceiveProgressText(count, QLocale()), false); });
}

int receive(const QCommandLineParser& parser, const QString& path)
{
    PortRun run;
    if (!run.start(parser))
        return Failure;
    const bool force = parser.isSet(ForceOption);
    const QFileInfo target(path);
    if (target.exists() && !force) {
        complain(QStringLiteral("Die Datei %1 gibt es schon; --force überschreibt sie.").arg(path));
        return Failure;
    }
    if (target.isDir()) {
        complain(QStringLiteral("%1 ist ein Ordner.").arg(path));
        return Failure;
    }
    if (!target.absoluteDir().exists()) {
        complain(QStringLiteral("Den Ordner %1 gibt es nicht.")
                     .arg(QDir::toNativeSeparators(target.absolutePath())));
        return Failure;
    }
    if (!run.open())
        return Failure;
    const QString comment = parser.value(CommentOption);
    showReceiveProgress(run);
    QObject::connect(&run.engine, &TransferEngine::receiveCompleted, [&](const QByteArray& received) {
        endProgress();
        ShotList list = ShotList::startup();
        DecodeReceivedList(received, list);
        NormalizeList(list);
        // The file may have come into being while the device was sending.
        if (!force && QFileInfo::exists(path)) {
            complain(
                QStringLiteral("Die Datei %1 gibt es schon; --force überschreibt sie. Nichts gespeichert.")
                    .arg(path));
            run.finish(Failure);
            return;
        }
        QString error;
        ListMeta meta;
        meta.comment = comment;
        if (!WriteListFile(path, list, meta, &error)) {
            complain(QStringLiteral("Die Datei %1 lässt sich nicht speichern: %2").arg(path, error));
            run.finish(Failure);
            return;
        }
        complain(QStringLiteral("Die Liste des Zündgeräts ist in %1 gespeichert.").arg(path));
        run.finish(Success);
    });
    complain(SaveInstruction);
    run.engine.startReceive();
    return run.exec(QStringLiteral("Abgebrochen mit Strg+C; nichts gespeichert."), ReceiveTimeout);
}

int verify(const QCommandLineParser& parser, const QString& path)
{
    PortRun run;
    if (!run.start(parser))
        return Failure;
    const std::optional<ShotList> list = readList(path);
    if (!list || !run.open())
        return Failure;
    showReceiveProgress(run);
    QObject::connect(&run.engine, &TransferEngine::receiveCompleted, [&](const QByteArray& received) {
        endProgress();
        const QList<EntryDifference> differences = CompareWithDevice(*list, received);
        for (const QString& line : ComparisonLines(differences, -1))
            say(line);
        run.finish(differences.isEmpty() ? Success : ListsDiffer);
    });
    complain(SaveInstruction);
    run.engine.startReceive();
    return run.exec(QStringLiteral("Abgebrochen mit Strg+C; nichts verglichen."),
        QStringLiteral(
            "Zeitüberschreitung: nach %1 s erst %2 von 1530 Zeichen empfangen; nichts verglichen."));
}

// The target named by an option, or a message that it is missing.
std::optional<QString> target(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    const QString path = parser.value(option);
    if (path.isEmpty()) {
        complain(
            QStringLiteral("Es fehlt --%1 mit dem Namen der Zieldatei.").arg(option.names().constFirst()));
        return std::nullopt;
    }
    return path;
}

int written(bool ok, const QString& path, const QString& error)
{
    if (ok)
        return Success;
    complain(QStringLiteral("Die Datei %1 lässt sich nicht schreiben: %2").arg(path, error));
    return Failure;
}

int print(const QCommandLineParser& parser, const QString& path)
{
    const std::optional<QString> pdf = target(parser, PdfOption);
    const std::optional<ListFile> file = pdf ? readListFile(path) : std::nullopt;
    if (!file)
        return Failure;
    const CrewSheet sheet = CrewSheetFor(file->list, file->meta, QDateTime::currentDateTime());
    QString error;
    return written(WriteCrewSheetPdf(*pdf, sheet, &error), *pdf, error);
}

int exportCsv(const QCommandLineParser& parser, const QString& path)
{
    const std::optional<QString> csv = target(parser, CsvOption);
    const std::optional<ShotList> list = csv ? readList(path) : std::nullopt;
    if (!list)
        return Failure;
    QString error;
    return written(WriteShotListCsv(*csv, *list, &error), *csv, error);
}

// All or nothing: with any row that cannot be taken, no file is written.
int importCsv(const QCommandLineParser& parser, const QString& path)
{
    const std::optional<QString> fsl = target(parser, FslOption);
    if (!fsl)
        return Failure;
    if (QFileInfo::exists(*fsl) && !parser.isSet(ForceOption)) {
        complain(QStringLiteral("Die Datei %1 gibt es schon; --force überschreibt sie.").arg(*fsl));
        return Failure;
    }
    const CsvImport imported = ReadShotListCsv(path);
    if (!imported.list) {
        complain(QStringLiteral("Die Datei %1 wurde nicht übernommen:").arg(path));
        for (const QString& problem : imported.problems)
            complain(problem);
        return Failure;
    }
    QString error;
    ListMeta meta;
    meta.comment = parser.value(CommentOption);
    if (!WriteListFile(*fsl, *imported.list, meta, &error)) {
        complain(QStringLiteral("Die Datei %1 lässt sich nicht speichern: %2").arg(*fsl, error));
        return Failure;
    }
    return Success;
}

struct Verb {
    QString name;
    QString usage;
    QString summary;
    QList<QCommandLineOption> options;
    int (*run)(const QCommandLineParser&, const QString& file);
    bool paints = false; // draws text, so it needs fonts
};

// Each verb is one entry here and one function.
const QList<Verb>& verbs()
{
    static const QList<Verb> all {
        { QStringLiteral("check"), QStringLiteral("check DATEI"),
            QStringLiteral("Liest die Liste wie \"Datei laden\" und zeigt ihre Statistik."), {}, &check },
        { QStringLiteral("send"), QStringLiteral("send DATEI --port PORT"),
            QStringLiteral("Sendet die Liste wie \"Senden\" (170 Datensätze, je 0,1 s)."), { PortOption },
            &send },
        { QStringLiteral("receive"),
            QStringLiteral("receive DATEI --port PORT [--comment TEXT] [--force] [--timeout SEKUNDEN]"),
            QStringLiteral("Empfängt die Liste des Zündgeräts und speichert sie als .fsl-Datei."),
            { PortOption, CommentOption, ForceOption, TimeoutOption }, &receive },
        { QStringLiteral("verify"), QStringLiteral("verify DATEI --port PORT [--timeout SEKUNDEN]"),
            QStringLiteral("Empfängt die Liste des Zündgeräts und vergleicht sie mit der Datei."),
            { PortOption, TimeoutOption }, &verify },
        { QStringLiteral("print"), QStringLiteral("print DATEI --pdf AUS.pdf"),
            QStringLiteral("Schreibt den Schussplan der Liste als PDF (A4)."), { PdfOption }, &print, true },
        { QStringLiteral("export"), QStringLiteral("export DATEI --csv AUS.csv"),
            QStringLiteral("Schreibt die Liste als CSV-Tabelle (UTF-8, Semikolon)."), { CsvOption },
            &exportCsv },
        { QStringLiteral("import"), QStringLiteral("import EIN.csv --fsl AUS.fsl [--comment TEXT] [--force]"),
            QStringLiteral("Liest eine CSV-Tabelle und speichert sie als .fsl-Datei; alles oder nichts."),
            { FslOption, CommentOption, ForceOption }, &importCsv },
    };
    return all;
}

const Verb* findVerb(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return nullptr;
    for (const Verb& verb : verbs()) {
        if (verb.name == arguments.at(1))
            return &verb;
    }
    return nullptr;
}

QString overview()
{
    QString text = QStringLiteral("Kelto, der Editor für Feuerwerk-Schusslisten.\n\nAufrufe:\n");
    const auto entry = [&text](const QString& usage, const QString& summary) {
        text += QStringLiteral("  kelto %1\n      %2\n").arg(usage, summary);
    };
    entry(QStringLiteral("[DATEI]"),
        QStringLiteral("Das Fenster; eine genannte Liste wird nach dem Start geladen."));
    for (const Verb& verb : verbs())
        entry(verb.usage, verb.summary);
    text += QStringLiteral("\nPORT: COM1 … COM8 (wie im Fenster; KELTO_COMn wählt das Gerät) oder ein "
                           "Gerätepfad wie /dev/ttyUSB0.\n"
                           "Rückgabewert: 0 erfolgreich, 1 die Listen weichen ab (verify), 2 Fehler, 130 mit "
                           "Strg+C abgebrochen.");
    return text;
}

void addCommonOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace

CommandLine CommandLine::fromArguments(const QStringList& arguments)
{
    CommandLine commandLine;
    commandLine.arguments = arguments;
    if (const Verb* verb = findVerb(arguments)) {
        commandLine.window = false;
        commandLine.paints = verb->paints;
        return commandLine;
    }
    QCommandLineParser parser;
    addCommonOptions(parser);
    parser.addPositionalArgument(QStringLiteral("DATEI"), QString(), QStringLiteral("[DATEI]"));
    // Help, the version and anything unexpected are answered without a window.
    if (!parser.parse(arguments) || parser.isSet(QStringLiteral("help"))
        || parser.isSet(QStringLiteral("version")) || parser.positionalArguments().size() > 1) {
        commandLine.window = false;
        return commandLine;
    }
    commandLine.file = parser.positionalArguments().value(0);
    return commandLine;
}

int RunVerb(const CommandLine& commandLine)
{
    QCommandLineParser parser;
    addCommonOptions(parser);
    const Verb* verb = findVerb(commandLine.arguments);
    QStringList arguments = commandLine.arguments;
    if (verb) {
        arguments.removeAt(1);
        parser.setApplicationDescription(verb->summary + QStringLiteral("\n\nAufruf: kelto ") + verb->usage);
        parser.addOptions(verb->options);
        parser.addPositionalArgument(QStringLiteral("DATEI"), QStringLiteral("Die Listendatei (.fsl)."));
    } else {
        parser.setApplicationDescription(overview());
        parser.addOptions(
            { PortOption, CommentOption, ForceOption, TimeoutOption, PdfOption, CsvOption, FslOption });
        parser.addPositionalArgument(
            QStringLiteral("DATEI"), QStringLiteral("Die Listendatei (.fsl)."), QStringLiteral("[DATEI]"));
    }
    if (!parser.parse(arguments)) {
        complain(parser.errorText());
        complain(QStringLiteral("kelto --help zeigt alle Aufrufe."));
        return Failure;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        write(stdout, parser.helpText());
        return Success;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        say(QStringLiteral("kelto %1").arg(QCoreApplication::applicationVersion()));
        return Success;
    }
    if (!verb) {
        complain(QStringLiteral("Das Fenster nimmt höchstens eine Datei; kelto --help zeigt alle Aufrufe."));
        return Failure;
    }
    if (parser.positionalArguments().size() != 1) {
        complain(QStringLiteral("Aufruf: kelto %1").arg(verb->usage));
        return Failure;
    }
    return verb->run(parser, parser.positionalArguments().constFirst());
}
