#include "command_line.h"

#include "console.h"
#include "verbs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <utility>

namespace {

const QCommandLineOption& option(Opt which)
{
    static const QCommandLineOption options[] = {
        { QStringLiteral("port"), QString(), QStringLiteral("PORT") },
        { QStringLiteral("comment"), QString(), QStringLiteral("TEXT") },
        { QStringLiteral("force"), QString() },
        { QStringLiteral("verify"), QString() },
        { QStringLiteral("timeout"), QString(), QStringLiteral("SEKUNDEN") },
        { QStringLiteral("pdf"), QString(), QStringLiteral("AUS.pdf") },
        { QStringLiteral("csv"), QString(), QStringLiteral("AUS.csv") },
        { QStringLiteral("fsl"), QString(), QStringLiteral("AUS.fsl") },
        { QStringLiteral("time-column"), QString(), QStringLiteral("NAME") },
        { QStringLiteral("device-column"), QString(), QStringLiteral("NAME") },
        { QStringLiteral("circuit-column"), QString(), QStringLiteral("NAME") },
        { QStringLiteral("effect-column"), QString(), QStringLiteral("NAME") },
        { QStringLiteral("circuits-from"), QString(), QStringLiteral("0|1") },
        { QStringLiteral("without-circuits"), QString() },
    };
    return options[int(which)];
}

const QString PortHelp = QStringLiteral("Schnittstelle zum Zündgerät: COM1 … COM8 (wie im Fenster) oder ein "
                                        "Gerätepfad wie /dev/ttyUSB0; kelto ports zeigt, was vorhanden ist.");
const QString TimeoutHelp
    = QStringLiteral("Höchstens so viele Sekunden (0,1 bis 86400) auf die Liste des Zündgeräts warten; "
                     "ohne: bis Strg+C.");
const QString ForceHelp = QStringLiteral("Eine vorhandene Zieldatei ersetzen (nie die gelesene Datei).");

struct Verb {
    QString name;
    QString usage;
    QString summary;
    QList<std::pair<Opt, QString>> options; // with what each does for this verb
    int files; // positional arguments
    int (*run)(const VerbCall&);
    bool paints = false; // draws text, so it needs fonts

