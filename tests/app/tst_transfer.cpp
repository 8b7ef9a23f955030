#include "link_rig.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "widgets.h"

#include <QDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QString Header = QStringLiteral("Nr.   Zeit     Kreis");

// Entries for the simulator's "list FILE": slot 3 falls below slot 2 and is pushed up by the refresh.
const QByteArray DeviceEntries = "0000 FF\r\n005A 23\r\n0064 00\r\n0050 E0\r\nFEFF FE\r\n";
const QStringList DecodedLines { "001  00:00:00  ---", "002  00:01:30  B03", "003  00:01:40  A00",
    "004  00:01:41  H00", "005  18:07:59  H30", "006  --:--:--  ---" };
const QString DecodedStatistics
    = QStringLiteral("Anzahl Einträge: 170\r\nAnzahl Schüsse: 5\r\nZeitdauer : 18:07:59\r\nnoch frei: 165");

QString writeDeviceList()
{
    QFile file(QStringLiteral("device-list.txt"));
    if (!file.open(QIODevice::WriteOnly) || file.write(DeviceEntries) != DeviceEntries.size())
        qFatal("cannot write the device list");
    return QFileInfo(file).absoluteFilePath();
}

// A 1530-character list with printable fillers, so that pieces of it can go out as "raw" text.
QByteArray printableList()
{
    QByteArray out = "0000 FF;;005A 23;;";
    while (out.size() < 1530)
        out += "FFFF FF;;";
    return out;
}

ShotList mixedList()
{
    ShotList list = ShotList::startup();
    const qint32 times[] = { 0, 90, 100, 3600 };
    const qint16 circuits[] = { 255, 35, 0, 224 };
    for (int i = 0; i < 4; ++i) {
        list.times[i] = times[i];
        list.circuits[i] = circuits[i];
    }
    return list;
}

// A window that shows the mixed list.
bool startWithMixedList(LinkRig& rig, int port = 1, const QStringList& simOptions = {})
{
    if (!rig.start(port, simOptions))
        return false;
    rig.window->document().reset(mixedList());
    return true;
}

