#pragma once

#include <QString>

// The error code whose words the system's text holds ("Read-only file system" gives EROFS), in the
// C library's English or in the words of the running locale; 0 when it names no known reason.
int SystemErrorCode(const QString& systemText);

// The system's reason for a failed file or device operation ("Read-only file system"), in German.
// A text that names no known reason is given back as it is.
QString GermanReason(const QString& systemText);