    QList<Opt> taken() const
    {
        QList<Opt> list;
        for (const auto& entry : options)
            list.append(entry.first);
        return list;
    }
};

// Each verb is one entry here and one function.
const QList<Verb>& verbs()
{
    static const QList<Verb> all {
        { QStringLiteral("check"), QStringLiteral("check DATEI"),
            QStringLiteral(
                "Liest die Liste wie \"Datei laden\" und zeigt ihre Statistik, die Einträge mit "
                "Effekt (Nr., Zeit, Zündkreis, Effekt), die vorgemerkten Zündkreise ohne Zeit, "
                "doppelt belegte Zündkreise und, wenn Einträge Effekte haben, die Summen des "
                "Materials (NEM je Klasse, größter Sicherheitsabstand, Schüsse ohne Effektdaten)."),
            {}, 1, &Check },
        { QStringLiteral("material"), QStringLiteral("material DATEI [--csv AUS.csv [--force]]"),
            QStringLiteral("Zeigt das Material der Liste: je Effekt Anzahl, Art, Kaliber, Klasse, NEM und "
                           "Sicherheitsabstand, dann die Summen; mit --csv als Tabelle (UTF-8, Semikolon). "
                           "Den Bestand nimmt es aus dem Effektkatalog des Fensters, wenn es ihn gibt."),
            { { Opt::Csv,
                  QStringLiteral("Die CSV-Datei, die entsteht; ohne: das Material auf der Ausgabe.") },
                { Opt::Force, ForceHelp + QStringLiteral(" Nur mit --csv.") } },
            1, &Material },
        { QStringLiteral("send"),
            QStringLiteral("send DATEI --port PORT [--force] [--verify [--timeout SEKUNDEN]]"),
            QStringLiteral("Sendet die Liste wie \"Senden\" (170 Datensätze, je 0,1 s). Doppelt belegte "
                           "Zündkreise und eine Liste ohne Zündkreis sendet es nur mit --force."),
            { { Opt::Port, PortHelp },
                { Opt::Force,
                    QStringLiteral("Auch doppelt belegte Zündkreise oder eine Liste ohne Zündkreis "
                                   "senden.") },
                { Opt::Verify,
                    QStringLiteral("Danach die Liste des Zündgeräts empfangen ('Save') und mit der Datei "
                                   "vergleichen; Rückgabewert wie bei verify.") },
                { Opt::Timeout, TimeoutHelp + QStringLiteral(" Nur mit --verify.") } },
            1, &Send },
        { QStringLiteral("receive"),
            QStringLiteral("receive DATEI --port PORT [--comment TEXT] [--force] [--timeout SEKUNDEN]"),
            QStringLiteral("Empfängt die Liste des Zündgeräts und speichert sie als .fsl-Datei."),
            { { Opt::Port, PortHelp }, { Opt::Comment, QStringLiteral("Kommentar der gespeicherten Liste.") },
                { Opt::Force, QStringLiteral("Eine vorhandene Datei ersetzen.") },
                { Opt::Timeout, TimeoutHelp } },
            1, &Receive },
        { QStringLiteral("verify"), QStringLiteral("verify DATEI --port PORT [--timeout SEKUNDEN]"),
            QStringLiteral("Empfängt die Liste des Zündgeräts und vergleicht sie mit der Datei."),
            { { Opt::Port, PortHelp }, { Opt::Timeout, TimeoutHelp } }, 1, &Verify },
        { QStringLiteral("ports"), QStringLiteral("ports"),
            QStringLiteral("Zeigt die vorhandenen seriellen Schnittstellen und wofür COM1 … COM8 stehen."),
            {}, 0, &Ports },
        { QStringLiteral("print"), QStringLiteral("print DATEI --pdf AUS.pdf [--force]"),
            QStringLiteral("Schreibt den Schussplan der Liste als PDF (A4)."),
            { { Opt::Pdf, QStringLiteral("Die PDF-Datei, die entsteht.") }, { Opt::Force, ForceHelp } }, 1,
            &Print, true },
        { QStringLiteral("export"), QStringLiteral("export DATEI --csv AUS.csv [--force]"),
            QStringLiteral("Schreibt die Liste als CSV-Tabelle (UTF-8, Semikolon)."),
            { { Opt::Csv, QStringLiteral("Die CSV-Datei, die entsteht.") }, { Opt::Force, ForceHelp } }, 1,
            &ExportCsv },
        { QStringLiteral("import"),
            QStringLiteral("import EIN.csv --fsl AUS.fsl [--time-column NAME] [--device-column NAME] "
                           "[--circuit-column NAME] [--effect-column NAME] [--circuits-from 0|1] "
                           "[--without-circuits] [--comment TEXT] [--force]"),
            QStringLiteral("Liest eine CSV-Tabelle und speichert sie als .fsl-Datei; alles oder nichts."),
            { { Opt::Fsl, QStringLiteral("Die Listendatei, die entsteht.") },
                { Opt::TimeColumn,
                    QStringLiteral("Die Spalte mit der Zündzeit (Name wie in der Kopfzeile).") },
                { Opt::DeviceColumn, QStringLiteral("Die Spalte mit dem Zündgerät.") },
                { Opt::CircuitColumn,
                    QStringLiteral("Die Spalte mit dem Kreis (auch Zündkreise wie „B05“).") },
                { Opt::EffectColumn, QStringLiteral("Die Spalte mit dem Effekt.") },
                { Opt::CircuitsFrom,
                    QStringLiteral("Die Kreise der Datei zählen ab 0 (wie in Kelto) oder ab 1.") },
                { Opt::WithoutCircuits,
                    QStringLiteral("Eine Liste ohne Zündkreise: Zündgerät und Kreis werden nicht gelesen.") },
                { Opt::Comment, QStringLiteral("Kommentar der gespeicherten Liste.") },
                { Opt::Force, ForceHelp } },
            1, &ImportCsv },
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

const QCommandLineOption HelpOption(QStringList { QStringLiteral("h"), QStringLiteral("help") });
const QCommandLineOption VersionOption(QStringList { QStringLiteral("v"), QStringLiteral("version") });

// Words to lines of at most width characters; the lines after the first start at indent.
QString wrapped(const QString& text, int indent, int width = 100)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            lines.append(line);
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines.join(QLatin1Char('\n') + QString(indent, QLatin1Char(' ')));
}

QString overview()
{
    QString text = QStringLiteral("Kelto, der Editor für Feuerwerk-Schusslisten.\n\nAufrufe:\n");
    const auto entry = [&text](const QString& usage, const QString& summary) {
        text += QStringLiteral("  kelto %1\n      %2\n").arg(usage, wrapped(summary, 6));
    };
    entry(QStringLiteral("[DATEI]"),
        QStringLiteral("Das Fenster; eine genannte Liste wird nach dem Start geladen."));
    for (const Verb& verb : verbs())
        entry(verb.usage, verb.summary);
    text += QStringLiteral(
        "\nPORT: COM1 … COM8 (wie im Fenster; KELTO_COMn wählt das Gerät) oder ein Gerätepfad wie "
        "/dev/ttyUSB0.\n"
        "Eine vorhandene Zieldatei ersetzt nur --force; die gelesene Datei wird nie überschrieben.\n"
        "Rückgabewert: 0 erfolgreich, 1 die Listen weichen ab (verify, send --verify), 2 Fehler, 130 mit "
        "Strg+C abgebrochen.\n"
        "kelto VERB --help zeigt die Optionen eines Aufrufs; kelto --version die Version.\n");
    return text;
}

QString verbHelp(const Verb& verb)
{
    QString text = QStringLiteral("Aufruf: kelto %1\n\n%2\n").arg(verb.usage, wrapped(verb.summary, 0));
    QList<std::pair<QString, QString>> rows;
    for (const auto& [which, help] : verb.options) {
        const QCommandLineOption& o = option(which);
        rows.append(
            { OptionName(which) + (o.valueName().isEmpty() ? QString() : QLatin1Char(' ') + o.valueName()),
                help });
    }
    rows.append({ QStringLiteral("-h, --help"), QStringLiteral("Diese Hilfe.") });
    text += QStringLiteral("\nOptionen:\n");
    for (const auto& [name, help] : rows)
        text += QStringLiteral("  %1  %2\n").arg(name, -18).arg(wrapped(help, 22));
    return text;
}

// The parser's own complaints are English: each is told again in German.
QString parseProblem(const QCommandLineParser& parser, const QStringList& arguments, const QString& verbName,
    const QList<Opt>& taken)
{
    const QString call = verbName.isEmpty() ? QStringLiteral("kelto") : QStringLiteral("kelto ") + verbName;
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        QStringList names;
        for (const QString& name : unknown)
            names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        QStringList possible;
        for (Opt which : taken)
            possible.append(OptionName(which));
        possible.append(QStringLiteral("--help"));
        if (verbName.isEmpty())
            possible.append(QStringLiteral("--version"));
        const QString known = QStringLiteral("Möglich: %1.").arg(possible.join(QStringLiteral(", ")));
        return QStringLiteral("%1 kennt %2 %3 nicht. %4")
            .arg(call, names.size() == 1 ? QStringLiteral("die Option") : QStringLiteral("die Optionen"),
                names.join(QStringLiteral(", ")), known);
    }
    for (Opt which : taken) {
        const QString name = option(which).names().constFirst();
        const bool takesValue = !option(which).valueName().isEmpty();
        for (const QString& argument : arguments) {
            const QString word = argument.startsWith(QLatin1String("--")) ? argument.mid(2)
                : argument.startsWith(QLatin1Char('-'))                   ? argument.mid(1)
                                                                          : QString();
            if (takesValue && word == name && argument == arguments.constLast())
                return QStringLiteral("Nach %1 fehlt der Wert.").arg(OptionName(which));
            if (!takesValue && word.startsWith(name + QLatin1Char('=')))
                return QStringLiteral("%1 nimmt keinen Wert.").arg(OptionName(which));
        }
    }
    return QStringLiteral("Der Aufruf lässt sich nicht lesen: %1").arg(parser.errorText());
}

void prepare(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOption(HelpOption);
}

int runWithoutVerb(const QStringList& arguments)
{
    QCommandLineParser parser;
    prepare(parser);
    parser.addOption(VersionOption);
    if (!parser.parse(arguments)) {
        Complain(parseProblem(parser, arguments, QString(), {}));
        Complain(QStringLiteral("kelto --help zeigt alle Aufrufe."));
        return Failure;
    }
    if (parser.isSet(HelpOption)) {
        WriteOut(overview());
        return Success;
    }
    if (parser.isSet(VersionOption)) {
        Say(QStringLiteral("kelto %1").arg(QCoreApplication::applicationVersion()));
        return Success;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1 && !QFileInfo::exists(files.constFirst()))
        Complain(QStringLiteral("„%1“ ist kein Aufruf von kelto; kelto --help zeigt alle.")
                     .arg(files.constFirst()));
    else
        Complain(QStringLiteral("Das Fenster nimmt höchstens eine Datei; kelto --help zeigt alle Aufrufe."));
    return Failure;
}

} // namespace

