#include "folder_browser.h"

#include "system_reason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

QString native(const QString& path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); }

bool isUnder(const QString& path, const QString& root)
{
    if (path == root)
        return true;
    const QString prefix = FolderWithSeparator(root);
    return path.startsWith(prefix);
}

} // namespace

QString FolderWithSeparator(const QString& folder)
{
    const QChar separator = QDir::separator();
    return folder.endsWith(separator) ? folder : folder + separator;
}

QStringList ShotListFileNames(const QString& folder)
{
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    // Only regular files (after links): opening a pipe or a device would wait for a writer.
    QStringList names;
    for (const QFileInfo& info :
        dir.entryInfoList({ QStringLiteral("*.fsl") }, QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (info.isFile())
            names.append(info.fileName());
    }
    return names;
}

QStringList FolderChain(const QString& folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    QStringList chain;
    for (;;) {
        chain.prepend(native(path));
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            return chain;
        path = parent;
    }
}

QStringList Subfolders(const QString& folder)
{
    const QDir dir(folder);
    QStringList paths;
    // QDir::Dirs lets links to anything through (a link to a pipe too): only what is a folder after
    // its links is one.
    for (const QFileInfo& info : dir.entryInfoList(
             QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware)) {
        if (info.isDir())
            paths.append(native(info.absoluteFilePath()));
    }
    return paths;
}

QString ExistingFolder(const QString& folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    return native(path);
}

bool IsUserVolume(const QString& root, const QByteArray& fileSystemType)
{
    static const QByteArrayList systemTypes { "tmpfs", "devtmpfs", "ramfs", "squashfs", "overlay", "autofs",
        "proc", "sysfs", "efivarfs", "nsfs", "fuse.portal", "fuse.gvfsd-fuse", "tracefs", "debugfs" };
    static const QStringList systemFolders { QStringLiteral("/boot"), QStringLiteral("/snap"),
        QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"), QStringLiteral("/var"),
        QStringLiteral("/etc"), QStringLiteral("/usr") };
    if (systemTypes.contains(fileSystemType))
        return false;
    return std::none_of(systemFolders.begin(), systemFolders.end(),
        [&](const QString& system) { return isUnder(root, system); });
}

QList<Drive> MountedDrives()
{
    QList<Drive> drives;
    const QString systemRoot = native(QDir::rootPath());
    drives.append({ systemRoot, systemRoot });
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = native(volume.rootPath());
        if (root == systemRoot || !volume.isValid() || !volume.isReady() || !QFileInfo(root).isDir()
            || !IsUserVolume(root, volume.fileSystemType()))
            continue;
        const QString name = volume.name();
        drives.append(
            { root, name.isEmpty() ? root : root + QStringLiteral(" [") + name + QLatin1Char(']') });
    }
    std::sort(
        drives.begin() + 1, drives.end(), [](const Drive& a, const Drive& b) { return a.root < b.root; });
    return drives;
}

QString DriveOf(const QString& path, const QStringList& roots)
{
    const QString clean = native(QDir(path).absolutePath());
    QString best;
    for (const QString& root : roots) {
        if (root.size() > best.size() && isUnder(clean, root))
            best = root;
    }
    return best;
}

bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

bool CreateFolder(const QString& path, QString* error)
{
    std::error_code code;
    if (std::filesystem::create_directory(std::filesystem::path(QFile::encodeName(path).toStdString()), code))
        return true;
    if (!code)
        *error = QStringLiteral("Der Ordner existiert bereits.");
    else if (code == std::errc::file_exists)
        *error = QStringLiteral("Dort gibt es bereits eine Datei dieses Namens.");
    else if (code == std::errc::no_such_file_or_directory)
        *error = QStringLiteral("Der übergeordnete Ordner existiert nicht mehr.");
    else
        *error = GermanReason(QString::fromLocal8Bit(code.message()));
    return false;
}
