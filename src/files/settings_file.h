#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The settings folder, with a separator at its end: "temp" as on Windows; elsewhere also TEMP and
// TMP, then the platform's own.
QString SettingsFolder();

class QIODevice;

inline const QString SettingsFileName = QStringLiteral("kelto.ini");

// What "Ordner merken" keeps for the next start.
struct RememberedSettings {
    QString folder; // with its trailing separator
    QString port;
};

// Two lines ended by CR LF, in Windows-1252.
QByteArray SettingsFileBytes(const RememberedSettings& settings);

// nullopt when the file has fewer than two lines or cannot be read.
std::optional<RememberedSettings> ReadSettingsFile(QIODevice& device);
std::optional<RememberedSettings> ReadSettingsFile(const QString& path);
