#include "media_backend.h"

#include <QList>
#include <QMediaFormat>
#include <QtGlobal>

void PrepareMediaBackend()
{
    static const bool prepared = [] {
        if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
            qputenv("QT_MEDIA_BACKEND", "gstreamer");
        // Asking for the formats makes the backend.
        QMediaFormat().supportedFileFormats(QMediaFormat::Decode);
        return true;
    }();
    Q_UNUSED(prepared);
}
