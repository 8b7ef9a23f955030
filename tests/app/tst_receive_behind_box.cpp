#include "files/crew_sheet.h"
#include "fsl_fixtures.h"
#include "link_rig.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// A receive that completes while a box is open replaces the list underneath it: the answer belongs to
// the list the user saw, and nothing acts on the new one.
namespace {

// Five entries the device sends back.
const QByteArrayList DeviceEntries { "0000 21", "0005 22", "0007 23", "0009 24", "000B 25" };

QString writeDeviceList()
{
    QFile file(QStringLiteral("device.fsl"));
    const QByteArray bytes = FslHead("vom Gerät") + FslEntries(DeviceEntries);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the device list");
    return QFileInfo(file).absoluteFilePath();
}

ShotList deviceList()
{
    ShotList list = ListWithTimes({ 0, 5, 7, 9, 11 });
    for (int i = 0; i < 5; ++i)
        list.circuits[i] = qint16(0x21 + i);
    return list;
}

// Starts a receive on a window holding 0, 10, 20, 30; the device sends its list when the first box opens.
bool startReceive(LinkRig& rig, int* boxes)
{
    if (!rig.start())
        return false;
    Form1& w = *rig.window;
    w.show();
    if (!QTest::qWaitForWindowActive(&w))
        return false;
    w.document().reset(ListWithTimes({ 0, 10, 20, 30 }));
    w.Command2[0]->click();
    if (!w.Receiving())
        return false;
    const QByteArray command = "list " + QFile::encodeName(writeDeviceList());
    rig.prompter->whileOpen = [&rig, boxes, command](const ScriptedPrompter::Asked&) {
        if ((*boxes)++ != 0)
            return;
        rig.sim->command(command);
        if (!QTest::qWaitFor([&rig] { return rig.isIdle(); }, 10000))
            qWarning("the list did not arrive");
    };
    return true;
}

} // namespace

class TestReceiveBehindBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deleteRestKeepsReceivedList_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void deleteRestKeepsReceivedList()
    {
        QFETCH(bool, yes);
        LinkRig rig;
        int boxes = 0;
        QVERIFY(startReceive(rig, &boxes));
        Form1& w = *rig.window;
        w.SSTab1->setCurrentIndex(2);
        w.List2->setCurrentRow(1);
        rig.prompter->setNextAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        w.Text2[2]->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(w.Text2[2], "0");
        QTest::keyClick(w.Text2[2], Qt::Key_Return);

        QCOMPARE(boxes, 1);
        QVERIFY(rig.isIdle());
        QVERIFY(SameList(w.list(), deviceList()));
        QCOMPARE(w.document().entryCount(), 5);
        QCOMPARE(w.List1->count(), 170);
        // The page shows no selected line now: its fields have nothing to edit.
        QCOMPARE(w.List2->currentRow(), -1);
        for (QLineEdit* field : w.Text2)
            QVERIFY(!field->isEnabled());
        // One step takes the received list back.
        w.UndoList();
        QCOMPARE(LeadingTimes(w.list(), 5), QList<int>({ 0, 10, 20, 30, 65535 }));
    }

    // Each box of a save may be the one that is open when the list arrives: the file holds the list
    // as it was when "Datei speichern" was pressed.
    void saveWritesListAsPressed_data()
    {
        QTest::addColumn<int>("boxWhileReceiving");
        QTest::newRow("comment") << 0;
        QTest::newRow("name") << 1;
        QTest::newRow("overwrite") << 2;
    }
    void saveWritesListAsPressed()
    {
        QFETCH(int, boxWhileReceiving);
        LinkRig rig;
        int boxes = -boxWhileReceiving;
        QVERIFY(startReceive(rig, &boxes));
        Form1& w = *rig.window;
        QFile::remove(QStringLiteral("show.fsl"));
        if (boxWhileReceiving == 2) {
            QFile old(QStringLiteral("show.fsl"));
            QVERIFY(old.open(QIODevice::WriteOnly));
        }
        w.SSTab1->setCurrentIndex(1);
        rig.prompter->setNextInput(QStringLiteral("Finale"));
        rig.prompter->setNextInput(QStringLiteral("show"));
        rig.prompter->setNextAnswer(Prompter::Answer::Ok);
        w.Command4_Click(1);

        QVERIFY(rig.isIdle());
        QVERIFY(SameList(w.list(), deviceList()));
        QFile saved(QStringLiteral("show.fsl"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray stats
            = "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 4\r\nZeitdauer : 00:00:30\r\nnoch frei: 166\r\n";
        QCOMPARE(saved.readAll(),
            FslHead("Finale", stats) + FslEntries({ "0000 FF", "000A FF", "0014 FF", "001E FF" }));
        // The received list is not that file's: it keeps its own name (none) and its saved state as
        // received, and the crew sheet heads it "Neue Liste".
        QCOMPARE(w.document().meta(), ListMeta());
        QVERIFY(w.document().isSaved());
        QCOMPARE(
            CrewSheetFor(w.list(), w.document().meta(), QDateTime()).title, QStringLiteral("Neue Liste"));
        w.UndoList();
        QVERIFY(!w.document().isSaved());
        QCOMPARE(w.document().name(), QString());
    }

    // The file box of an import is open when the device's list arrives: the import is refused and said.
    void importBoxKeepsReceivedList()
    {
        LinkRig rig;
        int boxes = 0;
        QVERIFY(startReceive(rig, &boxes));
        Form1& w = *rig.window;
        w.SSTab1->setCurrentIndex(1);
        QFile table(QStringLiteral("show.csv"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("Zeit;Zündgerät;Kreis\r\n0;A;1\r\n5;A;2\r\n");
        table.close();
        rig.prompter->setNextFile(QFileInfo(table).absoluteFilePath());
        QTest::mouseClick(w.Command5[2], Qt::LeftButton);

        QVERIFY(rig.isIdle());
        QVERIFY(SameList(w.list(), deviceList()));
        QCOMPARE(w.document().meta(), ListMeta());
        QCOMPARE(rig.prompter->asked.size(), 3); // file, preview, refusal
        QVERIFY(rig.prompter->asked[1].isImport);
        QCOMPARE(rig.prompter->asked[2].title, QStringLiteral("CSV importieren"));
        QCOMPARE(rig.prompter->asked[2].text,
            QStringLiteral(
                "Die Liste wurde inzwischen ersetzt (Empfang). Der Import wurde nicht übernommen."));
        // The box shows the received list's comment (it has none), not the list's before.
        QCOMPARE(w.Text1->toPlainText(), QString());
        QCOMPARE(w.SSTab1->currentIndex(), 1);
    }

    // The editing page shows no selected line after a receive: its fields are disabled, not left with
    // the old values to type into.
    void receiveOnEditingPageDisablesFields()
    {
        LinkRig rig;
        int boxes = 1; // no box opens here
        QVERIFY(startReceive(rig, &boxes));
        Form1& w = *rig.window;
        w.SSTab1->setCurrentIndex(2);
        w.List2->setCurrentRow(2);
        w.Text2[1]->setFocus(Qt::MouseFocusReason);
        QVERIFY(w.Text2[1]->isEnabled());
        rig.sim->command("list " + QFile::encodeName(writeDeviceList()));
        QTRY_VERIFY_WITH_TIMEOUT(rig.isIdle(), 10000);
        QCOMPARE(w.List2->currentRow(), -1);
        for (QLineEdit* field : w.Text2)
            QVERIFY(!field->isEnabled());
        QVERIFY(SameList(w.list(), deviceList()));
        QCOMPARE(w.Label6[0]->text(), QStringLiteral("Eintrag Nummer\r\n5 / 170"));
    }

    void newFolderBoxKeepsBoth()
    {
        LinkRig rig;
        int boxes = 0;
        QVERIFY(startReceive(rig, &boxes));
        Form1& w = *rig.window;
        w.SSTab1->setCurrentIndex(1);
        const QString folder
            = w.CurrentFolder.isEmpty() ? QDir::currentPath() + QLatin1Char('/') : w.CurrentFolder;
        rig.prompter->setNextInput(QStringLiteral("neu"));
        w.Command4_Click(3);

        QVERIFY(rig.isIdle());
        QVERIFY(QFileInfo(folder + QStringLiteral("neu")).isDir());
        QCOMPARE(w.CurrentFolder, folder + QStringLiteral("neu/"));
        QVERIFY(SameList(w.list(), deviceList()));
        QCOMPARE(w.List1->count(), 170);
    }
};

KELTO_TEST_MAIN(TestReceiveBehindBox)
#include "tst_receive_behind_box.moc"
