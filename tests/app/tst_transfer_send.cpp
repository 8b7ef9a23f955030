#include "link/transfer_engine.h"
#include "link_rig.h"
#include "list_edit.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "widgets.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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

    // "Abbruch" during a send: the record on the line is the last, the port is closed, the box says how
    // many records the device holds, and the editor's list is unchanged.
    void abortStopsSendAfterRecordOnLine()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        EditList(w, [](ShotList& list) {
            for (int i = 0; i < 30; ++i) {
                list.times[i] = 10 * i;
                list.circuits[i] = qint16(i);
            }
        });
        const ShotList before = w.list();
        QByteArray all;
        for (int k = 0; k < EntryCount; ++k)
            all += QStringLiteral("%1 %2;")
                       .arg(
                           before.times[k] > LastValidTime ? 65535 : before.times[k], 4, 16, QLatin1Char('0'))
                       .arg(before.circuits[k], 2, 16, QLatin1Char('0'))
                       .toUpper()
                       .toLatin1();
        bool clicked = false, frameShown = false, abortEnabled = false, sendDisabled = false, closed = false;
        qint64 closingNs = -1;
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (clicked || rig.sim->received().size() < 12 * 8)
                return;
            clicked = true;
            QTimer::singleShot(0, &w, [&] {
                frameShown = !w.Frame2->isHidden();
                abortEnabled = w.Command3->isEnabled();
                sendDisabled = !w.Command2[1]->isEnabled();
                QElapsedTimer stop;
                stop.start();
                w.Command3->click();
                closingNs = stop.nsecsElapsed();
                closed = !w.MSComm1->isOpen();
            });
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();

        QVERIFY(clicked);
        QVERIFY(frameShown);
        QVERIFY(abortEnabled);
        QVERIFY(sendDisabled);
        QVERIFY(closed);
        QVERIFY(rig.isIdle());
        const int records = w.MSComm1->recordsWritten();
        QVERIFY(records >= 12 && records < 170);
        QCOMPARE(rig.prompter->asked.size(), 2);
        QCOMPARE(rig.prompter->asked.last().text,
            QStringLiteral(
                "Das Senden wurde abgebrochen: das Zündgerät hat %1 von 170 Datensätzen erhalten. Seine "
                "Liste ist unvollständig – senden Sie die Liste erneut, bevor gezündet wird.")
                .arg(records));
        // Nothing more arrives: the device holds exactly the records counted.
        QVERIFY(rig.sim->waitForReceived(records * 8));
        QTest::qWait(300);
        QCOMPARE(rig.sim->received(), all.left(records * 8));
        QVERIFY(SameList(w.list(), before));
        qInfo("Abbruch to port closed: %.2f ms", closingNs / 1e6);
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
        QVERIFY(w.ReceiveBuffer().isEmpty());
        QCOMPARE(w.Label1->text(), QStringLiteral("Nr.   Zeit     Kreis"));
        // The window shows the list as loaded meanwhile.
        QCOMPARE(w.List1->item(169)->text(), QStringLiteral("170  00:28:10  A05"));
    }
};

KELTO_TEST_MAIN(TestTransferSend)
#include "tst_transfer_send.moc"
