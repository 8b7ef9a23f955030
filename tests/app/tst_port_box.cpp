#include "browser_widgets.h"
#include "device_sim.h"
#include "file_bytes.h"
#include "form1.h"
#include "link/port_names.h"
#include "link/transfer_engine.h"
#include "pty_pair.h"
#include "scripted_prompter.h"
#include "test_main.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

// The ports the system reports in these tests.
QList<PresentPort> s_present;
QList<PresentPort> presentPorts() { return s_present; }

// A pseudo-terminal that the system lists as an FTDI adapter, with the device simulator behind it.
struct Adapter {
    PtyPair pty;
    std::unique_ptr<SimDriver> sim;
    bool plugIn()
    {
        if (!pty.isReady())
            return false;
        sim = std::make_unique<SimDriver>(pty.deviceEnd());
        s_present = { { pty.editorEnd(), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
            QStringLiteral("A50285BI") } };
        return sim->waitReady();
    }
    QString text() const { return pty.editorEnd() + QStringLiteral(" – FT232R USB UART"); }
};

QStringList items(const QComboBox& box)
{
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts.append(box.itemText(i));
    return texts;
}

bool idle(Form1& w)
{
    return !w.MSComm1->isOpen() && w.Command2[0]->isEnabledTo(w.Frame1[0]) && w.Frame2->isHidden();
}

} // namespace

class TestPortBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        for (int n = 1; n <= 8; ++n)
            qunsetenv(qPrintable(QStringLiteral("KELTO_COM%1").arg(n)));
        s_present.clear();
        SetPortLister(&presentPorts);
    }
    void cleanup()
    {
        SetPortLister(nullptr);
        QFile::remove(qEnvironmentVariable("temp") + QStringLiteral("/kelto.ini"));
    }

    // An adapter plugged in after the start appears when the box opens, after COM1 .. COM8; it serves
    // "Empfang", "Prüfen" and "Senden"; pulled out, it goes and COM1 is chosen again.
    void adapterPluggedInLaterIsChosen()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        auto& prompter = static_cast<ScriptedPrompter&>(w.prompter());
        w.SSTab1->setCurrentIndex(0);
        const QStringList com { "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8" };
        QCOMPARE(items(*w.Combo1), com);
        writeFile(QStringLiteral("device.txt"), "0000 00\n001C 2C\n005A 23\n");
        Adapter adapter;
        QVERIFY(adapter.plugIn());

        w.Combo1->showPopup();
        w.Combo1->hidePopup();
        QCOMPARE(items(*w.Combo1), com + QStringList { adapter.text() });
        QCOMPARE(w.Combo1->currentIndex(), 0);
        w.Combo1->setCurrentIndex(8);
        QCOMPARE(w.Combo1->toolTip(), adapter.pty.editorEnd());

        w.Command2[0]->click(); // Empfang
        QVERIFY(w.MSComm1->isOpen());
        adapter.sim->command("list " + QFile::encodeName(QDir::current().absoluteFilePath("device.txt")));
        QTRY_VERIFY_WITH_TIMEOUT(idle(w), 10000);
        QCOMPARE(w.list().times[1], 28);
        QCOMPARE(w.list().circuits[1], qint16(0x2C));

        w.Command2[2]->click(); // Prüfen
        adapter.sim->command("list " + QFile::encodeName(QDir::current().absoluteFilePath("device.txt")));
        QTRY_VERIFY_WITH_TIMEOUT(idle(w) && !prompter.asked.isEmpty(), 10000);
        QCOMPARE(prompter.asked.last().text,
            QStringLiteral("Die Liste im Zündgerät stimmt mit der Liste im Editor überein."));

        // A short send: one record per line of List1.
        while (w.List1->count() > 2)
            delete w.List1->takeItem(w.List1->count() - 1);
        prompter.setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click(); // Senden
        QVERIFY(adapter.sim->waitForReceived(16));
        QCOMPARE(adapter.sim->received(), QByteArray("0000 00;001C 2C;"));
        QTRY_VERIFY_WITH_TIMEOUT(!w.MSComm1->isSending(), 5000);

        s_present.clear();
        w.Combo1->showPopup();
        w.Combo1->hidePopup();
        QCOMPARE(items(*w.Combo1), com);
        QCOMPARE(w.Combo1->currentIndex(), 0);
        QCOMPARE(w.Combo1->toolTip(), PortDevice(1));
    }

    // "Ordner merken" keeps such a port by its device; absent at the next start, COM1 stands in and the
    // folder is opened all the same.
    void rememberedAdapterAtNextStart_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("plugged in") << true;
        QTest::newRow("not plugged in") << false;
    }
    void rememberedAdapterAtNextStart()
    {
        QFETCH(bool, present);
        QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/XXXXXX"));
        s_present
            = { { QStringLiteral("/dev/ttyUSB7"), QStringLiteral("FT232R USB UART"), QString(), QString() } };
        {
            Form1 w(std::make_unique<ScriptedPrompter>());
            w.Dir1->setPath(folder.path());
            w.Combo1->setCurrentIndex(8);
            w.Command4[2]->click();
            QCOMPARE(readFile(w.TempFolder + QStringLiteral("kelto.ini")),
                QFile::encodeName(folder.path()) + "/\r\n/dev/ttyUSB7\r\n");
        }
        if (!present)
            s_present.clear();
        Form1 next(std::make_unique<ScriptedPrompter>());
        QCOMPARE(next.CurrentFolder, folder.path() + QLatin1Char('/'));
        QCOMPARE(next.Combo1->currentText(),
            present ? QStringLiteral("/dev/ttyUSB7 – FT232R USB UART") : QStringLiteral("COM1"));
        QCOMPARE(next.Combo1->toolTip(), present ? QStringLiteral("/dev/ttyUSB7") : PortDevice(1));
    }
};

KELTO_TEST_MAIN(TestPortBox)
#include "tst_port_box.moc"
