#include "device_sim.h"
#include "link/read_back.h"
#include "link/transfer_engine.h"
#include "pty_pair.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

namespace {

ShotList showList()
{
    ShotList list = ListWithTimes({ 0, 28, 90, 100 });
    list.circuits[0] = 0;
    list.circuits[1] = 44; // B12
    list.circuits[2] = 35;
    return list;
}

// A file of "TTTT CC" lines the simulator sends as its list.
QString deviceListFile(const QByteArray& entries)
{
    QFile file(QStringLiteral("device.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(entries) != entries.size())
        qFatal("cannot write the device list");
    return QFileInfo(file).absoluteFilePath();
}

struct EngineRig {
    PtyPair pty;
    std::unique_ptr<SimDriver> sim;
    TransferEngine engine;

    bool start()
    {
        if (!pty.isReady())
            return false;
        sim = std::make_unique<SimDriver>(pty.deviceEnd());
        return sim->waitReady() && !engine.open(pty.editorEnd());
    }
};

} // namespace

class TestTransferEngine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sendsRecordsPacedFromCopy()
    {
        EngineRig rig;
        QVERIFY(rig.start());
        ShotList list = showList();
        QSignalSpy written(&rig.engine, &TransferEngine::recordWritten);
        QSignalSpy completed(&rig.engine, &TransferEngine::sendCompleted);
        rig.engine.startSend(list, 5);
        list.times[1] = 29; // the engine sends its own copy
        QVERIFY(completed.wait(5000));
        QVERIFY(!rig.engine.isOpen());
        QVERIFY(rig.sim->waitForReceived(40));
        QCOMPARE(rig.sim->received(), QByteArray("0000 00;001C 2C;005A 23;0064 FF;FFFF FF;"));
        QCOMPARE(written.count(), 5);
        QCOMPARE(written.last().at(0).toInt(), 5);
        QCOMPARE(written.last().at(1).toInt(), 5);
        const QList<qint64> times = rig.engine.recordTimesNs();
        QCOMPARE(times.size(), 5);
        for (int k = 1; k < times.size(); ++k)
            QVERIFY(times[k] - times[k - 1] >= TransferEngine::RecordPauseNs);
    }

    void receiveComparesWithEditorList_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QStringList>("report");
        const QByteArray same = "0000 00\n001C 2C\n005A 23\n0064 FF\n";
        QTest::newRow("same") << same
                              << QStringList {
                                     "Die Liste im Zündgerät stimmt mit der Liste im Editor überein."
                                 };
        QTest::newRow("time and circuit")
            << QByteArray("0000 00\n001D 2C\n005A 24\n0064 FF\n")
            << QStringList { "Die Liste im Zündgerät weicht in 2 Einträgen von der Liste im Editor ab:",
                   "Nr. 002: Editor 00:00:28 B12, Zündgerät 00:00:29 B12",
                   "Nr. 003: Editor 00:01:30 B03, Zündgerät 00:01:30 B04" };
        QTest::newRow("entry missing on the device")
            << QByteArray("0000 00\n001C 2C\n005A 23\n")
            << QStringList { "Die Liste im Zündgerät weicht in 1 Eintrag von der Liste im Editor ab:",
                   "Nr. 004: Editor 00:01:40 ---, Zündgerät --:--:-- ---" };
    }
    void receiveComparesWithEditorList()
    {
        QFETCH(QByteArray, entries);
        QFETCH(QStringList, report);
        EngineRig rig;
        QVERIFY(rig.start());
        QSignalSpy completed(&rig.engine, &TransferEngine::receiveCompleted);
        QSignalSpy progress(&rig.engine, &TransferEngine::receiveProgress);
        rig.engine.startReceive();
        rig.sim->command("list " + QFile::encodeName(deviceListFile(entries)));
        QVERIFY(completed.wait(10000));
        QVERIFY(!rig.engine.isOpen());
        QCOMPARE(progress.last().at(0).toLongLong(), 1530);
        const QByteArray received = completed.first().at(0).toByteArray();
        QCOMPARE(received.size(), 1530);
        QCOMPARE(ComparisonLines(CompareWithDevice(showList(), received)), report);
    }

    void reportListsAtMostTwentyLines()
    {
        QList<EntryDifference> differences;
        for (int slot = 0; slot < 23; ++slot)
            differences.append({ slot, 0, 0, 1, 0 });
        const QStringList lines = ComparisonLines(differences);
        QCOMPARE(lines.size(), 1 + 20 + 1);
        QCOMPARE(lines.first(),
            QStringLiteral("Die Liste im Zündgerät weicht in 23 Einträgen von der Liste im Editor ab:"));
        QCOMPARE(lines[20], QStringLiteral("Nr. 020: Editor 00:00:00 A00, Zündgerät 00:00:01 A00"));
        QCOMPARE(lines.last(), QStringLiteral("… und 3 weitere"));
        QCOMPARE(ComparisonLines(differences, -1).size(), 24);
    }

