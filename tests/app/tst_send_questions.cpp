// The questions around a send: before one that would leave the device without a circuit to fire,
// after every completed one (a check is one answer away), and long reports that fit on the screen.
#include "files/csv_file.h"
#include "link_rig.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QTest>
#include <QTime>

namespace {

const QString SendTitle = QStringLiteral("Kommunikation zum Zündgerät");
const QString NoCircuitQuestion
    = QStringLiteral("Die Liste im Editor enthält keinen Schuss mit Zündkreis. Das "
                     "Senden ersetzt die Liste im Zündgerät.\n\nTrotzdem senden?");

// Entries at the times given; circuits by slot (an empty slot may carry one too).
ShotList listOf(const QList<int>& times, const QList<std::pair<int, int>>& circuits)
{
    ShotList list = ListWithTimes(times);
    for (const auto& [slot, code] : circuits)
        list.circuits[slot] = qint16(code);
    return list;
}

QString clock(int seconds) { return QTime(0, 0).addSecs(seconds).toString(QStringLiteral("HH:mm:ss")); }

} // namespace

Q_DECLARE_METATYPE(ShotList)

class TestSendQuestions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sendAsksWhenNoEntryFiresACircuit_data()
    {
        QTest::addColumn<ShotList>("list");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("start list, Nein") << ShotList::startup() << true << false << QByteArray();
        QTest::newRow("start list, Ja")
            << ShotList::startup() << true << true << QByteArray("0000 FF;FFFF FF;");
        // A circuit behind the last entry fires nothing.
        QTest::newRow("circuit on an empty slot only")
            << listOf({ 0, 10 }, { { 5, 37 } }) << true << false << QByteArray();
        QTest::newRow("one entry fires")
            << listOf({ 0, 10 }, { { 1, 37 } }) << false << false << QByteArray("0000 FF;000A 25;");
    }
    void sendAsksWhenNoEntryFiresACircuit()
    {
        QFETCH(ShotList, list);
        QFETCH(bool, asks);
        QFETCH(bool, yes);
        QFETCH(QByteArray, sent);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        w.document().reset(list);
        rig.keepList1Lines(2);
        if (asks)
            rig.prompter->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();
        QVERIFY(rig.isIdle());

        const QList<ScriptedPrompter::Asked>& asked = rig.prompter->asked;
        // The question, the Load box, the question about a check: as far as the answers go.
        QCOMPARE(asked.size(), asks ? (yes ? 3 : 1) : 2);
        if (asks) {
            QCOMPARE(asked[0].title, SendTitle);
            QCOMPARE(asked[0].text, NoCircuitQuestion);
            QCOMPARE(asked[0].buttons, Prompter::Buttons::YesNo);
            QCOMPARE(asked[0].defaultButton, Prompter::Answer::No);
        }
        if (asked.size() > 1)
            QVERIFY(asked[asks ? 1 : 0].text.startsWith(QStringLiteral("Bitte Empfangsbereitschaft")));
        if (!sent.isEmpty())
            QVERIFY(rig.sim->waitForReceived(sent.size()));
        QCOMPARE(rig.sim->received(), sent);
    }

    void completedSendOffersTheCheck_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("text");
        QTest::newRow("Nein") << 2 << false
                              << "Die Liste ist gesendet (2 Datensätze).\n\n"
                                 "Jetzt mit der Liste im Zündgerät vergleichen?";
        QTest::newRow("Ja, one record") << 1 << true
                                        << "Die Liste ist gesendet (1 Datensatz).\n\n"
                                           "Jetzt mit der Liste im Zündgerät vergleichen?";
    }
    void completedSendOffersTheCheck()
    {
        QFETCH(int, records);
        QFETCH(bool, yes);
        QFETCH(QString, text);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        w.document().reset(listOf({ 0, 5 }, { { 0, 37 } }));
        rig.keepList1Lines(records);
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        rig.prompter->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        w.Command2[1]->click();
        QVERIFY(rig.sim->waitForReceived(records * 8));

        QCOMPARE(rig.prompter->asked.size(), 2);
        const ScriptedPrompter::Asked& question = rig.prompter->asked[1];
        QCOMPARE(question.title, SendTitle);
        QCOMPARE(question.text, text);
        QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(question.defaultButton, Prompter::Answer::Yes);
        if (!yes) {
            QVERIFY(rig.isIdle());
            return;
        }
        // "Prüfen" runs: the device is asked for its list, the editor's stays as it is.
        QVERIFY(w.Receiving());
        QVERIFY(!w.Frame2->isHidden());
        QCOMPARE(w.List1->count(), records); // not emptied, as a receive would
        rig.sim->command("back");
        QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle() && rig.prompter->asked.size() == 3, 10000);
        QCOMPARE(rig.prompter->asked[2].title, QStringLiteral("Vergleich mit dem Zündgerät"));
        // One record went out; the device holds the first entry only.
        QCOMPARE(rig.prompter->asked[2].text,
            QStringLiteral("Die Liste im Zündgerät weicht in 1 Eintrag von der Liste im Editor ab:\n"
                           "Nr. 002: Editor 00:00:05 ---, Zündgerät --:--:-- ---"));
    }

    // 25 circuits used twice, 30 entries the device does not hold, 170 and 250 refused rows of a table:
    // 20 lines in the box, the whole report in its details.
    void longReportsShowTwentyLines_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("count");
        QTest::newRow("circuits used twice") << "doubles" << 25;
        QTest::newRow("comparison") << "comparison" << 30;
        QTest::newRow("170 refused rows") << "csv" << 170;
        QTest::newRow("250 refused rows") << "csv" << 250;
    }
    void longReportsShowTwentyLines()
    {
        QFETCH(QString, report);
        QFETCH(int, count);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        QString head;
        QStringList lines;
        QString tail;
        QString detailsTail;
        if (report == QLatin1String("csv")) {
            QByteArray table = "Zeit;Zündgerät;Kreis\r\n";
            for (int row = 0; row < count; ++row)
                table += "5;K;2\r\n";
            QFile file(QStringLiteral("kaputt.csv"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(table);
            file.close();
            const QString path = QFileInfo(file).absoluteFilePath();
            rig.prompter->setNextFile(path);
            w.Command5_Click(2);
            rig.prompter->asked.removeFirst(); // the file dialog
            // The refusals go to the import preview, which scrolls; no box opens.
            QStringList lines;
            for (int row = 0; row < qMin(count, EntryCount); ++row)
                lines.append(QStringLiteral("Zeile %1: unbekanntes Zündgerät \"K\"").arg(row + 2));
            QCOMPARE(rig.prompter->asked.size(), 1);
            QVERIFY(rig.prompter->asked[0].isImport);
            QVERIFY(!rig.prompter->previews.constLast().list);
            QCOMPARE(rig.prompter->previews.constLast().problems.mid(0, lines.size()), lines);
            QVERIFY(SameList(w.list(), ShotList::startup()));
            return;
        } else {
            QList<int> times;
            QList<std::pair<int, int>> circuits;
            const int entries = report == QLatin1String("comparison") ? count : 2 * count;
            for (int k = 0; k < entries; ++k) {
                times.append(10 * k);
                circuits.append({ k, report == QLatin1String("comparison") ? k : k / 2 });
            }
            w.document().reset(listOf(times, circuits));
        }
        if (report == QLatin1String("comparison")) {
            w.Command2[2]->click();
            rig.sim->command("back");
            QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle() && !rig.prompter->asked.isEmpty(), 10000);
            head = QStringLiteral(
                "Die Liste im Zündgerät weicht in 30 Einträgen von der Liste im Editor ab:\n");
            for (int k = 0; k < count; ++k)
                lines.append(QStringLiteral("Nr. %1: Editor %2 A%3, Zündgerät --:--:-- ---")
                                 .arg(k + 1, 3, 10, QLatin1Char('0'))
                                 .arg(clock(10 * k))
                                 .arg(k, 2, 10, QLatin1Char('0')));
        } else if (report == QLatin1String("doubles")) {
            w.Command2[1]->click();
            QVERIFY(rig.isIdle());
            QVERIFY(rig.sim->received().isEmpty());
            head = QStringLiteral("Doppelt belegt:\n");
            for (int k = 0; k < count; ++k)
                lines.append(QStringLiteral("A%1 (Nr. %2 und Nr. %3)")
                                 .arg(k, 2, 10, QLatin1Char('0'))
                                 .arg(2 * k + 1)
                                 .arg(2 * k + 2));
            tail = QStringLiteral("\n\nTrotzdem senden?");
        }
        QCOMPARE(rig.prompter->asked.size(), 1);
        const ScriptedPrompter::Asked& box = rig.prompter->asked[0];
        QCOMPARE(box.text,
            head + lines.mid(0, 20).join('\n') + QStringLiteral("\n… und %1 weitere").arg(lines.size() - 20)
                + tail);
        QCOMPARE(box.details, head + lines.join('\n') + detailsTail);
    }
};

KELTO_TEST_MAIN(TestSendQuestions)
#include "tst_send_questions.moc"
