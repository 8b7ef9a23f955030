#include "cli/command_line.h"
#include "device_sim.h"
#include "fsl_fixtures.h"
#include "pdf_text.h"
#include "pty_pair.h"
#include "test_main.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace {

const QByteArray DeviceEntries = "0000 00\n001C 2C\n005A 23\n";
const QByteArray DeviceFileEntries = FslEntries({ "0000 00", "001C 2C", "005A 23" });
const QByteArray DeviceStats
    = "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 3\r\nZeitdauer : 00:01:30\r\nnoch frei: 167\r\n";
const QByteArray ListBytes = FslHead("Liste", DeviceStats) + DeviceFileEntries;

// Three effects: one of class F2, one of F3 whose name needs quoting in a table, one without data.
const QByteArray MaterialListBytes = FslHead("Show") + DeviceFileEntries
    + "[Kelto]\r\nEffekt 001=Vulkan\r\nEffekt 002=Bombe 100; \"Gold\"\r\nEffekt 003=Kometen\r\n"
      "Effektdaten 001=Vulkan;Vulkan;;;;15;20;120.0;F2\r\n"
      "Effektdaten 002=Bombe 100; \"Gold\";Bombe;100;3.2;4;100;50;1114.5;F3\r\n";
const QString MaterialTotals
    = "Material: 3 Stück, 3 Effekte\n"
      "NEM gesamt: 1.234,5 g (F2 120,0 g · F3 1.114,5 g) – unvollständig: 1 Schuss ohne NEM-Angabe\n"
      "größter Sicherheitsabstand: 50 m\ngrößte Steighöhe: 100 m\nohne Effektdaten: „Kometen“ (Nr. 3)\n";

QString writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
    return QFileInfo(file).absoluteFilePath();
}

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 170 entries, one second apart, on circuits A00 .. F09.
QByteArray fullListBytes()
{
    QByteArrayList entries;
    for (int slot = 0; slot < EntryCount; ++slot)
        entries.append(QByteArray::number(slot, 16).rightJustified(4, '0').toUpper() + ' '
            + QByteArray::number(slot, 16).rightJustified(2, '0').toUpper());
    return FslHead("Voll",
               "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 170\r\nZeitdauer : 00:02:49\r\nnoch "
               "frei: 0\r\n")
        + FslEntries(entries);
}

// What no verb may print: Qt's diagnostics for developers.
bool hasQtNoise(const QByteArray& err)
{
    return err.contains("QCommandLineParser") || err.contains("XDG_RUNTIME_DIR")
        || err.contains("QStandardPaths") || err.contains("qt.");
}

// The real program, with what it writes collected.
struct Kelto {
    QProcess process;
    QByteArray out;
    QByteArray err;

    explicit Kelto(const QStringList& arguments, const QString& shellPrefix = QString(),
        const QProcessEnvironment& extra = {})
    {
        QObject::connect(
            &process, &QProcess::readyReadStandardOutput, [this] { out += process.readAllStandardOutput(); });
        QObject::connect(
            &process, &QProcess::readyReadStandardError, [this] { err += process.readAllStandardError(); });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the verbs need no display at all
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        for (const QString& key : extra.keys())
            environment.insert(key, extra.value(key));
        process.setProcessEnvironment(environment);
        const QString program = qEnvironmentVariable("KELTO_PROGRAM");
        if (shellPrefix.isEmpty()) {
            process.start(program, arguments);
        } else {
            // The limits of a shell (ulimit) for the program itself: exec replaces the shell.
            QStringList quoted;
            for (const QString& argument : QStringList { program } + arguments)
                quoted.append(QLatin1Char('\'') + argument + QLatin1Char('\''));
            process.start(QStringLiteral("bash"),
                { QStringLiteral("-c"),
                    shellPrefix + QStringLiteral("; exec ") + quoted.join(QLatin1Char(' ')) });
        }
    }
    bool waitForError(const QByteArray& text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return err.contains(text); }, timeoutMs);
    }
    // The exit code, or -1 when it did not end in time or was killed by a signal.
    int finish(int timeoutMs = 30000)
    {
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
            process.kill();
            process.waitForFinished(3000);
            return -1;
        }
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString errorText() const { return QString::fromUtf8(err); }
};