    // The window speaks of the list in the editor, the command line of the file; one entry is "Eintrag".
    void reportNamesTheList_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("file");
        QTest::addColumn<QStringList>("report");
        QTest::newRow("editor, none")
            << 0 << false
            << QStringList { "Die Liste im Zündgerät stimmt mit der Liste im Editor "
                             "überein." };
        QTest::newRow("editor, one") << 1 << false
                                     << QStringList {
                                            "Die Liste im Zündgerät weicht in 1 Eintrag von der Liste im "
                                            "Editor ab:",
                                            "Nr. 001: Editor 00:00:00 A00, Zündgerät 00:00:01 A00"
                                        };
        QTest::newRow("file, none") << 0 << true
                                    << QStringList { "Die Liste im Zündgerät stimmt mit show.fsl überein." };
        QTest::newRow("file, one") << 1 << true
                                   << QStringList {
                                          "Die Liste im Zündgerät weicht in 1 Eintrag von show.fsl ab:",
                                          "Nr. 001: Datei 00:00:00 A00, Zündgerät 00:00:01 A00"
                                      };
        QTest::newRow("file, two") << 2 << true
                                   << QStringList {
                                          "Die Liste im Zündgerät weicht in 2 Einträgen von show.fsl ab:",
                                          "Nr. 001: Datei 00:00:00 A00, Zündgerät 00:00:01 A00",
                                          "Nr. 002: Datei 00:00:00 A00, Zündgerät 00:00:01 A00"
                                      };
    }
    void reportNamesTheList()
    {
        QFETCH(int, count);
        QFETCH(bool, file);
        QFETCH(QStringList, report);
        QList<EntryDifference> differences;
        for (int slot = 0; slot < count; ++slot)
            differences.append({ slot, 0, 0, 1, 0 });
        const ComparedList with = file ? ComparedList { "show.fsl", "Datei" } : EditorList;
        QCOMPARE(ComparisonLines(differences, -1, with), report);
    }

    void lostLineIsReportedAndCloses_data()
    {
        QTest::addColumn<bool>("sending");
        QTest::newRow("receiving") << false;
        QTest::newRow("sending") << true;
    }
    void lostLineIsReportedAndCloses()
    {
        QFETCH(bool, sending);
        EngineRig rig;
        QVERIFY(rig.start());
        QSignalSpy lost(&rig.engine, &TransferEngine::lineLost);
        if (sending) {
            rig.sim->onChunk = [&](const SimDriver::Chunk&) {
                if (rig.sim->received().size() >= 16)
                    rig.pty.stop();
            };
            rig.engine.startSend(showList(), 50);
        } else {
            rig.engine.startReceive();
            QVERIFY(rig.sim->send("raw 0000 00;;"));
            QTRY_COMPARE(rig.engine.received().size(), 9);
            rig.pty.stop();
        }
        QVERIFY(lost.wait(5000));
        QVERIFY(!rig.engine.isOpen());
        const LinkFailure failure = lost.first().at(0).value<LinkFailure>();
        QCOMPARE(failure.during, sending ? LinkFailure::During::Sending : LinkFailure::During::Receiving);
        QVERIFY2(failure.reason.startsWith(QStringLiteral("Das Gerät ist nicht mehr verfügbar")),
            qPrintable(failure.reason));
        if (sending) {
            QVERIFY(failure.recordsWritten >= 2 && failure.recordsWritten < 50);
            QCOMPARE(failure.recordsToSend, 50);
        } else {
            QCOMPARE(failure.charactersReceived, 9);
        }
    }

    void missingPortIsAValue()
    {
        TransferEngine engine;
        const std::optional<LinkFailure> failure = engine.open(QStringLiteral("/nonexistent/kelto-port"));
        QVERIFY(failure);
        // The reason once: what the kind of failure says and the system's words are the same here.
        QCOMPARE(failure->reason, QStringLiteral("Das Gerät wurde nicht gefunden."));
        QVERIFY(!engine.isOpen());
        QCOMPARE(PortOpenFailureText(
                     QStringLiteral("COM2"), QStringLiteral("/nonexistent/kelto-port"), failure->reason),
            QStringLiteral(
                "Die Schnittstelle COM2 (Gerät: /nonexistent/kelto-port) lässt sich nicht öffnen.\n"
                "Grund: Das Gerät wurde nicht gefunden."));
    }
};

KELTO_TEST_MAIN(TestTransferEngine)
#include "tst_transfer_engine.moc"
