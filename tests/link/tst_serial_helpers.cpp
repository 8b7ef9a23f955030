#include "link/port_names.h"
#include "test_main.h"

#include <QTest>

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
        QTest::newRow("missing device")
            << int(QSerialPort::DeviceNotFoundError) << "No such file or directory"
            << "Das Gerät wurde nicht gefunden. (Die Datei oder der Ordner existiert nicht)";
        QTest::newRow("no permission") << int(QSerialPort::PermissionError) << "Permission denied"
                                       << "Die Schnittstelle ist belegt oder der Zugriff ist nicht erlaubt. "
                                          "(Keine Berechtigung)";
        QTest::newRow("in use") << int(QSerialPort::PermissionError) << "Device or resource busy"
                                << "Die Schnittstelle ist belegt oder der Zugriff ist nicht erlaubt. "
                                   "(Das Gerät oder die Datei ist belegt)";
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
};

KELTO_TEST_MAIN(TestSerialHelpers)
#include "tst_serial_helpers.moc"
