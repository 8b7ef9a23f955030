#pragma once

#include "catalogue_model.h"

#include <QObject>
#include <QString>
#include <QTimer>

// The user's catalogue file and the model that edits it. Read once at construction; an unreadable
// file is set aside under a new name (nothing lost) and the catalogue starts empty. Every change is
// written whole, atomically, shortly after it is made, and at the latest when the store goes.
class CatalogueStore : public QObject {
    Q_OBJECT
public:
    // path: CatalogueFilePath(the settings folder).
    explicit CatalogueStore(const QString& path, QObject* parent = nullptr);
    ~CatalogueStore() override;

    CatalogueModel& model() { return m_model; }
    const QString& path() const { return m_path; }
    // For the user, in German, when the file could not be read at start: where it was set aside and
    // why, or that it could not be and changes are not written over it. Empty when it was read.
    const QString& loadProblem() const { return m_loadProblem; }
    // Why the last write failed, in German; empty after a good one.
    const QString& writeProblem() const { return m_writeProblem; }
    bool hasPendingWrite() const { return m_pending; }

    // Writes a pending change now; false (and writeFailed) when it could not be written.
    bool flush();

signals:
    void writeFailed(const QString& reason);
    void written();

private:
    void load();

    QString m_path;
    CatalogueModel m_model;
    QTimer m_timer;
    QString m_loadProblem;
    QString m_writeProblem;
    // The file could not be read nor set aside: it is never written over.
    bool m_readOnly = false;
    bool m_pending = false;
};
