// The window as the program starts it: the copy of unsaved work an earlier run left behind is offered
// after the start-up steps; a second window running alongside keeps its own copy.
#include "files/recovery.h"
#include "form1.h"
#include "fsl_fixtures.h"
#include "scripted_prompter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"
#include "typed_entry.h"
#include "window_start.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

struct Run {
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<WindowRun> run;

    explicit Run(QList<Prompter::Answer> answers = {})
    {
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompter = scripted.get();
        for (Prompter::Answer answer : answers)
            prompter->setNextAnswer(answer);
        run = std::make_unique<WindowRun>(std::move(scripted));
    }
    Form1& w() { return run->window(); }
};

QString tempFile(const QString& name) { return qEnvironmentVariable("temp") + QLatin1Char('/') + name; }

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeShow()
{
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("show.fsl"));
    QFile file(path);
    const QByteArray bytes = FslHead("Hafen") + FslEntries({ "0000 21", "000A 22" });
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the show");
    return path;
}

bool copyOnDisk(WindowRun& run)
{
    return QTest::qWaitFor(
        [&] { return run.keeper() && !run.keeper()->isPending() && QFile::exists(run.recoveryPath()); },
        5000);
}

} // namespace

class TestRecoveryStart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        for (const QString& name : QDir(qEnvironmentVariable("temp")).entryList(QDir::Files))
            QFile::remove(tempFile(name));
    }

    // A run ends with unsaved edits (as "Ende" leaves them); the next start asks, after the list
    // named on the command line is in.
    void nextStartOffersTheCopy_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<bool>("yes");
        QTest::newRow("new list, Ja") << false << true;
        QTest::newRow("new list, Nein") << false << false;
        QTest::newRow("list named at start, Ja") << true << true;
    }
    void nextStartOffersTheCopy()
    {
        QFETCH(bool, named);
        QFETCH(bool, yes);
        const QString show = named ? writeShow() : QString();
        ShotList edited;
        ListMeta editedMeta;
        {
            Run first;
            first.run->start(show);
            QVERIFY(first.prompter->asked.isEmpty());
            QVERIFY(appendEntry(first.w(), 7, 5));
            QVERIFY(appendEntry(first.w(), 3, 6));
            QVERIFY(copyOnDisk(*first.run));
            edited = first.w().list();
            editedMeta = first.w().document().meta();
        }
        const QString path = tempFile(RecoveryFileName(1));
        QVERIFY(QFile::exists(path));
        const int shots = named ? 4 : 3;
        // When the copy was written last, how many entries it holds, the file it came from.
        const QString expected = RecoveryQuestion(QFileInfo(path).lastModified(), shots, show);

        Run second({ yes ? Prompter::Answer::Yes : Prompter::Answer::No });
        second.run->start(show);
        Form1& w = second.w();
        QCOMPARE(second.prompter->asked.size(), 1);
        const ScriptedPrompter::Asked& asked = second.prompter->asked[0];
        QCOMPARE(asked.title, QStringLiteral("Liste wiederherstellen"));
        QCOMPARE(asked.text, expected);
        QCOMPARE(asked.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(asked.defaultButton, Prompter::Answer::Yes);
        if (!yes) {
            QVERIFY(!QFile::exists(path));
            QVERIFY(SameList(w.list(), ShotList::startup()));
            QVERIFY(w.document().isSaved());
            return;
        }
        QVERIFY(SameList(w.list(), edited));
        QCOMPARE(w.document().meta(), editedMeta);
        QCOMPARE(w.document().name(), named ? QStringLiteral("show.fsl") : QString());
        QVERIFY(!w.document().isSaved());
        QCOMPARE(w.SSTab1->currentIndex(), 2);
        QCOMPARE(w.Text1->toPlainText(), named ? QStringLiteral("Hafen") : QString());
        QCOMPARE(w.List2->item(shots - 1)->text().left(5),
            QStringLiteral("%1  ").arg(shots, 3, 10, QLatin1Char('0')));
        QVERIFY(QFile::exists(path)); // until the list is saved

        // One step takes it back to what the start showed, which is saved; the restored work is then only
        // in the undo history, and the copy keeps it until a save.
        w.UndoList();
        QCOMPARE(w.document().entryCount(), named ? 2 : 1);
        QVERIFY(w.document().isSaved());
        QVERIFY(QFile::exists(path));
        w.RedoList();
        QVERIFY(w.document().markSaved(w.document().revision(), tempFile(QStringLiteral("gesichert.fsl")), QString()));
        QVERIFY(!QFile::exists(path));
    }

    // What cannot be read is kept under another name and said; the slot is free for this run's copy.
    void unreadableCopyIsKeptAside()
    {
        const QString path = tempFile(RecoveryFileName(1));
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("kaputt\r\n");
        broken.close();

        Run run;
        run.run->start(QString());
        QCOMPARE(run.prompter->asked.size(), 1);
        const QStringList aside
            = QDir(qEnvironmentVariable("temp"))
                  .entryList({ QStringLiteral("kelto-wiederherstellung-unlesbar-*.fsl") });
        QCOMPARE(aside.size(), 1);
        QCOMPARE(fileBytes(tempFile(aside[0])), QByteArray("kaputt\r\n"));
        const ScriptedPrompter::Asked& told = run.prompter->asked[0];
        QCOMPARE(told.title, QStringLiteral("Liste wiederherstellen"));
        QCOMPARE(told.text,
            QStringLiteral(
                "Die Sicherungskopie einer ungespeicherten Liste ist nicht lesbar:\n%1: Diese Datei ist "
                "keine gültige Feuerwerks-Schussliste...\n\nSie wurde als %2 aufbewahrt.")
                .arg(path, tempFile(aside[0])));
        QVERIFY(SameList(run.w().list(), ShotList::startup()));

        QVERIFY(appendEntry(run.w(), 4, 1));
        QVERIFY(copyOnDisk(*run.run));
        QCOMPARE(run.run->recoveryPath(), path);
    }

    void noSlotIsTold()
    {
        const QByteArray saved = qgetenv("temp");
        qputenv("temp", saved + "/fehlt");
        Run run;
        qputenv("temp", saved);
        run.run->start(QString());
        QVERIFY(!run.run->keeper());
        QCOMPARE(run.prompter->asked.size(), 1);
        QCOMPARE(run.prompter->asked[0].text,
            QStringLiteral("Kelto kann keine Sicherungskopie der Liste anlegen: Den Ordner %1/fehlt/ gibt es "
                           "nicht.\n\nÄnderungen, die nicht gespeichert sind, gehen verloren, wenn Kelto "
                           "unerwartet endet.")
                .arg(QString::fromLocal8Bit(saved)));
    }
};

KELTO_TEST_MAIN(TestRecoveryStart)
#include "tst_recovery_start.moc"
