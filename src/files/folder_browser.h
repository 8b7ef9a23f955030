#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Paths here are absolute and in the platform's native form.

// The folder with exactly one trailing separator; a root such as "/" keeps its own.
QString FolderWithSeparator(const QString& folder);

// The "*.fsl" files of a folder (extension in any letter case), sorted by name; empty folder
// text means the working folder.
QStringList ShotListFileNames(const QString& folder);

// The folders from the root down to the folder itself.
QStringList FolderChain(const QString& folder);
// The visible subfolders of a folder, sorted by name.
QStringList Subfolders(const QString& folder);

// The folder itself when it exists, else its nearest existing ancestor.
QString ExistingFolder(const QString& folder);

struct Drive {
    QString root;
    QString label;
};

// The root folder and every mounted volume a user keeps files on (a USB stick, a second disk),
// without the system's own mounts.
QList<Drive> MountedDrives();
bool IsUserVolume(const QString& root, const QByteArray& fileSystemType);
// The root of the drive that holds the path: the longest root that contains it.
QString DriveOf(const QString& path, const QStringList& roots);

// A name typed for a new file or folder must stay directly inside the current folder.
bool IsPlainName(const QString& name);

// Creates one folder; on failure error says why.
bool CreateFolder(const QString& path, QString* error);