QStringList lines(QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

// Characters waiting unread at a closed port (the kernel keeps them for a pseudo-terminal).
int waitingAt(const QString& device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    int waiting = 0;
    ::ioctl(fd, FIONREAD, &waiting);
    ::close(fd);
    return waiting;
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void receiveCompletesAndDecodes_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<int>("minNotifications");
        QTest::newRow("one chunk on COM3") << 3 << QStringList { "--filler", " ;\\n" } << 1;
        QTest::newRow("one character at a time, lower case")
            << 1 << QStringList { "--chunk", "1", "--baud", "9600", "--lower", "--filler", "\\x00\\xff\\r" }
            << 50;
        QTest::newRow("9-character chunks, digits as fillers")
            << 8 << QStringList { "--chunk", "9", "--gap", "1", "--filler", "0F;" } << 5;
    }
    void receiveCompletesAndDecodes()
    {
        QFETCH(int, port);
        QFETCH(QStringList, simOptions);
        QFETCH(int, minNotifications);
        LinkRig rig;
        QVERIFY(startWithMixedList(rig, port, simOptions));
        Form1& w = *rig.window;
        QCOMPARE(w.Combo1->toolTip(), rig.pty.editorEnd());

        w.Command2[0]->click();
        QVERIFY(w.Receiving());
        QVERIFY(!w.Frame2->isHidden());
        QVERIFY(!w.Command2[0]->isEnabled() && !w.Command2[1]->isEnabled());
        QCOMPARE(w.List1->count(), 0);
        QCOMPARE(w.Label3->text(),
            QStringLiteral(
                "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt 'Save' im Edit-Menü starten..."));

        QSignalSpy notifications(&w.MSComm1->port(), &QSerialPort::readyRead);
        rig.sim->command("list " + QFile::encodeName(writeDeviceList()));
        QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle(), 10000);
        QVERIFY2(
            notifications.count() >= minNotifications, qPrintable(QString::number(notifications.count())));
        QCOMPARE(w.ReceiveBuffer().size(), 1530);
        QCOMPARE(lines(w.List1).mid(0, 6), DecodedLines);
        QCOMPARE(w.List1->count(), 170);
        QCOMPARE(w.List2->count(), 170);
        QCOMPARE(w.list().times[3], 101);
        QCOMPARE(w.list().circuits[3], qint16(224));
        QCOMPARE(w.list().times[SentinelSlot], 65535);
        QCOMPARE(w.Label1->text(), Header);
        QCOMPARE(w.Label4->text(), DecodedStatistics);
        QCOMPARE(w.document().entryCount(), 5);
        QVERIFY(rig.prompter->asked.isEmpty());
    }

    // "Prüfen" receives like "Empfang" but only compares: the editor's list, lines and statistics stay.
    void checkComparesAndKeepsList_data()
    {
        QTest::addColumn<QByteArray>("deviceEntries");
        QTest::addColumn<QString>("report");
        QTest::newRow("same") << QByteArray("0000 FF\r\n005A 23\r\n0064 00\r\n0E10 E0\r\n")
                              << "Die Liste im Zündgerät stimmt mit der Liste im Editor überein.";
        QTest::newRow("differs")
            << QByteArray("0000 FF\r\n005B 23\r\n0064 00\r\n")
            << "Die Liste im Zündgerät weicht in 2 Einträgen von der Liste im Editor ab:\n"
               "Nr. 002: Editor 00:01:30 B03, Zündgerät 00:01:31 B03\n"
               "Nr. 004: Editor 01:00:00 H00, Zündgerät --:--:-- ---";
        QTest::newRow("aborted") << QByteArray() << "";
    }
    void checkComparesAndKeepsList()
    {
        QFETCH(QByteArray, deviceEntries);
        QFETCH(QString, report);
        LinkRig rig;
        QVERIFY(startWithMixedList(rig));
        Form1& w = *rig.window;
        const ShotList before = w.list();
        const QStringList list1Before = lines(w.List1);
        const QStringList list2Before = lines(w.List2);
        const QString statistics = w.Label4->text();

        w.Command2[2]->click();
        QVERIFY(w.Receiving());
        QVERIFY(!w.Frame2->isHidden());
        QVERIFY(!w.Command2[0]->isEnabled() && !w.Command2[1]->isEnabled() && !w.Command2[2]->isEnabled());
        QCOMPARE(w.Label3->text(),
            QStringLiteral(
                "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt 'Save' im Edit-Menü starten..."));
        if (deviceEntries.isEmpty()) {
            QVERIFY(rig.sim->send("raw " + printableList().left(20)));
            QTRY_COMPARE(w.Label1->text(), QStringLiteral("20 / 2.2"));
            w.Command3->click();
        } else {
            QFile file(QStringLiteral("device-list.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(deviceEntries);
            file.close();
            rig.sim->command("list " + QFile::encodeName(QFileInfo(file).absoluteFilePath()));
            QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle(), 10000);
        }
        QVERIFY(rig.isIdle());
        QVERIFY(SameList(w.list(), before));
        QCOMPARE(lines(w.List1), list1Before);
        QCOMPARE(lines(w.List2), list2Before);
        QCOMPARE(w.Label1->text(), Header);
        QCOMPARE(w.Label4->text(), statistics);
        if (report.isEmpty()) {
            QVERIFY(rig.prompter->asked.isEmpty());
            return;
        }
        QCOMPARE(rig.prompter->asked.size(), 1);
        QCOMPARE(rig.prompter->asked[0].title, QStringLiteral("Vergleich mit dem Zündgerät"));
        QCOMPARE(rig.prompter->asked[0].text, report);
    }

    // The device's characters keep coming while a box of the editor is open; the check completes
    // and compares with the list as it stands when the last character is in.
    void checkCompletesWhileBoxIsOpen()
    {
        LinkRig rig;
        QVERIFY(startWithMixedList(rig));
        Form1& w = *rig.window;
        w.Command2[2]->click();
        rig.sim->command("back");
        ScriptedPrompter::Asked comparison;
        QTimer::singleShot(0, &w, [&] {
            QDialog box(&w);
            QTimer::singleShot(0, &box, [&] {
                // Inside the box: wait for the check to finish, then close.
                if (!QTest::qWaitFor([&] { return !w.Receiving(); }, 10000))
                    qWarning("the check did not complete while the box was open");
                box.accept();
            });
            box.exec();
        });
        QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle() && !rig.prompter->asked.isEmpty(), 10000);
        comparison = rig.prompter->asked[0];
        QCOMPARE(comparison.title, QStringLiteral("Vergleich mit dem Zündgerät"));
        // Nothing was sent, so the device gives back 170 empty records.
        QVERIFY2(comparison.text.startsWith(QStringLiteral("Die Liste im Zündgerät weicht in 4 Einträgen")),
            qPrintable(comparison.text));
    }

    // "Prüfen" sits below "Senden", as large, fully on the page.
    void checkButtonBelowSend()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SSTab1->setCurrentIndex(0);
        QCOMPARE(w.Command2[2]->text(), QStringLiteral("Prüfen"));
        QCOMPARE(w.Command2[2]->objectName(), QStringLiteral("Command2_2"));
        QCOMPARE(w.Command2[2]->size(), w.Command2[1]->size());
        QCOMPARE(w.Command2[2]->x(), w.Command2[1]->x());
        QVERIFY(w.Command2[2]->y() > w.Command2[1]->geometry().bottom());
        QWidget* page = w.Command2[2]->parentWidget();
        const QRect onPage(w.Command2[2]->mapTo(w.SSTab1, QPoint(0, 0)), w.Command2[2]->size());
        QVERIFY(page->geometry().contains(w.Command2[2]->geometry()));
        QVERIFY2(w.SSTab1->rect().contains(onPage),
            qPrintable(QStringLiteral("%1 %2").arg(onPage.bottom()).arg(w.SSTab1->height())));
        const QRect visiblePage(
            w.SSTab1->currentWidget()->mapTo(w.SSTab1, QPoint(0, 0)), w.SSTab1->currentWidget()->size());
        QVERIFY(visiblePage.contains(onPage));
    }

    void progressCountsEveryNotification_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("point");
        QTest::newRow("decimal point") << QLocale(QLocale::English, QLocale::UnitedStates) << ".";
        QTest::newRow("decimal comma") << QLocale(QLocale::German, QLocale::Germany) << ",";
    }
    void progressCountsEveryNotification()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, point);
        const QLocale saved;
        QLocale::setDefault(locale);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        w.Command2[0]->click();
        const QByteArray list = printableList();
        const struct {
            int from, to;
            const char* caption;
        } steps[]
            = { { 0, 1, "1 / .1" }, { 1, 9, "9 / 1." }, { 9, 10, "10 / 1.1" }, { 10, 1529, "1529 / 169.9" } };
        for (const auto& step : steps) {
            QVERIFY(rig.sim->send("raw " + list.mid(step.from, step.to - step.from)));
            QTRY_COMPARE(w.Label1->text(), QString::fromLatin1(step.caption).replace('.', point));
            QVERIFY(w.Receiving());
        }
        QVERIFY(rig.sim->send("raw " + list.mid(1529)));
        QTRY_VERIFY(rig.isIdle());
        QLocale::setDefault(saved);
        QCOMPARE(w.Label1->text(), Header);
        QCOMPARE(w.List1->item(1)->text(), QStringLiteral("002  00:01:30  B03"));
    }

    void overlongReceiveNeverCompletes_data()
    {
        QTest::addColumn<QList<int>>("chunks");
        QTest::newRow("1531 in one chunk") << QList<int> { 1531 };
        QTest::newRow("1529, then 2") << QList<int> { 1529, 2 };
    }
    void overlongReceiveNeverCompletes()
    {
        QFETCH(QList<int>, chunks);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        const ShotList before = w.list();
        w.Command2[0]->click();
        const QByteArray text = printableList() + "x";
        int at = 0;
        for (int size : chunks) {
            QVERIFY(rig.sim->send("raw " + text.mid(at, size)));
            at += size;
            QTRY_COMPARE(w.ReceiveBuffer().size(), at);
        }
        QCOMPARE(w.Label1->text(), QStringLiteral("1531 / 170.1"));
        QVERIFY(w.Receiving());
        QVERIFY(!w.Frame2->isHidden());
        QCOMPARE(w.List1->count(), 0);
        QVERIFY(SameList(w.list(), before));

        w.Command3->click();
        QVERIFY(rig.isIdle());
        QVERIFY(SameList(w.list(), before));
    }

    void abortKeepsListAndLaterCharactersAreDropped()
    {
        LinkRig rig;
        QVERIFY(startWithMixedList(rig));
        Form1& w = *rig.window;
        const ShotList before = w.list();
        const QStringList list1Before = lines(w.List1);
        const QStringList list2Before = lines(w.List2);
        const QString statistics = w.Label4->text();

        w.Command2[0]->click();
        QVERIFY(rig.sim->send("raw " + printableList().left(500)));
        QTRY_COMPARE(w.Label1->text(), QStringLiteral("500 / 55.6"));
        w.Command3->click();
        QVERIFY(rig.isIdle());
        QVERIFY(SameList(w.list(), before));
        // Both lists and the statistics are rebuilt from the unchanged list.
        QCOMPARE(lines(w.List1), list1Before);
        QCOMPARE(lines(w.List2), list2Before);
        QCOMPARE(w.Label1->text(), Header);
        QCOMPARE(w.ReceiveBuffer().size(), 500);
        QCOMPARE(w.Label4->text(), statistics);

        // Characters sent while the port is closed wait at the port; the next receive starts clean.
        QVERIFY(rig.sim->send("raw " + printableList().left(100)));
        QTRY_COMPARE(waitingAt(rig.pty.editorEnd()), 100);
        QCOMPARE(w.ReceiveBuffer().size(), 500);
        w.Command2[0]->click();
        QCOMPARE(w.ReceiveBuffer().size(), 0);
        rig.sim->command("list " + QFile::encodeName(writeDeviceList()));
        QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle(), 10000);
        QCOMPARE(lines(w.List1).mid(0, 6), DecodedLines);
    }

    void sendsNothingWhenCancelledOrList1Empty_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("List1 empty") << false;
    }
    // A box the user opens during a send (saving a file, say) must not hold up the records.
    void openBoxDoesNotHoldUpSend()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        rig.keepList1Lines(20);
        int recordsWhileOpen = -1;
        bool boxOpened = false;
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (boxOpened || rig.sim->received().size() < 3 * 8)
                return;
            boxOpened = true;
            QTimer::singleShot(0, &w, [&] {
                QDialog box(&w);
                const qsizetype before = rig.sim->received().size();
                QTimer::singleShot(800, &box, &QDialog::accept);
                box.exec();
                recordsWhileOpen = int((rig.sim->received().size() - before) / 8);
            });
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();
        QVERIFY(rig.sim->waitForReceived(20 * 8));
        QVERIFY(rig.isIdle());
        QVERIFY2(recordsWhileOpen >= 5, qPrintable(QString::number(recordsWhileOpen)));
        QCOMPARE(rig.sim->received(), QByteArray("0000 FF;") + QByteArray("FFFF FF;").repeated(19));
    }

    void sendsNothingWhenCancelledOrList1Empty()
    {
        QFETCH(bool, cancel);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        if (!cancel)
            rig.keepList1Lines(0);
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(cancel ? Prompter::Answer::Cancel : Prompter::Answer::Ok);
        w.Command2[1]->click();
        QVERIFY(rig.isIdle());
        QCOMPARE(rig.prompter->asked.size(), cancel ? 2 : 3);
        const ScriptedPrompter::Asked& box = rig.prompter->asked[1];
        QCOMPARE(box.title, QStringLiteral("Kommunikation zum Zündgerät"));
        QCOMPARE(box.text,
            QStringLiteral("Bitte Empfangsbereitschaft am Zündgerät mit dem Menüpunkt 'Load' im Edit-Menü "
                           "herstellen..."));
        QCOMPARE(box.buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(box.defaultButton, Prompter::Answer::Ok);
        if (!cancel)
            QCOMPARE(w.Label4->text(),
                QStringLiteral("Anzahl Einträge: 0\r\nAnzahl Schüsse: 0\r\nZeitdauer : \r\nnoch frei: 170"));

        // A one-record send afterwards: the device sees that record and nothing before it.
        w.RefreshLists();
        rig.keepList1Lines(1);
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();
        QVERIFY(rig.sim->waitForReceived(8));
        QCOMPARE(rig.sim->received(), QByteArray("0000 FF;"));
    }

    void openFailureReportsPortAndStaysIdle_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QString>("reason");
        const QString notFound = QStringLiteral("Das Gerät wurde nicht gefunden.");
        const QString busy
            = QStringLiteral("Die Schnittstelle ist belegt oder der Zugriff ist nicht erlaubt.");
        QTest::newRow("receive, missing device") << 0 << true << notFound;
        QTest::newRow("send, port in use") << 1 << false << busy;
    }
    void openFailureReportsPortAndStaysIdle()
    {
        QFETCH(int, button);
        QFETCH(bool, missing);
        QFETCH(QString, reason);
        LinkRig rig;
        QVERIFY(rig.start(2));
        QSerialPort other(rig.pty.editorEnd());
        if (missing)
            qputenv("KELTO_COM2", "/nonexistent/kelto-port");
        else
            QVERIFY(other.open(QIODevice::ReadWrite));
        Form1& w = *rig.window;
        w.Combo1->setCurrentIndex(0);
        w.Combo1->setCurrentIndex(1);
        const QString device = w.Combo1->toolTip();
        QCOMPARE(device, missing ? QStringLiteral("/nonexistent/kelto-port") : rig.pty.editorEnd());
        const ShotList before = w.list();
        const QStringList list1Before = lines(w.List1);

        w.Command2[button]->click();
        QVERIFY(rig.isIdle());
        QCOMPARE(rig.prompter->asked.size(), 1);
        const QString expected
            = QStringLiteral("Die Schnittstelle COM2 (Gerät: %1) lässt sich nicht öffnen.\nGrund: %2")
                  .arg(device, reason);
        QVERIFY2(rig.prompter->asked[0].text.startsWith(expected), qPrintable(rig.prompter->asked[0].text));
        QCOMPARE(rig.prompter->asked[0].title, QStringLiteral("Kelto"));
        QVERIFY(SameList(w.list(), before));
        QCOMPARE(lines(w.List1), list1Before);
    }

    void portLostDuringReceiveEndsInIdle_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("Empfang") << 0;
        QTest::newRow("Prüfen") << 2;
    }
    void portLostDuringReceiveEndsInIdle()
    {
        QFETCH(int, button);
        LinkRig rig;
        QVERIFY(startWithMixedList(rig));
        Form1& w = *rig.window;
        const ShotList before = w.list();
        const QStringList list1Before = lines(w.List1);
        const QString statistics = w.Label4->text();
        w.Command2[button]->click();
        QVERIFY(rig.sim->send("raw " + printableList().left(100)));
        QTRY_COMPARE(w.Label1->text(), QStringLiteral("100 / 11.1"));

        rig.pty.stop();
        QTRY_VERIFY(rig.isIdle());
        QCOMPARE(rig.prompter->asked.size(), 1);
        const QString text = rig.prompter->asked[0].text;
        QVERIFY2(text.startsWith(QStringLiteral(
                     "Die Verbindung über die Schnittstelle COM1 (Gerät: %1) ist unterbrochen.")
                                     .arg(rig.pty.editorEnd())),
            qPrintable(text));
        QVERIFY2(text.endsWith(
                     QStringLiteral("Der Empfang wurde abgebrochen; die Liste im Editor ist unverändert.")),
            qPrintable(text));
        QVERIFY(SameList(w.list(), before));
        QCOMPARE(lines(w.List1), list1Before);
        QCOMPARE(w.Label1->text(), Header);
        QCOMPARE(w.Label4->text(), statistics);
    }

    // After "Abbruch" the lists are whole again, so a send carries all 170 records.
    void sendAfterAbortCarriesWholeList()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        w.Command2[0]->click();
        w.Command3->click();
        QVERIFY(rig.isIdle());
        QString shownAfterFirst;
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (shownAfterFirst.isEmpty())
                shownAfterFirst = w.Label4->text();
            if (rig.sim->received().size() >= 2 * 8)
                rig.pty.stop();
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();
        QVERIFY(rig.isIdle());
        QVERIFY(shownAfterFirst.endsWith(QStringLiteral(" / 170")));
        QCOMPARE(rig.prompter->asked.size(), 3);
        QVERIFY2(rig.prompter->asked[2].text.contains(QStringLiteral(" von 170 abgebrochen.")),
            qPrintable(rig.prompter->asked[2].text));
        QVERIFY(rig.sim->received().startsWith("0000 FF;FFFF FF;"));
    }

    // Circuits fired twice are named in an extra question before a send, default No; without them the
    // send begins with the usual box.
    void doubleCircuitsAskBeforeSending_data()
    {
        QTest::addColumn<bool>("doubled");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("none") << false << false << QByteArray("0000 25;005A 26;");
        QTest::newRow("doubled, no") << true << false << QByteArray();
        QTest::newRow("doubled, yes") << true << true << QByteArray("0000 25;005A 25;");
    }
    void doubleCircuitsAskBeforeSending()
    {
        QFETCH(bool, doubled);
        QFETCH(bool, yes);
        QFETCH(QByteArray, sent);
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        ShotList list = ListWithTimes({ 0, 90 });
        list.circuits[0] = 37;
        list.circuits[1] = doubled ? 37 : 38;
        w.document().reset(list);
        rig.keepList1Lines(2);
        if (doubled)
            rig.prompter->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command2[1]->click();
        QVERIFY(rig.isIdle());

        const QString send = QStringLiteral("Kommunikation zum Zündgerät");
        // A completed send ends with the question about a check.
        QCOMPARE(rig.prompter->asked.size(), doubled ? (yes ? 3 : 1) : 2);
        if (doubled) {
            QCOMPARE(rig.prompter->asked[0].title, send);
            QCOMPARE(rig.prompter->asked[0].text,
                QStringLiteral("Doppelt belegt:\nB05 (Nr. 1 und Nr. 2)\n\nTrotzdem senden?"));
            QCOMPARE(rig.prompter->asked[0].buttons, Prompter::Buttons::YesNo);
            QCOMPARE(rig.prompter->asked[0].defaultButton, Prompter::Answer::No);
        } else {
            QVERIFY(rig.prompter->asked[0].text.startsWith(QStringLiteral("Bitte Empfangsbereitschaft")));
        }
        if (!sent.isEmpty())
            QVERIFY(rig.sim->waitForReceived(sent.size()));
        QCOMPARE(rig.sim->received(), sent);
    }

    void portLostDuringSendEndsInIdle()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        rig.keepList1Lines(50);
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (rig.sim->received().size() == 3 * 8)
                rig.pty.stop();
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        QElapsedTimer clock;
        clock.start();
        w.Command2[1]->click();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(rig.isIdle());
        // No question about a check after a send that failed.
        QCOMPARE(rig.prompter->asked.size(), 3);
        const QString text = rig.prompter->asked[2].text;
        QVERIFY2(text.contains(QStringLiteral("Das Senden wurde nach Datensatz ")), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral(
                     " von 50 abgebrochen. Das Zündgerät hat die Liste nicht vollständig erhalten.")),
            qPrintable(text));
        QVERIFY(w.Label4->text().startsWith(QStringLiteral("Anzahl Einträge: 50\r\n")));
    }

    void quittingDuringSendStopsIt()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        Form1& w = *rig.window;
        w.show();
        rig.keepList1Lines(50);
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (rig.sim->received().size() == 3 * 8)
                w.Command1->click();
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        QElapsedTimer clock;
        QTimer::singleShot(0, &w, [&] {
            clock.start();
            w.Command2[1]->click();
        });
        QTimer watchdog;
        watchdog.callOnTimeout([] { QCoreApplication::exit(1); });
        watchdog.start(20000);
        const int exitCode = QApplication::exec();
        // Closing the last window also posted a quit request; it must not end the next test's loops.
        QCoreApplication::removePostedEvents(qApp, QEvent::Quit);
        QCOMPARE(exitCode, 0);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.isVisible());
        QVERIFY(!w.MSComm1->isOpen());
        QVERIFY(rig.sim->received().size() < 10 * 8);
        QCOMPARE(rig.sim->received().size() % 8, 0);
    }

    void windowDestroyedDuringSend()
    {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.keepList1Lines(50);
        QPointer<Form1> window = rig.window.get();
        rig.sim->onChunk = [&](const SimDriver::Chunk&) {
            if (rig.sim->received().size() == 3 * 8)
                rig.window.reset();
        };
        rig.prompter->setNextAnswer(Prompter::Answer::Yes); // a list without circuit
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        QElapsedTimer clock;
        clock.start();
        window->Command2_Click(1);
        QVERIFY(!window);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }
};

KELTO_TEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