const QCommandLineOption& OptionFor(Opt which) { return option(which); }

QString OptionName(Opt which) { return QStringLiteral("--") + option(which).names().constFirst(); }

namespace {

// The bytes of an argument as text: what decodes as itself, and every other byte as \xNN.
QString shownBytes(const QByteArray& bytes)
{
    QString shown;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const uchar lead = uchar(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const QByteArray piece = bytes.mid(i, length);
        const QString text = QString::fromLocal8Bit(piece);
        if (piece.size() == length && text.toLocal8Bit() == piece && lead >= 0x20 && lead != 0x7F) {
            shown += text;
            i += length;
        } else {
            shown += QStringLiteral("\\x")
                + QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++i;
        }
    }
    return shown;
}

} // namespace

CommandLine CommandLine::fromArgv(int argc, const char* const* argv)
{
    QStringList arguments;
    QString refusal;
    for (int i = 0; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        const QString text = QString::fromLocal8Bit(bytes);
        arguments.append(text);
        // A name decoded with replacement characters would name another file than the one given.
        if (i > 0 && refusal.isEmpty() && text.toLocal8Bit() != bytes)
            refusal = QStringLiteral("Das Argument „%1“ ist kein gültiger Text in der Zeichenkodierung des "
                                     "Systems; kelto liest und schreibt nur Dateien mit genau dem "
                                     "genannten Namen. Bitte die Datei umbenennen oder einen anderen Namen "
                                     "wählen.")
                          .arg(shownBytes(bytes));
    }
    CommandLine commandLine = fromArguments(arguments);
    if (!refusal.isEmpty()) {
        commandLine.window = false;
        commandLine.paints = false;
        commandLine.refusal = refusal;
    }
    return commandLine;
}

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
    prepare(parser);
    parser.addOption(VersionOption);
    // Help, the version and anything unexpected are answered without a window.
    if (!parser.parse(arguments) || parser.isSet(HelpOption) || parser.isSet(VersionOption)
        || parser.positionalArguments().size() > 1) {
        commandLine.window = false;
        return commandLine;
    }
    commandLine.file = parser.positionalArguments().value(0);
    return commandLine;
}

