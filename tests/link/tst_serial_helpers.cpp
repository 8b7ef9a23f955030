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

    void errorTextKeepsSystemReason()
    {
        const QString text
            = PortErrorText(QSerialPort::DeviceNotFoundError, QStringLiteral("No such file or directory"));
        QCOMPARE(text, QStringLiteral("Das Gerät wurde nicht gefunden. (No such file or directory)"));
        QVERIFY(PortErrorText(QSerialPort::ResourceError, QString())
                    .startsWith(QStringLiteral("Das Gerät ist nicht mehr")));
    }
};

KELTO_TEST_MAIN(TestSerialHelpers)
#include "tst_serial_helpers.moc"
