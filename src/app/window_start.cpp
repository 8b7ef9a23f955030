#include "window_start.h"

#include "files/recovery.h"
#include "files/system_reason.h"
#include "effects_page.h"
#include "form1.h"
#include "shotlist/duplicates.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

namespace {

const QString RecoveryTitle = QStringLiteral("Liste wiederherstellen");
const QString AppTitle = QStringLiteral("Kelto");

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

void InstallGermanQtTexts(QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

void SetUpWindowApplication(QTranslator& translator)
{
    QApplication::setApplicationName(QStringLiteral("Kelto"));
    QApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    InstallGermanQtTexts(translator);
}

WindowRun::WindowRun(std::unique_ptr<Prompter> prompter)
    : m_window(std::make_unique<Form1>(std::move(prompter)))
{
    m_slot = RecoverySlot::claim(RecoveryFolder(m_window->TempFolder), &m_slotProblem);
}

WindowRun::~WindowRun()
{
    // A copy still due is written as the program ends; no box any more if that fails.
    if (m_keeper) {
        QObject::disconnect(m_keeper.get(), nullptr, nullptr, nullptr);
        m_keeper.reset();
    }
}

QString WindowRun::recoveryPath() const { return m_slot ? m_slot->filePath() : QString(); }

void WindowRun::start(const QString& file)
{
    Form1& w = *m_window;
    w.show();
    waitUntilShown();
    // A catalogue that could not be read was set aside; the user hears of it once.
    w.Effects->tellLoadProblem();
    if (!file.isEmpty())
        w.OpenListFile(file);
    if (!m_slot) {
        w.prompter().message(AppTitle,
            QStringLiteral("Kelto kann keine Sicherungskopie der Liste anlegen: %1\n\nÄnderungen, die nicht "
                           "gespeichert sind, gehen verloren, wenn Kelto unerwartet endet.")
                .arg(m_slotProblem),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    m_keeper = std::make_unique<RecoveryKeeper>(w.document(), m_slot->filePath());
    QObject::connect(m_keeper.get(), &RecoveryKeeper::writeFailed, m_keeper.get(),
        [this](const QString& reason) { reportWriteFailure(reason); });
    // Every copy a run that ended left behind, newest first, each with its own question.
    const QString folder = QFileInfo(m_slot->filePath()).absolutePath() + QLatin1Char('/');
    for (const LeftCopy& copy : LeftRecoveryCopies(folder, m_slot->filePath()))
        offerRecovery(copy.path);
}

// The boxes of the start open over the window, so it must be on the screen first.
void WindowRun::waitUntilShown()
{
    QWindow* window = m_window->windowHandle();
    if (!window || window->isExposed())
        return;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (window->isExposed() || waited.elapsed() > 2000)
            loop.quit();
    });
    poll.start(10);
    loop.exec();
}

void WindowRun::offerRecovery(const QString& path)
{
    Form1& w = *m_window;
    const bool own = path == m_slot->filePath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    const RecoveryCopy copy = ReadRecoveryCopy(path);
    if (!copy.read.ok()) {
        // What cannot be read may still be worth something to someone: it is put aside, not deleted.
        QString reason;
        const QString aside = SetAsideRecoveryFile(path, QDateTime::currentDateTime(), &reason);
        const QString problem = ListReadProblem(copy.read, shownPath(path));
        const QString outcome = aside.isEmpty()
            ? QStringLiteral("Sie ließ sich nicht beiseitelegen (%1) und wird bei der nächsten Änderung "
                             "der Liste überschrieben.")
                  .arg(reason)
            : QStringLiteral("Sie wurde als %1 aufbewahrt.").arg(shownPath(aside));
        w.prompter().message(RecoveryTitle,
            QStringLiteral("Die Sicherungskopie einer ungespeicherten Liste ist nicht lesbar:\n%1\n\n%2")
                .arg(problem, outcome),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    const Prompter::Answer answer = w.prompter().message(RecoveryTitle,
        RecoveryQuestion(copy.modified, CountEntries(copy.read.list), copy.read.meta.sourcePath),
        Prompter::Buttons::YesNo, Prompter::Answer::Yes, Prompter::Icon::Warning);
    if (answer == Prompter::Answer::Yes && w.RestoreList(copy.read.list, copy.read.meta)) {
        if (own)
            return; // the copy stays until the list is saved
        // Another run's copy: once this run's own copy holds the list, the other slot is free again.
        bool written = false;
        const QMetaObject::Connection connection = QObject::connect(
            m_keeper.get(), &RecoveryKeeper::written, m_keeper.get(), [&written] { written = true; });
        m_keeper->flush();
        QObject::disconnect(connection);
        if (!written)
            return;
    } else if (answer == Prompter::Answer::Yes && !w.document().isSaved()) {
        // Not restored over unsaved work: the copy stays for the next start.
        return;
    }
    // Declined, restored into this run's copy, or the list in the editor is that very list already.
    QFile file(path);
    if (!file.remove())
        w.prompter().message(AppTitle,
            QStringLiteral("Die Sicherungskopie %1 ließ sich nicht löschen.\n\nGrund: %2")
                .arg(shownPath(path), GermanReason(file.errorString())),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
}

void WindowRun::reportWriteFailure(const QString& reason)
{
    m_window->prompter().message(AppTitle,
        QStringLiteral("Die Sicherungskopie der ungespeicherten Liste konnte nicht geschrieben werden.\n"
                       "Datei: %1\nGrund: %2\n\nEndet Kelto unerwartet, sind die Änderungen seit dem letzten "
                       "Speichern verloren. Speichern Sie die Liste mit \"Datei speichern\".")
            .arg(shownPath(m_slot->filePath()), reason),
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
}

int RunWindow(int& argc, char** argv, const QString& file, const std::function<void(WindowRun&)>& beforeStart)
{
    QApplication app(argc, argv);
    QTranslator qtTranslator;
    SetUpWindowApplication(qtTranslator);
    WindowRun run;
    if (beforeStart)
        beforeStart(run);
    run.start(file);
    return QApplication::exec();
}
