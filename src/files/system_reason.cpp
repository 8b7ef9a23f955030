#include "system_reason.h"

#include <cerrno>
#include <cstring>

namespace {

struct Reason {
    int code;
    const char* german;
};

// The system writes its reasons in the C library's words; each is matched by the text that
// strerror gives for its code here.
const Reason Reasons[] = {
    { EACCES, "Keine Berechtigung." },
    { EPERM, "Der Vorgang ist nicht erlaubt." },
    { EROFS, "Das Dateisystem ist schreibgeschützt." },
    { ENAMETOOLONG, "Der Name ist zu lang." },
    { ENOSPC, "Auf dem Datenträger ist kein Platz mehr frei." },
#ifdef EDQUOT
    { EDQUOT, "Der zugeteilte Speicherplatz ist aufgebraucht." },
#endif
    { ENOENT, "Die Datei oder der Ordner existiert nicht." },
    { ENOTDIR, "Ein Teil des Pfades ist kein Ordner." },
    { EISDIR, "Dort steht ein Ordner." },
    { EEXIST, "Dort gibt es bereits eine Datei dieses Namens." },
    { EIO, "Der Datenträger meldet einen Ein-/Ausgabefehler." },
    { EBUSY, "Das Gerät oder die Datei ist belegt." },
    { EMFILE, "Es sind zu viele Dateien geöffnet." },
    { ENODEV, "Das Gerät gibt es nicht." },
    { ENXIO, "Das Gerät ist nicht erreichbar." },
    { EINVAL, "Der Name oder Wert ist ungültig." },
    { EXDEV, "Die Datei liegt auf einem anderen Datenträger." },
    { ENOTTY, "Das Gerät ist keine serielle Schnittstelle." },
    { EPIPE, "Die Gegenstelle hat die Verbindung beendet." },
    { EAGAIN, "Das Gerät ist zur Zeit nicht verfügbar." },
};

} // namespace

QString GermanReason(const QString& systemText)
{
    for (const Reason& reason : Reasons) {
        const QString words = QString::fromLocal8Bit(std::strerror(reason.code));
        if (!words.isEmpty() && systemText.contains(words, Qt::CaseInsensitive))
            return QString::fromUtf8(reason.german);
    }
    return systemText;
}
