#pragma once

#include "files/list_file.h"
#include "shotlist/list_document.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QLockFile;

// Where the copies live: the temporary folder when the environment variable "temp" names it (as it
// always does on Windows, where that folder lasts), beside kelto.ini. Without it the temporary folder is
// one the system empties at every start (/tmp on Linux), and a copy must outlast a power cut: then the
// user's data folder for the application, made when missing. Paths end in a separator.
QString RecoveryFolder(const QString& tempFolder);

// Each running instance has its own slot in the temporary folder: the first one "kelto.lock" and
// "kelto-wiederherstellung.fsl", a second one "kelto-2.lock" and "kelto-wiederherstellung-2.fsl", …
constexpr int MaxRecoverySlots = 32;
QString RecoveryLockName(int slot);
QString RecoveryFileName(int slot);

// One instance's place for the copy of its unsaved list, held by a lock for the whole run. A lock
// left by a process that is gone is taken over: the copy beside it is work that was lost. A lock
// held by a running instance is never taken, so its live copy is neither offered nor overwritten.
class RecoverySlot {
public:
    // The first slot in folder (ending in a separator) whose lock this process gets; nullptr and a
    // German reason when there is none.
    static std::unique_ptr<RecoverySlot> claim(const QString& folder, QString* reason);
    ~RecoverySlot();
    RecoverySlot(const RecoverySlot&) = delete;
    RecoverySlot& operator=(const RecoverySlot&) = delete;

    int number() const { return m_number; }
    const QString& filePath() const { return m_filePath; }

private:
    RecoverySlot(int number, QString filePath, std::unique_ptr<QLockFile> lock);

    int m_number;
    QString m_filePath;
    std::unique_ptr<QLockFile> m_lock;
};

// A copy that a run which ended left in a slot: this instance's own, or another slot's whose lock was
// stale and is now held here, so no other instance offers it meanwhile.
struct LeftCopy {
    QString path;
    QDateTime modified;
    std::shared_ptr<QLockFile> lock; // null for this instance's own slot
};
// Every copy left in folder, the own slot's (ownPath) included, newest first.
std::vector<LeftCopy> LeftRecoveryCopies(const QString& folder, const QString& ownPath);

// Keeps the whole list (entries, effects, comment, music, the file it came from) in the recovery file
// while it differs from its saved state, and removes the file when the list is saved to a file. A list
// back in its saved state by undo, or replaced by a loaded or received one, leaves the copy as it
// was: the unsaved work is then only in the undo history. The copy
// is written whole or not at all, DelayMs after the first change of a series: never inside the
// change itself, and a stream of changes does not put it off.
class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int DelayMs = 250;

    RecoveryKeeper(ListDocument& document, const QString& path, QObject* parent = nullptr);
    // Writes a pending copy.
    ~RecoveryKeeper() override;

    const QString& path() const { return m_path; }
    bool isPending() const { return m_timer.isActive(); }
    // Writes a pending copy now.
    void flush();

Q_SIGNALS:
    void written();
    void removed();
    // The first failed write after a good one (or the first write): later failures of the same
    // series are not reported again.
    void writeFailed(const QString& reason);

private:
    void schedule();
    void write();
    void discard();

    QPointer<ListDocument> m_document;
    QString m_path;
    QTimer m_timer;
    bool m_failing = false;
};

// A recovery file read back: the list as it was, with sourcePath the file it came from (empty for a
// new list), and when it was last written.
struct RecoveryCopy {
    ListFileRead read;
    QDateTime modified;
};
RecoveryCopy ReadRecoveryCopy(const QString& path);

// "Kelto wurde beendet, ohne dass die Liste gespeichert war (zuletzt geändert am 01.02.2026 um 20:15,
// 12 Schüsse, aus show.fsl).\n\nDiese Liste wiederherstellen?"
QString RecoveryQuestion(const QDateTime& modified, int entries, const QString& sourcePath);

// Renames an unreadable recovery file to "kelto-wiederherstellung-unlesbar-YYYYMMDD-HHMMSS.fsl" (with
// a number when taken) beside it, so its slot is free and nothing is deleted. The new path, or empty
// text and a German reason.
QString SetAsideRecoveryFile(const QString& path, const QDateTime& now, QString* reason);
