#include "settings_file.h"

#include "fsl_file.h"

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
