// Unsaved work survives a killed process: real processes run the program's own window start with its
// real boxes. "--child MODE" makes this program one of them:
//   edit     types two entries, reports the copy on disk, then runs until killed
//   second   reports any box at its start, types an entry, reports its copy, runs until killed
//   restore  answers the start-up box with Enter (its default button), writes the list to ARG, ends
#include "files/list_file.h"
#include "files/recovery.h"
#include "form1.h"
#include "shotlist/duplicates.h"
#include "typed_entry.h"
#include "window_start.h"

#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(QString(line).replace(QLatin1Char('\n'), QStringLiteral("\\n")) + '\n'), stdout);
    std::fflush(stdout);
}

int runChild(int argc, char** argv)
{
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString target = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    // One letter a box, J or N: the answers to the boxes of a restore, in order.
    const QString answers = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("J");
    auto answered = std::make_shared<int>(0);
    return RunWindow(argc, argv, QString(), [&](WindowRun& run) {
        auto* poll = new QTimer(&run.window());
        QObject::connect(poll, &QTimer::timeout, poll, [&run, poll, mode, target, answers, answered] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                const bool yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
                const QRect window = run.window().frameGeometry();
                say(QStringLiteral("box %1|%2|%3|%4")
                        .arg(box->windowTitle(), box->text(), yesIsDefault ? "Ja" : "-",
                            window.contains(box->frameGeometry().center()) ? "over" : "apart"));
                if (mode != QLatin1String("restore"))
                    box->reject();
                else if (answers.mid((*answered)++, 1) == QLatin1String("J"))
                    QTest::keyClick(box, Qt::Key_Return);
                else
                    box->button(QMessageBox::No)->click();
                return;
            }
            if (!run.keeper())
                return; // the start is not over
            poll->stop();
            Form1& w = run.window();
            if (mode == QLatin1String("restore")) {
                say(QStringLiteral("tab %1 saved %2")
                        .arg(w.SSTab1->currentIndex())
                        .arg(w.document().isSaved()));
                QString error;
                const ListMeta& meta = w.document().meta();
                WriteListFile(target, w.list(), meta, &error, meta.sourcePath);
                QApplication::quit();
                return;
            }
            if (mode == QLatin1String("close")) {
                // A gap typed and not yet committed when the close button is pressed.
                w.SSTab1->setCurrentIndex(2);
                w.List2->setCurrentRow(0);
                w.Text2[2]->setFocus(Qt::MouseFocusReason);
                QTest::keyClicks(w.Text2[2], QStringLiteral("4"));
                say(QStringLiteral("closing"));
                w.close();
                return;
            }
            const bool typed = mode == QLatin1String("edit") ? appendEntry(w, 7, 5) && appendEntry(w, 3, 6)
                                                             : appendEntry(w, 2, 9);
            if (!typed || !QTest::qWaitFor([&] { return !run.keeper()->isPending(); }, 10000)
                || !QFile::exists(run.recoveryPath()))
                say(QStringLiteral("failed"));
            else
                say(QStringLiteral("copy ") + run.recoveryPath());
        });
        poll->start(20);
    });
}

