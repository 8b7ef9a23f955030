// A whole show's life as a crew member lives it: new folder, typing the show, saving, the next
// start, sending to the device and receiving it back; only through clicks, keys and answers.
#include "device_sim.h"
#include "form1.h"
#include "pty_pair.h"
#include "scripted_prompter.h"
#include "test_main.h"
#include "widgets.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

struct Shot {
    int gapToNext; // seconds typed as "until the next ignition"; 0 on the last entry
    int device; // index in the device box
    int circuit;
};

// Twelve entries: gaps, devices and circuits as typed.
const QList<Shot> Show { { 5, 0, 1 }, { 12, 1, 7 }, { 3, 2, 29 }, { 30, 0, 0 }, { 8, 7, 30 }, { 10, 1, 12 },
    { 7, 3, 5 }, { 15, 4, 3 }, { 4, 5, 9 }, { 60, 6, 28 }, { 2, 2, 2 }, { 0, 0, 27 } };

const QString Comment = QStringLiteral("Silvester 2026 – Hafen");

void clickTab(Form1& w, int page)
{
    QTabBar* bar = w.SSTab1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    QCOMPARE(w.SSTab1->currentIndex(), page);
}

void clickLine(QListWidget* list, int row)
{
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

QWidget* focused() { return QApplication::focusWidget(); }

void type(const QString& text) { QTest::keyClicks(focused(), text); }

void press(Qt::Key key) { QTest::keyClick(focused(), key); }

bool activate(QWidget& w)
{
    w.show();
    w.activateWindow();
    w.raise();
    return QTest::qWaitForWindowActive(&w);
}

// Times of the show as typed, with one later gap widened by `shift` seconds after entry `at`.
QList<int> expectedTimes(int at = -1, int shift = 0)
{
    QList<int> times { 0 };
    for (int i = 0; i + 1 < Show.size(); ++i)
        times.append(times.last() + Show[i].gapToNext + (i == at ? shift : 0));
    return times;
}

QByteArray entryLine(int time, int code)
{
    return QStringLiteral("%1 %2")
        .arg(time, 4, 16, QLatin1Char('0'))
        .arg(code, 2, 16, QLatin1Char('0'))
        .toUpper()
        .toLatin1();
}

QByteArray expectedEntryLines(const QList<int>& times)
{
    QByteArray lines;
    for (int k = 0; k < 170; ++k) {
        if (k < times.size())
            lines += entryLine(times[k], Show[k].device * 32 + Show[k].circuit) + "\r\n";
        else
            lines += "FFFF FF\r\n";
    }
    return lines;
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

} // namespace

class TestShowLifecycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showFromFolderToDeviceAndBack()
    {
        PtyPair pty;
        QVERIFY2(pty.isReady(), pty.log().constData());
        qputenv("KELTO_COM2", QFile::encodeName(pty.editorEnd()));
        SimDriver device(pty.deviceEnd(), { QStringLiteral("--chunk"), QStringLiteral("9") });
        QVERIFY(device.waitReady());

        // 1. A new folder for the show, remembered with COM2.
        auto* firstPrompter = new ScriptedPrompter;
        Form1 first { std::unique_ptr<Prompter>(firstPrompter) };
        QVERIFY(activate(first));
        QCOMPARE(first.SSTab1->currentIndex(), 1);
        firstPrompter->setNextInput(QStringLiteral("hafen"));
        QTest::mouseClick(first.Command4[3], Qt::LeftButton);
        const QString folder = QDir::current().filePath(QStringLiteral("hafen")) + QLatin1Char('/');
        QCOMPARE(first.CurrentFolder, folder);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(first.File1->count(), 0);

        clickTab(first, 0);
        first.Combo1->setFocus();
        press(Qt::Key_Down);
        QCOMPARE(first.Combo1->currentText(), QStringLiteral("COM2"));
        clickTab(first, 1);
        QTest::mouseClick(first.Command4[2], Qt::LeftButton);
        QFile ini(first.TempFolder + QStringLiteral("kelto.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QFile::encodeName(folder) + "\r\nCOM2\r\n");
        ini.close();

        // 2. Twelve entries typed from the keyboard: gap, device, circuit, on to the next line.
        clickTab(first, 2);
        clickLine(first.List2, 0);
        QCOMPARE(first.List2->currentRow(), 0);
        first.List2->setFocus();
        for (int k = 0; k < Show.size(); ++k) {
            QCOMPARE(first.List2->currentRow(), k);
            press(Qt::Key_Return);
            QCOMPARE(focused(), first.Text2[2]);
            if (Show[k].gapToNext > 0)
                type(QString::number(Show[k].gapToNext));
            press(Qt::Key_Return);
            QCOMPARE(focused(), first.Combo2);
            press(Qt::Key_Home);
            for (int d = 0; d < Show[k].device; ++d)
                press(Qt::Key_Down);
            press(Qt::Key_Return);
            QCOMPARE(focused(), first.Text2[3]);
            type(QString::number(Show[k].circuit));
            press(Qt::Key_Return);
            QCOMPARE(focused(), first.List2);
        }
        QCOMPARE(first.document().entryCount(), 12);
        QList<int> times = expectedTimes();
        for (int k = 0; k < 12; ++k)
            QCOMPARE(first.list().times[k], times[k]);

        // A gap in the middle widened by 15 s: every later entry moves with it.
        clickLine(first.List2, 5);
        press(Qt::Key_Return);
        QCOMPARE(first.Text2[2]->text(), QStringLiteral("10"));
        type(QStringLiteral("25"));
        press(Qt::Key_Return);
        times = expectedTimes(5, 15);
        for (int k = 0; k < 12; ++k)
            QCOMPARE(first.list().times[k], times[k]);
        QCOMPARE(first.List2->item(11)->text(), QStringLiteral("012  00:02:51 (000 s)  A27"));
        QCOMPARE(first.List2->currentRow(), 5);

        // 3. Saved under the proposed name.
        clickTab(first, 1);
        QVERIFY(first.Command4[1]->isEnabled());
        firstPrompter->setNextInput(Comment);
        firstPrompter->setNextInput(QStringLiteral("fw_000"));
        const int asked = int(firstPrompter->asked.size());
        QTest::mouseClick(first.Command4[1], Qt::LeftButton);
        QCOMPARE(firstPrompter->asked.size(), asked + 2);
        QCOMPARE(firstPrompter->asked[asked + 1].defaultText, QStringLiteral("fw_000"));
        QFile saved(folder + QStringLiteral("fw_000.fsl"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray entryLines = expectedEntryLines(times);
        QCOMPARE(saved.readAll(),
            QByteArray("Feuerwerk-Schussliste Pelorandistrake\r\n"
                       "Silvester 2026 \x96 Hafen\r\n"
                       "Anzahl Eintr\xe4ge: 170\r\n"
                       "Anzahl Sch\xfcsse: 12\r\n"
                       "Zeitdauer : 00:02:51\r\n"
                       "noch frei: 158\r\n")
                + entryLines);
        saved.close();

        // 4. The next start: folder, port and the saved list come back.
        auto* secondPrompter = new ScriptedPrompter;
        Form1 second { std::unique_ptr<Prompter>(secondPrompter) };
        QVERIFY(activate(second));
        QCOMPARE(second.Combo1->currentText(), QStringLiteral("COM2"));
        QCOMPARE(second.CurrentFolder, folder);
        QCOMPARE(second.File1->currentItem()->text(), QStringLiteral("fw_000.fsl"));
        QCOMPARE(second.Text1->toPlainText(), Comment);
        QVERIFY(
            second.Label5->text().startsWith(QStringLiteral("Anzahl Einträge: 170\r\nAnzahl Schüsse: 12")));
        QTest::mouseClick(second.Command4[0], Qt::LeftButton);
        QCOMPARE(second.SSTab1->currentIndex(), 0);
        QCOMPARE(lines(second.List1), lines(first.List1));

        // 5. Sent to the device on COM2: what arrives is the file's entry lines as records.
        secondPrompter->setNextAnswer(Prompter::Answer::Ok);
        QTest::mouseClick(second.Command2[1], Qt::LeftButton);
        QVERIFY(device.waitForReceived(170 * 8));
        QByteArray records = entryLines;
        records.replace("\r\n", ";");
        QCOMPARE(device.received(), records);
        QCOMPARE(second.Label4->text(), first.Label4->text());

        // 6. A changed list is replaced by the device's copy, sent back in 9-character records.
        clickTab(second, 2);
        clickLine(second.List2, 2);
        press(Qt::Key_Return);
        type(QStringLiteral("0"));
        secondPrompter->setNextAnswer(Prompter::Answer::Yes);
        press(Qt::Key_Return);
        QCOMPARE(second.document().entryCount(), 3);
        clickTab(second, 0);
        // The changed list is not saved: the receive asks before it starts.
        secondPrompter->setNextAnswer(Prompter::Answer::Yes);
        QTest::mouseClick(second.Command2[0], Qt::LeftButton);
        QVERIFY(secondPrompter->asked.last().text.startsWith(QStringLiteral("Die Liste im Editor ist nicht gespeichert (3 Schüsse")));
        QVERIFY(second.Receiving());
        QVERIFY(device.send("back"));
        QTRY_VERIFY(!second.Receiving());
        QCOMPARE(second.document().entryCount(), 12);
        for (int k = 0; k < 170; ++k) {
            QCOMPARE(second.list().times[k], first.list().times[k]);
            QCOMPARE(second.list().circuits[k], first.list().circuits[k]);
        }
        QCOMPARE(lines(second.List1), lines(first.List1));
        QCOMPARE(lines(second.List2), lines(first.List2));
    }
};

KELTO_TEST_MAIN(TestShowLifecycle)
#include "tst_show_lifecycle.moc"
