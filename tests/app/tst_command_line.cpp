#include "command_line.h"
#include "device_sim.h"
#include "fsl_fixtures.h"
#include "pty_pair.h"
#include "test_main.h"

#include <QProcess>
#include <QTest>

#include <csignal>

namespace {

const QByteArray DeviceEntries = "0000 00\n001C 2C\n005A 23\n";
const QByteArray DeviceFileEntries = FslEntries({ "0000 00", "001C 2C", "005A 23" });
const QByteArray DeviceStats
    = "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 3\r\nZeitdauer : 00:01:30\r\nnoch frei: 167\r\n";

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

// The real program, with what it writes collected.
struct Kelto {
    QProcess process;
    QByteArray out;
    QByteArray err;

    explicit Kelto(const QStringList& arguments)
    {
        QObject::connect(
            &process, &QProcess::readyReadStandardOutput, [this] { out += process.readAllStandardOutput(); });
        QObject::connect(
            &process, &QProcess::readyReadStandardError, [this] { err += process.readAllStandardError(); });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the verbs need no display at all
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("KELTO_PROGRAM"), arguments);
    }
    bool waitForError(const QByteArray& text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return err.contains(text); }, timeoutMs);
    }
    // The exit code, or -1 when it did not end in time.
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
        QTest::newRow("list")
            << FslHead("Show") + DeviceFileEntries << 0
            << "Anzahl Einträge: 170\nAnzahl Schüsse: 3\nZeitdauer : 00:01:30\nnoch frei: 167\n"
            << "";
        QTest::newRow("circuit used twice")
            << FslHead("Show") + FslEntries({ "0000 25", "0010 01", "0020 25" }) << 0
            << "Anzahl Einträge: 170\nAnzahl Schüsse: 3\nZeitdauer : 00:00:32\nnoch frei: 167\n"
               "Doppelt belegt: B05 (Nr. 1, 3)\n"
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

    // The table verbs: the files they write, byte for byte, and nothing at all when they refuse.
    void tableVerbs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("err");
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("export") << QStringList { "export", "list.fsl", "--csv", "out.csv" } << 0 << "out.csv"
                                << bom
                + "Nr;Zeit;Sekunden;Z\xC3\xBCndger\xC3\xA4t;Kreis;Effekt\r\n1;00:00:00;0;A;0;\r\n"
                  "2;00:00:28;28;B;12;\r\n3;00:01:30;90;B;3;\r\n"
                                << "";
        QTest::newRow("import") << QStringList { "import", "in.csv", "--fsl", "out.fsl", "--comment",
            "Aus CSV" } << 0 << "out.fsl"
                                << FslHead("Aus CSV", DeviceStats) + DeviceFileEntries << "";
        QTest::newRow("import refused")
            << QStringList { "import", "bad.csv", "--fsl", "out.fsl" } << 2 << "out.fsl" << QByteArray()
            << "Zeile 3: unbekanntes Zündgerät \"K\"\nZeile 4:";
        QTest::newRow("import over a list")
            << QStringList { "import", "in.csv", "--fsl", "list.fsl" } << 2 << "list.fsl"
            << FslHead("Liste", DeviceStats) + DeviceFileEntries << "gibt es schon; --force";
        QTest::newRow("import with force")
            << QStringList { "import", "in.csv", "--fsl", "list.fsl", "--force" } << 0 << "list.fsl"
            << FslHead("", DeviceStats) + DeviceFileEntries << "";
        QTest::newRow("export of no list")
            << QStringList { "export", "in.csv", "--csv", "out.csv" } << 2 << "out.csv" << QByteArray()
            << "keine gültige Feuerwerks-Schussliste";
        QTest::newRow("export without target")
            << QStringList { "export", "list.fsl" } << 2 << "out.csv" << QByteArray() << "Es fehlt --csv";
    }
    void tableVerbs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, written);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, err);
        QFile::remove(QStringLiteral("out.csv"));
        QFile::remove(QStringLiteral("out.fsl"));
        writeFile(QStringLiteral("list.fsl"), FslHead("Liste", DeviceStats) + DeviceFileEntries);
        writeFile(QStringLiteral("in.csv"), "Zeit;Modul;Pin\r\n0;1;0\r\n0:28;B;12\r\n90;2;3\r\n");
        writeFile(QStringLiteral("bad.csv"), "Zeit;Modul;Pin\r\n0;1;0\r\n0:28;K;12\r\n90;2;33\r\n");
        Kelto kelto(arguments);
        QCOMPARE(kelto.finish(), exitCode);
        QCOMPARE(readFile(written), bytes);
        QVERIFY(kelto.out.isEmpty());
        if (err.isEmpty())
            QVERIFY2(kelto.err.isEmpty(), kelto.err.constData());
        else
            QVERIFY2(kelto.errorText().contains(err), qPrintable(kelto.errorText()));
    }

    // The crew sheet is written without a display: a PDF of as many pages as it says.
    void printWritesPdfWithoutDisplay()
    {
        writeFile(QStringLiteral("list.fsl"), FslHead("Liste", DeviceStats) + DeviceFileEntries);
        Kelto kelto({ "print", "list.fsl", "--pdf", "plan.pdf" });
        QCOMPARE(kelto.finish(), 0);
        const QByteArray pdf = readFile(QStringLiteral("plan.pdf"));
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdf.contains("/Type /Page"));
        Kelto nothing({ "print", "missing.fsl", "--pdf", "nichts.pdf" });
        QCOMPARE(nothing.finish(), 2);
        QVERIFY(!QFile::exists(QStringLiteral("nichts.pdf")));
    }

    void receiveWritesOnlyACompleteList_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("written") << "list" << 0 << "gespeichert";
        QTest::newRow("existing file kept") << "exists" << 2 << "--force";
        QTest::newRow("existing file, --force") << "force" << 0 << "gespeichert";
        QTest::newRow("time limit") << "timeout" << 2 << "Zeitüberschreitung: nach 0.5 s erst 9 von 1530";
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
                      << "0.5";
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
                              << "Die Liste im Zündgerät stimmt mit der Liste im Editor überein.\n";
        QTest::newRow("differs")
            << FslEntries({ "0000 00", "001D 2C", "005A 23", "0064 01" }) << 1
            << "Die Liste im Zündgerät weicht in 2 Einträgen von der Liste im Editor ab:\n"
               "Nr. 002: Editor 00:00:29 B12, Zündgerät 00:00:28 B12\n"
               "Nr. 004: Editor 00:01:40 A01, Zündgerät --:--:-- ---\n";
    }
    void verifyComparesWithFile()
    {
        QFETCH(QByteArray, fileEntries);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        Line line;
        QVERIFY(line.start());
        const QString path = writeFile(QStringLiteral("v.fsl"), FslHead("Show") + fileEntries);
        Kelto kelto({ "verify", path, "--port", line.pty.editorEnd(), "--timeout", "20" });
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
            << "Die Schnittstelle /nonexistent/tty (Gerät: /nonexistent/tty) lässt sich "
               "nicht öffnen.\nGrund: Das Gerät wurde nicht gefunden.";
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

    // One full send: 170 records, exactly as "Senden" writes them.
    void sendWritesWholeList()
    {
        Line line;
        QVERIFY(line.start());
        const QString path = writeFile(QStringLiteral("s.fsl"), FslHead("Show") + DeviceFileEntries);
        Kelto kelto({ "send", path, "--port", line.pty.editorEnd() });
        QCOMPARE(kelto.finish(60000), 0);
        QVERIFY(line.sim->waitForReceived(1360));
        QCOMPARE(line.sim->received(),
            QByteArray("0000 00;001C 2C;005A 23;") + QByteArray("FFFF FF;").repeated(167));
        QVERIFY2(
            kelto.errorText().contains(QStringLiteral("Datensatz 170 / 170")), qPrintable(kelto.errorText()));
    }
};

KELTO_TEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
