#include "link/pause.h"
#include "link/port_names.h"
#include "test_main.h"

#include <QTest>
#include <QTimer>

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

    void pauseLastsItsTimeAndKeepsEventsRunning()
    {
        QElapsedTimer clock;
        clock.start();
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QVERIFY(PauseUntil(clock, 100'000'000));
        const qint64 elapsed = clock.nsecsElapsed();
        QVERIFY2(elapsed >= 100'000'000, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        // A deadline already passed returns at once.
        QVERIFY(PauseUntil(clock, 0));
    }

    void pauseEndsWhenGuardIsDestroyed()
    {
        auto* guard = new QObject;
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(20, [guard] { delete guard; });
        QVERIFY(!PauseUntil(clock, 5'000'000'000, guard));
        QVERIFY(clock.elapsed() < 4000);
    }

    void pauseEndsWhenApplicationQuits()
    {
        bool paused = true;
        qint64 elapsedMs = 0;
        QTimer::singleShot(0, [&] {
            QElapsedTimer clock;
            clock.start();
            QTimer::singleShot(20, [] { QCoreApplication::exit(0); });
            paused = PauseUntil(clock, 5'000'000'000);
            elapsedMs = clock.elapsed();
        });
        QCoreApplication::exec();
        QVERIFY(!paused);
        QVERIFY(elapsedMs < 4000);
    }
};

KELTO_TEST_MAIN(TestSerialHelpers)
#include "tst_serial_helpers.moc"