// One child process and the lines it printed.
class Child {
public:
    explicit Child(const QStringList& arguments)
    {
        m_process.setProgram(QCoreApplication::applicationFilePath());
        m_process.setArguments(QStringList { QStringLiteral("--child") } + arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_pending += m_process.readAllStandardOutput();
            qsizetype end;
            while ((end = m_pending.indexOf('\n')) >= 0) {
                m_lines.append(QString::fromLocal8Bit(m_pending.left(end)));
                m_pending.remove(0, end + 1);
            }
        });
        m_process.start();
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // The first line that starts with prefix, without it; empty text when none came in time.
    QString waitForLine(const QString& prefix, int timeoutMs = 30000)
    {
        QString found;
        (void)QTest::qWaitFor(
            [&] {
                for (const QString& line : std::as_const(m_lines)) {
                    if (line.startsWith(prefix)) {
                        found = line.mid(prefix.size());
                        return true;
                    }
                }
                return m_process.state() == QProcess::NotRunning;
            },
            timeoutMs);
        return found;
    }
    const QStringList& lines() const { return m_lines; }
    // SIGKILL: no handler runs, nothing is flushed, the lock file stays behind.
    bool kill()
    {
        m_process.kill();
        return m_process.waitForFinished(5000) && m_process.exitStatus() == QProcess::CrashExit;
    }
    bool finishes()
    {
        // waitForFinished() is false for a process that has ended already.
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(30000))
            return false;
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRecoveryProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedWorkComesBack()
    {
        const QString temp = qEnvironmentVariable("temp") + QLatin1Char('/');
        Child first({ QStringLiteral("edit") });
        const QString copy = first.waitForLine(QStringLiteral("copy "));
        QCOMPARE(copy, temp + RecoveryFileName(1));
        QVERIFY2(
            !first.lines().join('\n').contains(QStringLiteral("box ")), qPrintable(first.lines().join('\n')));
        const QByteArray firstCopy = fileBytes(copy);

        // A second instance while the first runs: nothing offered, its own copy.
        Child second({ QStringLiteral("second") });
        QCOMPARE(second.waitForLine(QStringLiteral("copy ")), temp + RecoveryFileName(2));
        QVERIFY2(!second.lines().join('\n').contains(QStringLiteral("box ")),
            qPrintable(second.lines().join('\n')));
        QCOMPARE(fileBytes(copy), firstCopy);

        QVERIFY(first.kill());
        QVERIFY(second.kill());
        QVERIFY(QFile::exists(temp + RecoveryLockName(1))); // stale now

        // Every copy left behind is offered, newest first: Nein to the second instance's, Ja to the first's.
        const QString out = QDir::current().absoluteFilePath(QStringLiteral("restored.fsl"));
        Child again({ QStringLiteral("restore"), out, QStringLiteral("NJ") });
        QCOMPARE(again.waitForLine(QStringLiteral("tab ")), QStringLiteral("2 saved 0"));
        QVERIFY(again.finishes());
        QStringList boxes;
        for (const QString& line : again.lines()) {
            if (line.startsWith(QStringLiteral("box ")))
                boxes.append(line.mid(4));
        }
        QCOMPARE(boxes.size(), 2);
        const QString asked = QStringLiteral(
            "Liste wiederherstellen|Kelto wurde beendet, ohne dass die Liste gespeichert war (zuletzt geändert am ");
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(boxes[i].startsWith(asked), qPrintable(boxes[i]));
            // Over the window, with Ja as the default.
            QVERIFY2(boxes[i].endsWith(QStringLiteral("Schüsse, aus „Neue Liste“).\\n\\nDiese Liste "
                                                      "wiederherstellen?|Ja|over")),
                qPrintable(boxes[i]));
        }
        QVERIFY2(boxes[0].contains(QStringLiteral(", 2 Schüsse,")), qPrintable(boxes[0]));
        QVERIFY2(boxes[1].contains(QStringLiteral(", 3 Schüsse,")), qPrintable(boxes[1]));

        const ListFileRead restored = ReadListFile(out);
        QVERIFY(restored.ok());
        const qint32 times[] = { 0, 7, 10, EmptyTime };
        const qint16 circuits[] = { 32 + 5, 32 + 6, NoCircuit, NoCircuit };
        for (int slot = 0; slot < 4; ++slot) {
            QCOMPARE(restored.list.times[slot], times[slot]);
            QCOMPARE(restored.list.circuits[slot], circuits[slot]);
        }
        QVERIFY(restored.origin.isEmpty());
        // The declined copy is gone; the restored one stays until the list is saved.
        QVERIFY(!QFile::exists(temp + RecoveryFileName(2)));
        QVERIFY(QFile::exists(temp + RecoveryFileName(1)));
    }

    // The close button stores the field being edited, as "Ende" does; the copy keeps the work.
    void closeButtonStoresTheTypedField()
    {
        const QString temp = qEnvironmentVariable("temp") + QLatin1Char('/');
        for (const QString& name : QDir(temp).entryList({ QStringLiteral("kelto-wiederherstellung*") }))
            QVERIFY(QFile::remove(temp + name));
        Child child({ QStringLiteral("close") });
        QCOMPARE(child.waitForLine(QStringLiteral("closing")), QString());
        QVERIFY(child.finishes());
        const ListFileRead copy = ReadListFile(temp + RecoveryFileName(1));
        QVERIFY(copy.ok());
        QCOMPARE(copy.list.times[0], 0);
        QCOMPARE(copy.list.times[1], 4);
        QCOMPARE(CountEntries(copy.list), 2);
    }
};

int main(int argc, char* argv[])
{
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QTemporaryDir sandbox;
    if (!sandbox.isValid())
        return 2;
    QDir(sandbox.path()).mkpath(QStringLiteral("temp"));
    QDir(sandbox.path()).mkpath(QStringLiteral("work"));
    qputenv("temp", QFile::encodeName(sandbox.filePath(QStringLiteral("temp"))));
    QDir::setCurrent(sandbox.filePath(QStringLiteral("work")));
    QApplication app(argc, argv);
    TestRecoveryProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery_process.moc"
