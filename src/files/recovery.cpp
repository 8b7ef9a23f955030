#include "recovery.h"

#include "system_reason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>

QString RecoveryFolder(const QString& tempFolder)
{
    if (!qEnvironmentVariableIsEmpty("temp"))
        return tempFolder;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty())
        return tempFolder;
    QDir().mkpath(data);
    return QDir::toNativeSeparators(data) + QDir::separator();
}

QString RecoveryLockName(int slot)
{
    return slot == 1 ? QStringLiteral("kelto.lock") : QStringLiteral("kelto-%1.lock").arg(slot);
}

QString RecoveryFileName(int slot)
{
    return slot == 1 ? QStringLiteral("kelto-wiederherstellung.fsl")
                     : QStringLiteral("kelto-wiederherstellung-%1.fsl").arg(slot);
}

RecoverySlot::RecoverySlot(int number, QString filePath, std::unique_ptr<QLockFile> lock)
    : m_number(number)
    , m_filePath(std::move(filePath))
    , m_lock(std::move(lock))
{
}

RecoverySlot::~RecoverySlot() = default;

std::unique_ptr<RecoverySlot> RecoverySlot::claim(const QString& folder, QString* reason)
{
    const QString shown = QDir::toNativeSeparators(folder);
    if (!QFileInfo(folder).isDir()) {
        *reason = QStringLiteral("Den Ordner %1 gibt es nicht.").arg(shown);
        return nullptr;
    }
    for (int slot = 1; slot <= MaxRecoverySlots; ++slot) {
        auto lock = std::make_unique<QLockFile>(folder + RecoveryLockName(slot));
        // Never stale by age: a show is edited for hours. A lock is stale only when its process is gone.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0))
            return std::unique_ptr<RecoverySlot>(
                new RecoverySlot(slot, folder + RecoveryFileName(slot), std::move(lock)));
        if (lock->error() == QLockFile::PermissionError) {
            *reason = QStringLiteral("Keine Berechtigung, im Ordner %1 zu schreiben.").arg(shown);
            return nullptr;
        }
        if (lock->error() == QLockFile::UnknownError) {
            *reason = QStringLiteral("Die Sperrdatei %1 lässt sich nicht anlegen.")
                          .arg(QDir::toNativeSeparators(folder + RecoveryLockName(slot)));
            return nullptr;
        }
    }
    *reason = QStringLiteral("Es laufen bereits %1 Kelto-Fenster.").arg(MaxRecoverySlots);
    return nullptr;
}

std::vector<LeftCopy> LeftRecoveryCopies(const QString& folder, const QString& ownPath)
{
    std::vector<LeftCopy> copies;
    for (int slot = 1; slot <= MaxRecoverySlots; ++slot) {
        const QString path = folder + RecoveryFileName(slot);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        LeftCopy copy { path, info.lastModified(), nullptr };
        if (path != ownPath) {
            copy.lock = std::make_shared<QLockFile>(folder + RecoveryLockName(slot));
            copy.lock->setStaleLockTime(0);
            // Held by a running instance: its live copy is not ours to offer.
            if (!copy.lock->tryLock(0))
                continue;
        }
        copies.push_back(std::move(copy));
    }
    std::stable_sort(copies.begin(), copies.end(),
        [](const LeftCopy& a, const LeftCopy& b) { return a.modified > b.modified; });
    return copies;
}

RecoveryKeeper::RecoveryKeeper(ListDocument& document, const QString& path, QObject* parent)
    : QObject(parent)
    , m_document(&document)
    , m_path(path)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DelayMs);
    connect(&m_timer, &QTimer::timeout, this, &RecoveryKeeper::write);
    connect(&document, &ListDocument::changed, this, [this] {
        if (!m_document->isSaved())
            schedule();
    });
    // Back in the saved state by undo, or replaced by a list from a file or the device: the work is
    // only in the history then, and the copy keeps it. Only a save puts it in a file.
    connect(&document, &ListDocument::savedChanged, this, [this](bool saved) {
        if (saved)
            m_timer.stop();
        else
            schedule();
    });
    connect(&document, &ListDocument::savedToFile, this, &RecoveryKeeper::discard);
    if (!document.isSaved())
        schedule();
}

RecoveryKeeper::~RecoveryKeeper() { flush(); }

void RecoveryKeeper::flush()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    write();
}

// A running timer already covers this change: restarting it would let a stream of changes put the
// write off.
void RecoveryKeeper::schedule()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void RecoveryKeeper::write()
{
    if (!m_document || m_document->isSaved())
        return;
    const ListMeta& meta = m_document->meta();
    QString error;
    if (WriteListFile(m_path, m_document->list(), meta, &error, meta.sourcePath)) {
        m_failing = false;
        Q_EMIT written();
        return;
    }
    if (m_failing)
        return;
    m_failing = true;
    Q_EMIT writeFailed(error);
}

void RecoveryKeeper::discard()
{
    m_timer.stop();
    if (QFileInfo(m_path).isFile())
        QFile::remove(m_path);
    Q_EMIT removed();
}

RecoveryCopy ReadRecoveryCopy(const QString& path)
{
    RecoveryCopy copy;
    copy.read = ReadListFile(path);
    copy.read.meta.sourcePath = copy.read.origin;
    copy.modified = QFileInfo(path).lastModified();
    return copy;
}

QString RecoveryQuestion(const QDateTime& modified, int entries, const QString& sourcePath)
{
    const QString name
        = sourcePath.isEmpty() ? QStringLiteral("„Neue Liste“") : QFileInfo(sourcePath).fileName();
    const QString shots
        = entries == 1 ? QStringLiteral("1 Schuss") : QStringLiteral("%1 Schüsse").arg(entries);
    return QStringLiteral("Kelto wurde beendet, ohne dass die Liste gespeichert war (zuletzt geändert am %1 "
                          "um %2, %3, aus %4).\n\nDiese Liste wiederherstellen?")
        .arg(modified.toString(QStringLiteral("dd.MM.yyyy")), modified.toString(QStringLiteral("HH:mm")),
            shots, name);
}

QString SetAsideRecoveryFile(const QString& path, const QDateTime& now, QString* reason)
{
    const QFileInfo info(path);
    const QString stem = QStringLiteral("kelto-wiederherstellung-unlesbar-")
        + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = info.dir().filePath(stem + QStringLiteral(".fsl"));
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = info.dir().filePath(stem + QStringLiteral("-%1.fsl").arg(n));
    QFile file(path);
    if (!file.rename(target)) {
        *reason = GermanReason(file.errorString());
        return QString();
    }
    return target;
}
