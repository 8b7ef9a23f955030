#pragma once

#include <QString>

// The system's reason for a failed file or device operation ("Read-only file system"), in German.
// A text that names no known reason is given back as it is.
QString GermanReason(const QString& systemText);
