#include "link/transfer_engine.h"
#include "link_rig.h"
#include "list_edit.h"
#include "test_main.h"
#include "widgets.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace {

// When each record was complete at the device, in ms of the simulator's clock.
QList<double> recordArrivals(const QList<SimDriver::Chunk>& chunks)
{
    QList<double> arrivals;
    qsizetype bytes = 0;
    for (const SimDriver::Chunk& chunk : chunks) {
        bytes += chunk.bytes.size();
        while (arrivals.size() < bytes / 8)
            arrivals.append(chunk.ms);
    }
    return arrivals;
}

} // namespace

class TestTransferSend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // One full send checks the bytes, the pause after every record and the count in Label4.
    void sendsStartupListPacedAndCounted()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        int countsSeen = 0;
        QStringList wrongCounts;
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (w.Command2[1]->isEnabled())
                return; // the send is over
            const qsizetype records = rig.sim->received().size() / 8;
            const QString shown = w.Label4->text();
            if (shown == QStringLiteral("%1 / 170").arg(records)
                || shown == QStringLiteral("%1 / 170").arg(records + 1))
                ++countsSeen;
            else
                wrongCounts.append(QStringLiteral("%1: %2").arg(records).arg(shown));
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        QElapsedTimer sending;
        sending.start();
        w.Command2[1]->click();
        // The pause after the last record is part of the send.
        QVERIFY2(sending.elapsed() >= 17000, qPrintable(QString::number(sending.elapsed())));

        QVERIFY(rig.isIdle());
        QVERIFY(rig.sim->waitForReceived(1360));
        QCOMPARE(rig.sim->received(), QByteArray("0000 FF;") + QByteArray("FFFF FF;").repeated(169));
        QVERIFY2(wrongCounts.isEmpty(), qPrintable(wrongCounts.join(QLatin1String(", "))));
        QVERIFY2(countsSeen >= 160, qPrintable(QString::number(countsSeen)));
        QCOMPARE(w.Label4->text(),
            QStringLiteral(
                "Anzahl Einträge: 170\r\nAnzahl Schüsse: 1\r\nZeitdauer : 00:00:00\r\nnoch frei: 169"));

        // Pacing as the editor did it, on its own monotonic clock: a loaded machine only makes the pauses
        // longer, while any record written early fails. Arrival times at the device depend on scheduling.
        const QList<qint64> written = w.MSComm1->recordTimesNs();
        QCOMPARE(written.size(), 170);
        for (int k = 1; k < 170; ++k)
            QVERIFY2(written[k] - written[k - 1] >= TransferEngine::RecordPauseNs,
                qPrintable(QStringLiteral("record %1 after %2 ns").arg(k).arg(written[k] - written[k - 1])));
        QCOMPARE(recordArrivals(rig.sim->chunks()).size(), 170);
    }

    // Edits and a file load during the send, and characters from the device meanwhile, change nothing
    // of what goes out.
    void sendCarriesListAsConfirmed()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        const qint32 times[] = { 0, 90, 100, 65279, 65535, 500, 600 };
        const qint16 circuits[] = { 255, 35, 0, 254, 255, 37, 1 };
        EditList(w, [&](ShotList& list) {
            for (int i = 0; i < 7; ++i) {
                list.times[i] = times[i];
                list.circuits[i] = circuits[i];
            }
        });
        const QByteArray expected = QByteArray("0000 FF;005A 23;0064 00;FEFF FE;FFFF FF;FFFF 25;FFFF 01;")
            + QByteArray("FFFF FF;").repeated(163);

        QSignalSpy notifications(&w.MSComm1->port(), &QSerialPort::readyRead);
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            const qsizetype records = rig.sim->received().size() / 8;
            if (records == 3) {
                rig.sim->command("raw 0000 00;;0000 00;;");
            } else if (records == 5) {
                EditList(w, [&](ShotList& list) {
                    list.times[1] = 95;
                    list.circuits[20] = 3;
                });
            } else if (records == 8) {
                ShotList loaded = ShotList::startup();
                for (int k = 0; k < EntryCount; ++k) {
                    loaded.times[k] = 10 * k;
                    loaded.circuits[k] = 5;
                }
                w.document().reset(loaded);
            }
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();

        QVERIFY(rig.isIdle());
        QVERIFY(rig.sim->waitForReceived(1360));
        QCOMPARE(rig.sim->received(), expected);
        // The device's characters were read during the send and thrown away.
        QVERIFY(notifications.count() >= 1);
        QVERIFY(w.ReceiveBuffer.isEmpty());
        QCOMPARE(w.Label1->text(), QStringLiteral("Nr.   Zeit     Kreis"));
        // The window shows the list as loaded meanwhile.
        QCOMPARE(w.List1->item(169)->text(), QStringLiteral("170  00:28:10  A05"));
    }
};

KELTO_TEST_MAIN(TestTransferSend)
#include "tst_transfer_send.moc"
