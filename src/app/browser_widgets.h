#pragma once

#include "files/folder_browser.h"

#include <QComboBox>
#include <QHash>
#include <QListWidget>

// The folder list of the file page: the folders from the root down to the open one, then its
// subfolders. A double click opens a folder; Enter is left to the window.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    // The open folder, native, without a trailing separator (except a root).
    QString path() const { return m_path; }
    // Opens the folder (or its nearest existing ancestor) and emits pathChanged before returning,
    // also when it was open already.
    void setPath(const QString& path);
    // The folder of the highlighted line, or the open one when no line is highlighted.
    QString highlightedPath() const;
    // Lists the open folder's subfolders anew, as they are on disk now, without pathChanged; false
    // when the open folder is gone.
    bool reload();

signals:
    void pathChanged();

private:
    void fill(const QString& highlighted);

    QString m_path;
};

// The drive list. It rereads the mounted drives whenever it opens, so a stick plugged in later
// shows up, and remembers the folder last open on each drive.
class DriveBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    // Fills the list anew and selects the drive of the folder, without signals.
    void refresh(const QString& folder);
    QString root() const { return currentData().toString(); }
    int indexOfDriveOf(const QString& folder) const { return findData(DriveOf(folder, roots())); }
    // The folder to open for the current drive: the last one open there, or its root.
    QString folderOnDrive() const;
    // Selects the drive that holds the folder, without signals, and remembers the folder there.
    void noteFolder(const QString& folder);

    void showPopup() override;

private:
    QStringList roots() const;

    QHash<QString, QString> m_lastFolders;
};
