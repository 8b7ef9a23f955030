#include "settings_file.h"

#include "fsl_file.h"

#include <QDir>
#include <QFile>

QByteArray SettingsFileBytes(const RememberedSettings& settings)
{
    return FileLines({ settings.folder, settings.port });
}

std::optional<RememberedSettings> ReadSettingsFile(QIODevice& device)
{
    LineReader reader(device);
    std::optional<QString> folder = reader.next();
    std::optional<QString> port = reader.next();
    if (!folder || !port)
        return std::nullopt;
    return RememberedSettings { *folder, *port };
}

std::optional<RememberedSettings> ReadSettingsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ReadSettingsFile(file);
}

QString SettingsFolder()
{
    QString folder = qEnvironmentVariable("temp");
#ifndef Q_OS_WIN
    if (folder.isEmpty())
        folder = qEnvironmentVariable("TEMP");
    if (folder.isEmpty())
        folder = qEnvironmentVariable("TMP");
    if (folder.isEmpty())
        folder = QDir::toNativeSeparators(QDir::tempPath());
#endif
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}
