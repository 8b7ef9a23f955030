#include "link/port_names.h"
#include "test_main.h"

#include <QTest>

#include <cerrno>
#include <cstring>

class TestSerialHelpers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void portNumberIsLastCharacter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("COM8") << "COM8" << 8;
        QTest::newRow("only the last counts") << "COM12" << 2;
        QTest::newRow("no digit") << "COMx" << 0;
        QTest::newRow("nothing chosen") << "" << 0;
    }
    void portNumberIsLastCharacter()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(PortNumber(text), number);
    }

    void portDeviceFollowsEnvironment_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("device");
        QTest::newRow("USB adapter for COM1") << 1 << QByteArray("/dev/ttyUSB0") << "/dev/ttyUSB0";
        QTest::newRow("COM3 unset") << 3 << QByteArray() << "/dev/ttyS2";
        QTest::newRow("COM8 set empty") << 8 << QByteArray("") << "/dev/ttyS7";
        QTest::newRow("COM0") << 0 << QByteArray("/dev/ttyUSB9") << "";
        QTest::newRow("COM9") << 9 << QByteArray("/dev/ttyUSB9") << "";
    }
    void portDeviceFollowsEnvironment()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, variable);
        QFETCH(QString, device);
        const QByteArray name = "KELTO_COM" + QByteArray::number(number);
        if (variable.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), variable);
        const QString found = PortDevice(number);
        qunsetenv(name.constData());
        QCOMPARE(found, device);
    }

    void errorTextGivesSystemReasonInGerman_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("systemText");
        QTest::addColumn<QString>("text");
        // The system's reason, once, in a port's words; Qt writes some of them in English always.
        QTest::newRow("missing device")
            << int(QSerialPort::DeviceNotFoundError) << "No such file or directory"
            << "Das Gerät wurde nicht gefunden.";
        QTest::newRow("no permission") << int(QSerialPort::PermissionError) << "Permission denied"
                                       << "Keine Berechtigung für diese Schnittstelle (unter Linux: Mitglied "
                                          "der Gruppe dialout werden und "
                                          "neu anmelden).";
        QTest::newRow("in use") << int(QSerialPort::PermissionError) << "Device or resource busy"
                                << "Die Schnittstelle ist belegt: Ein anderes Programm benutzt sie.";
        QTest::newRow("no hardware behind the port")
            << int(QSerialPort::DeviceNotFoundError) << QString::fromLocal8Bit(std::strerror(EIO))
            << "Ein-/Ausgabefehler an der Schnittstelle: Das Gerät fehlt oder wurde abgezogen.";
        QTest::newRow("no such device or address")
            << int(QSerialPort::PermissionError) << "No such device or address"
            << "An dieser Schnittstelle ist kein Gerät erreichbar.";
        QTest::newRow("unknown reason: what failed")
            << int(QSerialPort::PermissionError) << "Some new failure"
            << "Die Schnittstelle ist belegt oder der Zugriff ist nicht "
               "erlaubt.";
        QTest::newRow("write with reason")
            << int(QSerialPort::WriteError) << "No space left on device"
            << "Daten konnten nicht geschrieben werden: Auf dem Datenträger ist kein Platz mehr frei.";
        QTest::newRow("unknown English text left out") << int(QSerialPort::ReadError) << "Some new failure"
                                                       << "Daten konnten nicht gelesen werden.";
        QTest::newRow("hung up")
            << int(QSerialPort::ResourceError) << ""
            << "Das Gerät ist nicht mehr verfügbar (zum Beispiel USB-Adapter abgezogen).";
    }
    void errorTextGivesSystemReasonInGerman()
    {
        QFETCH(int, error);
        QFETCH(QString, systemText);
        QFETCH(QString, text);
        QCOMPARE(PortErrorText(QSerialPort::SerialPortError(error), systemText), text);
    }

    void portOnCommandLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM3") << "COM3"
                              << "COM3"
                              << "/dev/ttyS2";
        QTest::newRow("lower case") << "com8"
                                    << "COM8"
                                    << "/dev/ttyS7";
        QTest::newRow("path") << "/dev/ttyUSB0"
                              << "/dev/ttyUSB0"
                              << "/dev/ttyUSB0";
        QTest::newRow("COM9") << "COM9"
                              << ""
                              << "";
        QTest::newRow("COM12") << "COM12"
                               << ""
                               << "";
        QTest::newRow("bare name") << "ttyUSB0"
                                   << ""
                                   << "";
    }
    void portOnCommandLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, device);
        qunsetenv("KELTO_COM3");
        qunsetenv("KELTO_COM8");
        const std::optional<ChosenPort> port = ResolvePort(text);
        QCOMPARE(port.has_value(), !name.isEmpty());
        if (port) {
            QCOMPARE(port->name, name);
            QCOMPARE(port->device, device);
        }
    }

    // COM1 .. COM8 first, then what is present and no COMn stands for; "Ordner merken" keeps a COMn by
    // its name and any other port by its device.
    void portChoicesAfterCOMn_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("com2");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QStringList>("settings");
        QTest::newRow("nothing present") << false << QByteArray() << QStringList {} << QStringList {};
        // /dev/ttyS0 is present too, and COM1 stands for it.
        QTest::newRow("adapter") << true << QByteArray() << QStringList { "/dev/ttyUSB0 – FT232R USB UART" }
                                 << QStringList { "/dev/ttyUSB0" };
        QTest::newRow("adapter that COM2 stands for")
            << true << QByteArray("/dev/ttyUSB0") << QStringList {} << QStringList {};
    }
    void portChoicesAfterCOMn()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, com2);
        QFETCH(QStringList, extra);
        QFETCH(QStringList, settings);
        for (int n = 1; n <= 8; ++n)
            qunsetenv(qPrintable(QStringLiteral("KELTO_COM%1").arg(n)));
        if (!com2.isEmpty())
            qputenv("KELTO_COM2", com2);
        const QList<PresentPort> ports { { "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A5" },
            { "/dev/ttyS0", "", "", "" } };
        const QList<PortChoice> choices = PortChoices(present ? ports : QList<PresentPort> {});
        qunsetenv("KELTO_COM2");
        QStringList texts;
        for (const PortChoice& choice : choices)
            texts.append(choice.text);
        QCOMPARE(
            texts.mid(0, 8), QStringList({ "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8" }));
        QCOMPARE(texts.mid(8), extra);
        QStringList kept;
        for (const PortChoice& choice : choices.mid(8))
            kept.append(PortSetting(choice));
        QCOMPARE(kept, settings);
        QCOMPARE(PortSetting(choices[2]), QStringLiteral("COM3"));
        for (int i = 0; i < choices.size(); ++i)
            QCOMPARE(ChoiceForSetting(choices, PortSetting(choices[i])), i);
    }

    void rememberedPortFindsItsChoice_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("index");
        QTest::newRow("COM3") << "COM3" << 2;
        QTest::newRow("present adapter") << "/dev/ttyUSB0" << 8;
        QTest::newRow("adapter not present") << "/dev/ttyACM0" << -1;
        QTest::newRow("the device COM1 stands for") << "/dev/ttyS0" << 0;
        QTest::newRow("COM9") << "COM9" << -1;
        QTest::newRow("lower case is no COMn") << "com3" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void rememberedPortFindsItsChoice()
    {
        QFETCH(QString, setting);
        QFETCH(int, index);
        qunsetenv("KELTO_COM1");
        const QList<PortChoice> choices = PortChoices({ { "/dev/ttyUSB0", "FT232R USB UART", "", "" } });
        QCOMPARE(ChoiceForSetting(choices, setting), index);
    }
};

KELTO_TEST_MAIN(TestSerialHelpers)
#include "tst_serial_helpers.moc"