std::unique_ptr<QCoreApplication> MakeVerbApplication(int& argc, char** argv, const CommandLine& commandLine)
{
    KeepQtMessagesOff();
    std::unique_ptr<QCoreApplication> app;
    if (commandLine.paints) {
        // Fonts without a display: the offscreen platform has them, whatever the desktop would pick.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("kelto"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    return app;
}

int RunVerb(const CommandLine& commandLine)
{
    if (!commandLine.refusal.isEmpty()) {
        Complain(commandLine.refusal);
        return Failure;
    }
    const Verb* verb = findVerb(commandLine.arguments);
    if (!verb)
        return runWithoutVerb(commandLine.arguments);
    QStringList arguments = commandLine.arguments;
    arguments.removeAt(1);
    QCommandLineParser parser;
    prepare(parser);
    const QList<Opt> taken = verb->taken();
    for (Opt which : taken)
        parser.addOption(option(which));
    if (!parser.parse(arguments)) {
        Complain(parseProblem(parser, arguments, verb->name, taken));
        Complain(QStringLiteral("kelto %1 --help zeigt seine Optionen.").arg(verb->name));
        return Failure;
    }
    if (parser.isSet(HelpOption)) {
        WriteOut(verbHelp(*verb));
        return Success;
    }
    for (Opt which : taken) {
        if (parser.values(option(which)).size() > 1) {
            Complain(QStringLiteral("%1 ist mehr als einmal angegeben.").arg(OptionName(which)));
            return Failure;
        }
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != verb->files) {
        Complain(QStringLiteral("Aufruf: kelto %1").arg(verb->usage));
        return Failure;
    }
    return verb->run(VerbCall(parser, taken, files.value(0)));
}