struct Line {
    PtyPair pty;
    std::unique_ptr<SimDriver> sim;
    bool start()
    {
        if (!pty.isReady())
            return false;
        sim = std::make_unique<SimDriver>(pty.deviceEnd());
        return sim->waitReady();
    }
};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowOrVerb_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain start") << QStringList { "kelto" } << true << "";
        QTest::newRow("a file for the window") << QStringList { "kelto", "show.fsl" } << true << "show.fsl";
        QTest::newRow("verb") << QStringList { "kelto", "check", "show.fsl" } << false << "";
        QTest::newRow("ports") << QStringList { "kelto", "ports" } << false << "";
        QTest::newRow("help") << QStringList { "kelto", "--help" } << false << "";
        QTest::newRow("two files") << QStringList { "kelto", "a.fsl", "b.fsl" } << false << "";
        QTest::newRow("unknown option") << QStringList { "kelto", "--bogus" } << false << "";
    }
    void windowOrVerb()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, window);
        QFETCH(QString, file);
        const CommandLine commandLine = CommandLine::fromArguments(arguments);
        QCOMPARE(commandLine.window, window);
        QCOMPARE(commandLine.file, file);
    }

    void checkPrintsStatistics_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString stats
            = "Anzahl Einträge: 170\nAnzahl Schüsse: 3\nZeitdauer : 00:01:30\nnoch frei: 167\n";
        QTest::newRow("list") << FslHead("Show") + DeviceFileEntries << 0
                              << stats + "Einträge mit Effekt: 0\n"
                              << "";
        QTest::newRow("effects") << FslHead("Show") + DeviceFileEntries
                + "[Kelto]\r\nEffekt 001=Vulkan gold\r\nEffekt 003=Kometen rot 50 mm\r\n"
                                 << 0
                                 << stats
                + "Einträge mit Effekt: 2\n  Nr. 001  00:00:00  A00  Vulkan gold\n"
                  "  Nr. 003  00:01:30  B03  Kometen rot 50 mm\n"
                  "Material: 2 Stück, 2 Effekte\nNEM gesamt: unbekannt\n"
                  "größter Sicherheitsabstand: unbekannt\ngrößte Steighöhe: unbekannt\n"
                  "ohne Effekt: Nr. 2\nohne Effektdaten: „Kometen rot 50 mm“ (Nr. 3), „Vulkan gold“ (Nr. 1)\n"
                                 << "";
        QTest::newRow("effects with data") << MaterialListBytes << 0
                                           << stats
                + "Einträge mit Effekt: 3\n  Nr. 001  00:00:00  A00  Vulkan\n"
                  "  Nr. 002  00:00:28  B12  Bombe 100; \"Gold\"\n  Nr. 003  00:01:30  B03  Kometen\n"
                + MaterialTotals << "";
        QTest::newRow("targets") << MaterialListBytes + "Ziel 002=31.000\r\nZiel 003=90.400\r\n" << 0
                                 << stats
                + "Einträge mit Effekt: 3\n  Nr. 001  00:00:00  A00  Vulkan\n"
                  "  Nr. 002  00:00:28  B12  Bombe 100; \"Gold\"\n  Nr. 003  00:01:30  B03  Kometen\n"
                + MaterialTotals + "Abweichung vom Takt: im Mittel 0,30 s, höchstens 0,40 s (Nr. 3)\n"
                                 << "";
        QTest::newRow("reserved slots")
            << FslHead("Show") + FslEntries({ "0000 00", "001C 2C", "005A 23", "FFFF 40" })
                + "[Kelto]\r\nEffekt 005=Bombe\r\n"
            << 0
            << stats
                + "Einträge mit Effekt: 0\nVorgemerkt, ohne Zeit: 2\n"
                  "  Nr. 004  --:--:--  C00\n  Nr. 005  --:--:--  ---  Bombe\n"
            << "";
        QTest::newRow("circuit used twice through H")
            << FslHead("Show") + FslEntries({ "0000 40", "0010 01", "0020 E0" }) << 0
            << "Anzahl Einträge: 170\nAnzahl Schüsse: 3\nZeitdauer : 00:00:32\nnoch frei: 167\n"
               "Einträge mit Effekt: 0\nDoppelt belegt: C00 (Nr. 1 und Nr. 3 über H00)\n"
            << "";
        QTest::newRow("circuit used twice")
            << FslHead("Show") + FslEntries({ "0000 25", "0010 01", "0020 25" }) << 0
            << "Anzahl Einträge: 170\nAnzahl Schüsse: 3\nZeitdauer : 00:00:32\nnoch frei: 167\n"
               "Einträge mit Effekt: 0\nDoppelt belegt: B05 (Nr. 1 und Nr. 3)\n"
            << "";
        QTest::newRow("not a list") << QByteArray("Einkaufsliste\r\n") << 2 << ""
                                    << "Diese Datei ist keine gültige Feuerwerks-Schussliste...";
        QTest::newRow("missing") << QByteArray() << 2 << ""
                                 << "gibt es nicht.";
    }
    void checkPrintsStatistics()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString path
            = bytes.isNull() ? QStringLiteral("missing.fsl") : writeFile(QStringLiteral("c.fsl"), bytes);
        Kelto kelto({ "check", path });
        QCOMPARE(kelto.finish(), exitCode);
        QCOMPARE(QString::fromUtf8(kelto.out), out);
        if (err.isEmpty())
            QVERIFY(kelto.err.isEmpty());
        else
            QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
    }

    // The material as a table, byte for byte, under the rule every writing verb follows; without --csv
    // on stdout. Stock comes from the catalogue beside kelto.ini; one that cannot be read is named.
    void materialVerb_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("catalogue"); // empty: none
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("written"); // m.csv afterwards; empty: not there
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QByteArray bom = "\xEF\xBB\xBF";
        const QByteArray header = bom
            + "Effekt;Anzahl;Art;Kaliber (mm);Klasse;NEM je St\xC3\xBC"
              "ck (g);NEM gesamt (g);"
              "Sicherheitsabstand (m);Steigh\xC3\xB6he (m);Bestand (St\xC3\xBC"
              "ck);Fehlmenge (St\xC3\xBC"
              "ck);"
              "Sch\xC3\xBCsse\r\n";
        const QByteArray totals = "\r\nGesamt;3;;;;;1234,5;50;100;;;\r\nGesamt F2;;;;F2;;120,0;;;;;\r\n"
                                  "Gesamt F3;;;;F3;;1114,5;;;;;\r\n";
        const QByteArray table = header
            + "\"Bombe 100; \"\"Gold\"\"\";1;Bombe;100;F3;1114,5;1114,5;50;100;;;2\r\n"
            + "Kometen;1;;;;;;;;;;3\r\nVulkan;1;Vulkan;;F2;120,0;120,0;20;15;;;1\r\n" + totals;
        const QByteArray stocked = header
            + "\"Bombe 100; \"\"Gold\"\"\";1;Bombe;100;F3;1114,5;1114,5;50;100;0;1;2\r\n"
            + "Kometen;1;;;;;;;;;;3\r\nVulkan;1;Vulkan;;F2;120,0;120,0;20;15;;;1\r\n" + totals;
        const QByteArray catalogue = bom
            + "Name;Art;Kaliber (mm);Vorlauf (s);Dauer (s);Steigh\xC3\xB6he (m);Sicherheitsabstand (m);NEM "
              "(g);Klasse;Bestand (St\xC3\xBC"
              "ck)\r\n\"Bombe 100; \"\"Gold\"\"\";Bombe;100;3,2;4;100;50;1114,5;F3;0\r\n";
        QTest::newRow("table") << QStringList { "material", "m.fsl", "--csv", "m.csv" } << QByteArray() << 0
                               << table << ""
                               << "";
        QTest::newRow("table with stock")
            << QStringList { "material", "m.fsl", "--csv", "m.csv" } << catalogue << 0 << stocked << ""
            << "";
        QTest::newRow("over a file") << QStringList { "material", "m.fsl", "--csv", "old.csv" }
                                     << QByteArray() << 2 << QByteArray() << ""
                                     << "Die Datei old.csv gibt es schon; --force überschreibt sie.";
        QTest::newRow("over a file, --force")
            << QStringList { "material", "m.fsl", "--csv", "old.csv", "--force" } << QByteArray() << 0
            << QByteArray() << ""
            << "";
        QTest::newRow("onto its own list") << QStringList { "material", "m.fsl", "--csv", "m.fsl", "--force" }
                                           << QByteArray() << 2 << QByteArray() << ""
                                           << "m.fsl ist die gelesene Datei; sie wird nie überschrieben";
        QTest::newRow("not a list") << QStringList { "material", "old.csv", "--csv", "m.csv" } << QByteArray()
                                    << 2 << QByteArray() << ""
                                    << "keine gültige Feuerwerks-Schussliste";
        QTest::newRow("--force without --csv")
            << QStringList { "material", "m.fsl", "--force" } << QByteArray() << 2 << QByteArray() << ""
            << "--force gilt nur mit --csv.";
        QTest::newRow("on stdout, with stock")
            << QStringList { "material", "m.fsl" } << catalogue << 0 << QByteArray()
            << "Material von m.fsl:\n"
               "  1 × Bombe 100; \"Gold\" (Nr. 2): Art Bombe, Kaliber 100 mm, Klasse F3, NEM 1.114,5 g je "
               "Stück, zusammen 1.114,5 g, Sicherheitsabstand 50 m; Bestand 0, es fehlt 1\n"
               "  1 × Kometen (Nr. 3): keine Effektdaten; Bestand ?\n"
               "  1 × Vulkan (Nr. 1): Art Vulkan, Kaliber ?, Klasse F2, NEM 120,0 g je Stück, zusammen "
               "120,0 g, Sicherheitsabstand 20 m; Bestand ?\n\n"
                + MaterialTotals + "Bestand reicht nicht: „Bombe 100; \"Gold\"“ 1 Stück, Bestand 0\n"
            << "";
        QTest::newRow("catalogue unreadable")
            << QStringList { "material", "m.fsl", "--csv", "m.csv" }
            << QByteArray("Name;Art\r\nVulkan;Rakete\r\n") << 0 << table << ""
            << "effektkatalog.csv lässt sich nicht lesen, der Bestand wird "
               "nicht verglichen: Zeile 2:";
    }
    void materialVerb()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, catalogue);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, written);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir settings;
        if (!catalogue.isEmpty())
            writeFile(settings.filePath(QStringLiteral("effektkatalog.csv")), catalogue);
        QFile::remove(QStringLiteral("m.csv"));
        writeFile(QStringLiteral("m.fsl"), MaterialListBytes);
        writeFile(QStringLiteral("old.csv"), "alt");
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("temp"), settings.path());
        Kelto kelto(arguments, QString(), extra);
        QCOMPARE(kelto.finish(), exitCode);
        QCOMPARE(QString::fromUtf8(kelto.out), out);
        if (err.isEmpty())
            QVERIFY2(kelto.err.isEmpty(), kelto.err.constData());
        else
            QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
        QCOMPARE(readFile(QStringLiteral("m.csv")), written);
        QCOMPARE(readFile(QStringLiteral("m.fsl")), MaterialListBytes);
        const bool forced = arguments.contains(QStringLiteral("old.csv")) && exitCode == 0;
        QCOMPARE(readFile(QStringLiteral("old.csv"))
                     .startsWith("\xEF\xBB\xBF"
                                 "Effekt;Anzahl;"),
            forced);
        QCOMPARE(readFile(QStringLiteral("old.csv")) == "alt", !forced);
    }

    // A name given in bytes that do not decode is refused before anything is read or written.
    void undecodableArgumentsAreRefused_data()
    {
        QTest::addColumn<QString>("call"); // shell words behind the program
        QTest::addColumn<QString>("shown");
        QTest::newRow("export target") << "export list.fsl --csv $'\\xff\\xfeout.csv'"
                                       << "\\xFF\\xFEout.csv";
        QTest::newRow("print target") << "print list.fsl --pdf $'plan\\xe4.pdf'"
                                      << "plan\\xE4.pdf";
        QTest::newRow("import source") << "import $'\\xfcber.csv' --fsl out.fsl"
                                       << "\\xFCber.csv";
        QTest::newRow("check") << "check $'liste\\xff.fsl'"
                               << "liste\\xFF.fsl";
        QTest::newRow("comment") << "import in.csv --fsl out.fsl --comment $'Gr\\xfc\\xdfe'"
                                 << "Gr\\xFC\\xDFe";
        QTest::newRow("window") << "$'sch\\xf6n.fsl'"
                                << "sch\\xF6n.fsl";
        QTest::newRow("valid UTF-8 next to a broken byte") << "export list.fsl --csv $'\\xc3\\xa4\\xc3.csv'"
                                                           << "ä\\xC3.csv";
    }
    void undecodableArgumentsAreRefused()
    {
        QFETCH(QString, call);
        QFETCH(QString, shown);
        writeFile(QStringLiteral("list.fsl"), ListBytes);
        writeFile(QStringLiteral("in.csv"), "Zeit;Modul;Pin\r\n0;1;0\r\n");
        const QStringList before
            = QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        Kelto kelto(
            {}, QStringLiteral("set -- ") + call + QStringLiteral("; exec \"$KELTO_PROGRAM\" \"$@\" #"));
        QCOMPARE(kelto.finish(), 2);
        QVERIFY2(kelto.errorText().contains(
                     QStringLiteral("Das Argument „%1“ ist kein gültiger Text in der Zeichenkodierung")
                         .arg(shown)),
            qPrintable(kelto.errorText()));
        QVERIFY(kelto.out.isEmpty());
        QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }

    // The verbs that write files: what they write, byte for byte, and nothing at all when they refuse.
    // One overwrite rule: an existing file only with --force, never the file the verb reads.
    void writingVerbs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("err");
        const QByteArray bom = "\xEF\xBB\xBF";
        const QByteArray csv = bom
            + "Nr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n1;00:00:00;0;A;0;\r\n"
              "2;00:00:28;28;B;12;\r\n3;00:01:30;90;B;3;\r\n";
        const QByteArray design = "Zeit;Modul;Pin\r\n0;1;0\r\n0:28;B;12\r\n90;2;3\r\n";
        QTest::newRow("export") << QStringList { "export", "list.fsl", "--csv", "out.csv" } << 0 << "out.csv"
                                << csv << "";
        QTest::newRow("export over a spreadsheet")
            << QStringList { "export", "list.fsl", "--csv", "in.csv" } << 2 << "in.csv" << design
            << "Die Datei in.csv gibt es schon; --force überschreibt sie.";
        QTest::newRow("export over a spreadsheet, --force") << QStringList { "export", "list.fsl", "--csv",
            "in.csv", "--force" } << 0 << "in.csv" << csv << "";
        QTest::newRow("export onto its own list")
            << QStringList { "export", "list.fsl", "--csv", "list.fsl", "--force" } << 2 << "list.fsl"
            << ListBytes
            << "list.fsl ist die gelesene Datei; sie wird nie überschrieben, auch nicht mit --force.";
        QTest::newRow("export onto its own list through a link")
            << QStringList { "export", "list.fsl", "--csv", "link.csv", "--force" } << 2 << "list.fsl"
            << ListBytes << "link.csv führt auf die gelesene Datei list.fsl; sie wird nie überschrieben";
        QTest::newRow("export into a folder that is not there")
            << QStringList { "export", "list.fsl", "--csv", "nowhere/out.csv" } << 2 << "nowhere/out.csv"
            << QByteArray() << "Den Ordner";
        QTest::newRow("print onto its own list")
            << QStringList { "print", "list.fsl", "--pdf", "list.fsl", "--force" } << 2 << "list.fsl"
            << ListBytes << "nie überschrieben";
        QTest::newRow("print over a file") << QStringList { "print", "list.fsl", "--pdf", "in.csv" } << 2
                                           << "in.csv" << design << "gibt es schon; --force";
        QTest::newRow("import") << QStringList { "import", "in.csv", "--fsl", "out.fsl", "--comment",
            "Aus CSV" } << 0 << "out.fsl"
                                << FslHead("Aus CSV", DeviceStats) + DeviceFileEntries << "";
        QTest::newRow("import refused")
            << QStringList { "import", "bad.csv", "--fsl", "out.fsl" } << 2 << "out.fsl" << QByteArray()
            << "Zeile 3: unbekanntes Zündgerät \"K\"\nZeile 4:";
        QTest::newRow("import over a list") << QStringList { "import", "in.csv", "--fsl", "list.fsl" } << 2
                                            << "list.fsl" << ListBytes << "gibt es schon; --force";
        QTest::newRow("import with force")
            << QStringList { "import", "in.csv", "--fsl", "list.fsl", "--force" } << 0 << "list.fsl"
            << FslHead("", DeviceStats) + DeviceFileEntries << "";
        QTest::newRow("import onto its own table") << QStringList { "import", "in.csv", "--fsl", "in.csv",
            "--force" } << 2 << "in.csv" << design << "nie überschrieben";
        QTest::newRow("import with a comment a list cannot hold")
            << QStringList { "import", "in.csv", "--fsl", "out.fsl", "--comment", "Hanabi 花火" } << 2
            << "out.fsl" << QByteArray() << "Der Kommentar enthält „花“ (U+82B1)";
        QTest::newRow("export of no list")
            << QStringList { "export", "in.csv", "--csv", "out.csv" } << 2 << "out.csv" << QByteArray()
            << "keine gültige Feuerwerks-Schussliste";
        QTest::newRow("export without target")
            << QStringList { "export", "list.fsl" } << 2 << "out.csv" << QByteArray() << "Es fehlt --csv";
    }
    void writingVerbs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, written);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, err);
        QFile::remove(QStringLiteral("out.csv"));
        QFile::remove(QStringLiteral("out.fsl"));
        QFile::remove(QStringLiteral("link.csv"));
        writeFile(QStringLiteral("list.fsl"), ListBytes);
        writeFile(QStringLiteral("in.csv"), "Zeit;Modul;Pin\r\n0;1;0\r\n0:28;B;12\r\n90;2;3\r\n");
        writeFile(QStringLiteral("bad.csv"), "Zeit;Modul;Pin\r\n0;1;0\r\n0:28;K;12\r\n90;2;33\r\n");
        QVERIFY(QFile::link(QStringLiteral("list.fsl"), QStringLiteral("link.csv")));
        Kelto kelto(arguments);
        QCOMPARE(kelto.finish(), exitCode);
        QCOMPARE(readFile(written), bytes);
        // A table taken says what was read; nothing else prints on stdout.
        if (arguments.first() == QLatin1String("import") && exitCode == 0)
            QVERIFY(QString::fromUtf8(kelto.out).startsWith(
                QStringLiteral("Die Datei in.csv wurde übernommen:\n3 Schüsse")));
        else
            QVERIFY(kelto.out.isEmpty());
        if (err.isEmpty())
            QVERIFY2(kelto.err.isEmpty(), kelto.err.constData());
        else
            QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
        QVERIFY(!hasQtNoise(kelto.err));
    }

    // What the table leaves open the user says on the command line; without it the import is refused.
    void importTakesTheUsersChoices_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArrayList>("entries"); // lines 7.. of the list written, or empty: refused
        QTest::addColumn<QString>("said"); // on stdout when taken, on stderr when refused
        const QByteArray both = "Nr;Zeit;Sekunden;Verteiler;Ausgang;Effekt\r\n1;00:00:00;0;1;1;Vulkan\r\n"
                                "2;00:00:28;30;2;5;Kometen\r\n";
        QTest::newRow("two times disagree") << both << QStringList {} << QByteArrayList {}
                                            << "Zeile 3: „Zeit“ \"00:00:28\" und „Sekunden“ \"30\"";
        QTest::newRow("the time column chosen, circuits from 1")
            << both << QStringList { "--time-column", "Sekunden", "--circuits-from", "1" }
            << QByteArrayList { "0000 00", "001E 24" } << "Kreise ab 1 gezählt";
        QTest::newRow("no address") << QByteArray("Zeit;Was\r\n0;a\r\n5;b\r\n") << QStringList {}
                                    << QByteArrayList {} << "keine Spalte für den Zündkreis";
        QTest::newRow("no address, asked for")
            << QByteArray("Zeit;Was\r\n0;a\r\n5;b\r\n") << QStringList { "--without-circuits" }
            << QByteArrayList { "0000 FF", "0005 FF" } << "ohne Zündkreise";
        QTest::newRow("milliseconds") << QByteArray("Zeit;Modul;Pin\r\n0;1;1\r\n7150;1;2\r\n")
                                      << QStringList {} << QByteArrayList {} << "wohl Millisekunden";
        QTest::newRow("numbering neither 0 nor 1") << both << QStringList { "--circuits-from", "2" }
                                                   << QByteArrayList {} << "--circuits-from nimmt 0 oder 1";
        QTest::newRow("a column that is not there")
            << both << QStringList { "--effect-column", "Produkt" } << QByteArrayList {} << "Produkt";
    }
    void importTakesTheUsersChoices()
    {
        QFETCH(QByteArray, table);
        QFETCH(QStringList, options);
        QFETCH(QByteArrayList, entries);
        QFETCH(QString, said);
        QFile::remove(QStringLiteral("choice.fsl"));
        writeFile(QStringLiteral("choice.csv"), table);
        Kelto kelto(QStringList { "import", "choice.csv", "--fsl", "choice.fsl" } + options);
        const int exitCode = kelto.finish();
        QVERIFY(!hasQtNoise(kelto.err));
        if (entries.isEmpty()) {
            QCOMPARE(exitCode, 2);
            QVERIFY(!QFile::exists(QStringLiteral("choice.fsl")));
            QVERIFY2(kelto.errorText().contains(said), qPrintable(kelto.errorText()));
            return;
        }
        QCOMPARE(exitCode, 0);
        QVERIFY2(QString::fromUtf8(kelto.out).contains(said), kelto.out.constData());
        const QByteArray written = readFile(QStringLiteral("choice.fsl"));
        QCOMPARE(written.split('\n').mid(6, entries.size()), [&] {
            QByteArrayList lines;
            for (const QByteArray& entry : entries)
                lines.append(entry + '\r');
            return lines;
        }());
    }

    // A designer's table with data columns comes in whole and goes out again with them.
    void dataColumnsGoThroughImportAndExport()
    {
        const QByteArray table = "Zeit;Modul;Pin;Effekt;Vorlauf (s);Kaliber (mm);NEM (kg);Klasse\r\n"
                                 "5;1;0;Bombe 75;3,2;75;0,1234;F3\r\n"
                                 "9;1;1;Vulkan;;;;\r\n"
                                 "12;1;2;Bombe 75;3,2;75;0,1234;F3\r\n";
        writeFile(QStringLiteral("design.csv"), table);
        QFile::remove(QStringLiteral("design.fsl"));
        Kelto import(QStringList { "import", "design.csv", "--fsl", "design.fsl" });
        QCOMPARE(import.finish(), 0);
        QVERIFY2(QString::fromUtf8(import.out).contains(QStringLiteral("Daten für 1 Effekt übernommen.")),
            import.out.constData());
        QVERIFY2(
            readFile(QStringLiteral("design.fsl")).contains("Effektdaten 001=Bombe 75;;75;3.2;;;;123.4;F3"),
            readFile(QStringLiteral("design.fsl")).constData());

        QFile::remove(QStringLiteral("back.csv"));
        Kelto exported(QStringList { "export", "design.fsl", "--csv", "back.csv" });
        QCOMPARE(exported.finish(), 0);
        const QByteArray back = readFile(QStringLiteral("back.csv"));
        QCOMPARE(back,
            QByteArray(
                "\xEF\xBB\xBFNr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt;Vorlauf (s);Dauer (s);"
                "Kaliber (mm);NEM (g);Klasse\r\n"
                "1;00:00:05;5;A;0;Bombe 75;3,2;;75;123,4;F3\r\n"
                "2;00:00:09;9;A;1;Vulkan;;;;;\r\n"
                "3;00:00:12;12;A;2;Bombe 75;3,2;;75;123,4;F3\r\n"));

        // Conflicting data: refused with the line, nothing written.
        writeFile(QStringLiteral("conflict.csv"), table + "15;1;3;Bombe 75;3,0;75;0,1234;F3\r\n");
        QFile::remove(QStringLiteral("conflict.fsl"));
        Kelto refused(QStringList { "import", "conflict.csv", "--fsl", "conflict.fsl" });
        QCOMPARE(refused.finish(), 2);
        QVERIFY(!QFile::exists(QStringLiteral("conflict.fsl")));
        QVERIFY2(refused.errorText().contains(
                     QStringLiteral("Zeile 5: „Bombe 75“ hat hier andere Daten als in Zeile 2")),
            qPrintable(refused.errorText()));
    }

    // The crew sheet is written without a display: a PDF with the sheet's text, and not a word on stderr.
    void printWritesPdfWithoutDisplay()
    {
        writeFile(QStringLiteral("list.fsl"), ListBytes);
        QFile::remove(QStringLiteral("plan.pdf"));
        Kelto kelto({ "print", "list.fsl", "--pdf", "plan.pdf" });
        QCOMPARE(kelto.finish(), 0);
        QVERIFY2(kelto.err.isEmpty(), kelto.err.constData());
        const QStringList pages = PdfPages(QStringLiteral("plan.pdf"));
        QVERIFY(pages.size() >= 2);
        QVERIFY(pages.first().contains(QStringLiteral("Seite 1 von %1").arg(pages.size())));
        QVERIFY(pages.first().contains(QStringLiteral("Anzahl Schüsse: 3")));
        Kelto nothing({ "print", "missing.fsl", "--pdf", "nichts.pdf" });
        QCOMPARE(nothing.finish(), 2);
        QVERIFY(!QFile::exists(QStringLiteral("nichts.pdf")));
    }

    // A write cut short by a full disk or a file-size limit fails with a German reason; the old file
    // stays as it was and no half-written file is left beside it.
    void fileSizeLimitKeepsOldFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("limitKb");
        QTest::newRow("print") << QStringList { "print", "@full.fsl", "--pdf", "@target", "--force" } << 20;
        QTest::newRow("export") << QStringList { "export", "@full.fsl", "--csv", "@target", "--force" } << 1;
        QTest::newRow("import") << QStringList { "import", "@in.csv", "--fsl", "@target", "--force" } << 1;
    }
    void fileSizeLimitKeepsOldFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, limitKb);
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/limit-XXXXXX"));
        for (QString& argument : arguments) {
            if (argument.startsWith(QLatin1Char('@')))
                argument = dir.filePath(argument.mid(1));
        }
        writeFile(dir.filePath(QStringLiteral("full.fsl")), fullListBytes());
        writeFile(
            dir.filePath(QStringLiteral("in.csv")), "Zeit;Modul;Pin\r\n0;1;0\r\n0:28;B;12\r\n90;2;3\r\n");
        const QString target = dir.filePath(QStringLiteral("target"));
        writeFile(target, "old");
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);

        Kelto kelto(arguments, QStringLiteral("ulimit -f %1").arg(limitKb));
        QCOMPARE(kelto.finish(), 2);
        QVERIFY2(
            kelto.errorText().contains(QStringLiteral("lässt sich nicht schreiben: Die Datei ist zu groß")),
            qPrintable(kelto.errorText()));
        QVERIFY2(kelto.errorText().contains(QStringLiteral("Die bisherige Datei ist unverändert.")),
            qPrintable(kelto.errorText()));
        QVERIFY(!kelto.errorText().contains(QStringLiteral("File too large")));
        QCOMPARE(readFile(target), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);

        // Without the limit the same call writes the whole file.
        Kelto unlimited(arguments);
        QCOMPARE(unlimited.finish(), 0);
        QVERIFY(readFile(target).size() > limitKb * 1024);
    }

    // Options are checked before anything is read, opened or written; every refusal in German, exit 2.
    void optionsAreChecked_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        const QString timeout = "--timeout braucht eine Zahl von Sekunden von 0,1 bis 86400";
        for (const char* value : { "0.0001", "nan", "inf", "1e3", "-5", "86401", "0,05", "", "5 s" })
            QTest::newRow(qPrintable(QStringLiteral("timeout \"%1\"").arg(value))) << QStringList { "receive",
                "new.fsl", "--port", "/nonexistent/tty", "--timeout", value } << timeout;
        QTest::newRow("timeout without --verify") << QStringList { "send", "s.fsl", "--port", "COM1",
            "--timeout", "5" } << "--timeout gilt nur mit --verify";
        QTest::newRow("an option of another verb")
            << QStringList { "send", "s.fsl", "--port", "COM1", "--csv", "x.csv" }
            << "kelto send kennt die Option --csv nicht. Möglich: --port, --force, --verify, --timeout, "
               "--help.";
        QTest::newRow("an option no verb has")
            << QStringList { "check", "s.fsl", "--quiet" } << "kelto check kennt die Option --quiet nicht.";
        QTest::newRow("value missing")
            << QStringList { "send", "s.fsl", "--port" } << "Nach --port fehlt der Wert.";
        QTest::newRow("value for a switch") << QStringList { "export", "s.fsl", "--csv", "x.csv",
            "--force=ja" } << "--force nimmt keinen Wert.";
        QTest::newRow("port twice") << QStringList { "send", "s.fsl", "--port", "COM1", "--port", "COM2" }
                                    << "--port ist mehr als einmal angegeben.";
        QTest::newRow("comment on two lines")
            << QStringList { "receive", "new.fsl", "--port", "/nonexistent/tty", "--comment", "a\nb" }
            << "Der Kommentar muss auf einer Zeile stehen";
        QTest::newRow("two files") << QStringList { "check", "s.fsl", "t.fsl" }
                                   << "Aufruf: kelto check DATEI";
        QTest::newRow("no verb") << QStringList { "sned", "s.fsl" } << "„sned“ ist kein Aufruf von kelto";
    }
    void optionsAreChecked()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        writeFile(QStringLiteral("s.fsl"), FslHead("Show") + DeviceFileEntries);
        Kelto kelto(arguments);
        QCOMPARE(kelto.finish(), 2);
        QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
        QVERIFY2(!hasQtNoise(kelto.err), kelto.err.constData());
        QVERIFY(!kelto.errorText().contains(QStringLiteral("lässt sich nicht öffnen")));
        QVERIFY(kelto.out.isEmpty());
        QVERIFY(!QFileInfo::exists(QStringLiteral("new.fsl")));
    }

    // What the window asks before a send, the command line refuses unless --force; before any port.
    void sendRefusesWhatTheWindowAsks_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("err");
        const QByteArray doubles = FslEntries({ "0000 25", "0010 01", "0020 25" });
        const QByteArray noCircuit = FslEntries({ "0000 FF", "0010 FF" });
        QTest::newRow("circuit used twice")
            << doubles << false
            << "In s.fsl zünden mehrere Einträge denselben Zündkreis. Doppelt belegt: B05 (Nr. 1 und Nr. 3)\n"
               "Nichts gesendet; --force sendet trotzdem.";
        QTest::newRow("no circuit at all")
            << noCircuit << false
            << "Kein Eintrag in s.fsl hat einen Zündkreis; das Senden würde die "
               "Liste im Zündgerät durch eine ohne Schuss ersetzen.";
        QTest::newRow("circuit used twice, --force") << doubles << true << "lässt sich nicht öffnen";
        QTest::newRow("no circuit, --force") << noCircuit << true << "lässt sich nicht öffnen";
    }
    void sendRefusesWhatTheWindowAsks()
    {
        QFETCH(QByteArray, entries);
        QFETCH(bool, force);
        QFETCH(QString, err);
        writeFile(QStringLiteral("s.fsl"), FslHead("Show") + entries);
        QStringList arguments { "send", "s.fsl", "--port", "/nonexistent/tty" };
        if (force)
            arguments << "--force";
        Kelto kelto(arguments);
        QCOMPARE(kelto.finish(), 2);
        QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
        QCOMPARE(kelto.errorText().contains(QStringLiteral("lässt sich nicht öffnen")), force);
    }

    void receiveWritesOnlyACompleteList_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("written") << "list" << 0 << "gespeichert";
        QTest::newRow("existing file kept") << "exists" << 2 << "--force";
        QTest::newRow("existing file, --force") << "force" << 0 << "gespeichert";
        QTest::newRow("time limit") << "timeout" << 2 << "Zeitüberschreitung: nach 0,5 s erst 9 von 1530";
        QTest::newRow("Strg+C") << "interrupt" << 130 << "nichts gespeichert";
        QTest::newRow("line lost") << "lost" << 2 << "ist unterbrochen";
        QTest::newRow("missing folder") << "folder" << 2 << "Den Ordner";
    }
    void receiveWritesOnlyACompleteList()
    {
        QFETCH(QString, how);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        Line line;
        QVERIFY(line.start());
        QString target = QDir::current().absoluteFilePath(QStringLiteral("r_%1.fsl").arg(how));
        const QByteArray old = "old";
        if (how == QLatin1String("exists") || how == QLatin1String("force"))
            writeFile(target, old);
        if (how == QLatin1String("folder"))
            target = QDir::current().absoluteFilePath(QStringLiteral("nowhere/r.fsl"));
        QStringList arguments { "receive", target, "--port", line.pty.editorEnd(), "--comment", "Probe Ä" };
        if (how == QLatin1String("force"))
            arguments << "--force";
        if (how == QLatin1String("timeout"))
            arguments << "--timeout"
                      << "0,5";
        Kelto kelto(arguments);
        if (how == QLatin1String("list") || how == QLatin1String("force") || how == QLatin1String("timeout")
            || how == QLatin1String("interrupt") || how == QLatin1String("lost")) {
            QVERIFY(kelto.waitForError("'Save'"));
            if (how == QLatin1String("interrupt") || how == QLatin1String("lost")
                || how == QLatin1String("timeout"))
                QVERIFY(line.sim->send("raw 0000 00;;"));
            if (how == QLatin1String("interrupt")) {
                QTest::qWait(100);
                ::kill(pid_t(kelto.process.processId()), SIGINT);
            } else if (how == QLatin1String("lost")) {
                QTest::qWait(100);
                line.pty.stop();
            } else if (how != QLatin1String("timeout")) {
                line.sim->command(
                    "list " + QFile::encodeName(writeFile(QStringLiteral("device.txt"), DeviceEntries)));
            }
        }
        QCOMPARE(kelto.finish(), exitCode);
        QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
        QVERIFY(!hasQtNoise(kelto.err));
        if (exitCode == 0)
            QCOMPARE(readFile(target), FslHead("Probe \xC4", DeviceStats) + DeviceFileEntries);
        else if (how == QLatin1String("exists"))
            QCOMPARE(readFile(target), old);
        else
            QVERIFY(!QFileInfo::exists(target));
    }

    void verifyComparesWithFile_data()
    {
        QTest::addColumn<QByteArray>("fileEntries");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("same") << DeviceFileEntries << 0
                              << "Die Liste im Zündgerät stimmt mit v.fsl überein.\n";
        QTest::newRow("one differs") << FslEntries({ "0000 00", "001D 2C", "005A 23" }) << 1
                                     << "Die Liste im Zündgerät weicht in 1 Eintrag von v.fsl ab:\n"
                                        "Nr. 002: Datei 00:00:29 B12, Zündgerät 00:00:28 B12\n";
        QTest::newRow("two differ") << FslEntries({ "0000 00", "001D 2C", "005A 23", "0064 01" }) << 1
                                    << "Die Liste im Zündgerät weicht in 2 Einträgen von v.fsl ab:\n"
                                       "Nr. 002: Datei 00:00:29 B12, Zündgerät 00:00:28 B12\n"
                                       "Nr. 004: Datei 00:01:40 A01, Zündgerät --:--:-- ---\n";
    }
    void verifyComparesWithFile()
    {
        QFETCH(QByteArray, fileEntries);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        Line line;
        QVERIFY(line.start());
        writeFile(QStringLiteral("v.fsl"), FslHead("Show") + fileEntries);
        Kelto kelto({ "verify", "v.fsl", "--port", line.pty.editorEnd(), "--timeout", "20" });
        QVERIFY(kelto.waitForError("'Save'"));
        line.sim->command(
            "list " + QFile::encodeName(writeFile(QStringLiteral("device.txt"), DeviceEntries)));
        QCOMPARE(kelto.finish(), exitCode);
        QCOMPARE(QString::fromUtf8(kelto.out), out);
    }

    void portFailuresExitNonZero_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        QTest::newRow("missing device")
            << QStringList { "send", "s.fsl", "--port", "/nonexistent/tty" }
            << "Die Schnittstelle /nonexistent/tty lässt sich nicht öffnen. Grund: Das Gerät wurde nicht "
               "gefunden.\n";
        QTest::newRow("COM9") << QStringList { "verify", "s.fsl", "--port", "COM9" }
                              << "Unbekannte Schnittstelle COM9";
        QTest::newRow("no port") << QStringList { "receive", "new.fsl" } << "Die Schnittstelle fehlt";
        QTest::newRow("bad time limit") << QStringList { "receive", "new.fsl", "--port", "COM1", "--timeout",
            "x" } << "--timeout braucht";
    }
    void portFailuresExitNonZero()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        writeFile(QStringLiteral("s.fsl"), FslHead("Show") + DeviceFileEntries);
        Kelto kelto(arguments);
        QCOMPARE(kelto.finish(), 2);
        QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
        QVERIFY(!QFileInfo::exists(QStringLiteral("new.fsl")));
    }

    // A full send: 170 records exactly as "Senden" writes them; with --verify the device's list is then
    // received and compared with the file.
    void sendWritesWholeList_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<QByteArray>("deviceList"); // empty: the device sends back what it got
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("send") << false << QByteArray() << 0 << "";
        QTest::newRow("send and check, same")
            << true << QByteArray() << 0 << "Die Liste im Zündgerät stimmt mit s.fsl überein.\n";
        QTest::newRow("send and check, differs")
            << true << QByteArray("0000 00\n001C 2C\n") << 1
            << "Die Liste im Zündgerät weicht in 1 Eintrag von s.fsl ab:\n"
               "Nr. 003: Datei 00:01:30 B03, Zündgerät --:--:-- ---\n";
    }
    void sendWritesWholeList()
    {
        QFETCH(bool, verify);
        QFETCH(QByteArray, deviceList);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        Line line;
        QVERIFY(line.start());
        writeFile(QStringLiteral("s.fsl"), FslHead("Show") + DeviceFileEntries);
        QStringList arguments { "send", "s.fsl", "--port", line.pty.editorEnd() };
        if (verify)
            arguments << "--verify"
                      << "--timeout"
                      << "30";
        Kelto kelto(arguments);
        if (verify) {
            QVERIFY(kelto.waitForError("Jetzt am Zündgerät 'Save' wählen", 40000));
            line.sim->command(deviceList.isEmpty()
                    ? QByteArray("back")
                    : "list " + QFile::encodeName(writeFile(QStringLiteral("device.txt"), deviceList)));
        }
        QCOMPARE(kelto.finish(60000), exitCode);
        QVERIFY(line.sim->waitForReceived(1360));
        QCOMPARE(line.sim->received(),
            QByteArray("0000 00;001C 2C;005A 23;") + QByteArray("FFFF FF;").repeated(167));
        QVERIFY2(
            kelto.errorText().contains(QStringLiteral("Datensatz 170 / 170")), qPrintable(kelto.errorText()));
        QVERIFY2(
            kelto.errorText().contains(
                QStringLiteral("Die Liste ist gesendet: 170 Datensätze über %1.").arg(line.pty.editorEnd())),
            qPrintable(kelto.errorText()));
        QCOMPARE(QString::fromUtf8(kelto.out), out);
        QVERIFY2(!hasQtNoise(kelto.err), kelto.err.constData());
    }

    // Strg+C during a send: the record on the line is finished, no other follows, and stderr says how
    // many the device got.
    void interruptedSendSaysWhatTheDeviceHolds()
    {
        Line line;
        QVERIFY(line.start());
        writeFile(QStringLiteral("s.fsl"), FslHead("Show") + DeviceFileEntries);
        Kelto kelto({ "send", "s.fsl", "--port", line.pty.editorEnd() });
        QVERIFY(line.sim->waitForReceived(5 * 8, 20000));
        ::kill(pid_t(kelto.process.processId()), SIGINT);
        QCOMPARE(kelto.finish(), 130);
        const QRegularExpression said(
            QStringLiteral("Das Senden wurde abgebrochen: das Zündgerät hat (\\d+) von 170 Datensätzen "
                           "erhalten\\. Seine Liste "
                           "ist unvollständig – senden Sie die Liste erneut, bevor gezündet wird\\."));
        const QRegularExpressionMatch match = said.match(kelto.errorText());
        QVERIFY2(match.hasMatch(), qPrintable(kelto.errorText()));
        const int records = match.captured(1).toInt();
        QVERIFY(records >= 5 && records < 170);
        // Whatever was still on its way has arrived by now.
        QTest::qWait(300);
        QCOMPARE(line.sim->received(),
            (QByteArray("0000 00;001C 2C;005A 23;") + QByteArray("FFFF FF;").repeated(167))
                .left(records * 8));
        QVERIFY2(!hasQtNoise(kelto.err), kelto.err.constData());
    }

    // What each COMn stands for, from the environment or the platform, and whether it is there.
    void portsTellsWhatCOMnStandsFor()
    {
        const QString device = writeFile(QStringLiteral("adapter"), QByteArray());
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("KELTO_COM2"), device);
        extra.insert(QStringLiteral("KELTO_COM3"), QStringLiteral("/nonexistent/tty"));
        Kelto kelto({ "ports" }, QString(), extra);
        QCOMPARE(kelto.finish(), 0);
        QVERIFY2(kelto.err.isEmpty(), kelto.err.constData());
        const QStringList lines = QString::fromUtf8(kelto.out).split(QLatin1Char('\n'));
        QVERIFY(lines.first().startsWith(QStringLiteral("Vorhandene serielle Schnittstellen:")));
        QVERIFY(lines.contains(QStringLiteral("COM1 … COM8 stehen für:")));
        QVERIFY(
            lines.contains(QStringLiteral("  COM2  %1 (aus KELTO_COM2), Gerätedatei vorhanden, vom System "
                                          "nicht als serielle Schnittstelle gemeldet")
                               .arg(device)));
        QVERIFY(lines.contains(QStringLiteral("  COM3  /nonexistent/tty (aus KELTO_COM3), nicht vorhanden")));
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(),
            [](const QString& line) { return line.startsWith(QStringLiteral("  COM8  /dev/ttyS7, ")); }));
    }
};

KELTO_TEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
