#include "system_reason.h"

#include <cerrno>
#include <cstring>

namespace {

struct Reason {
    int code;
    const char* english; // as the C library writes it in English; Qt writes some of these in English always
    const char* german;
};

const Reason Reasons[] = {
    { EACCES, "Permission denied", "Keine Berechtigung." },
    { EPERM, "Operation not permitted", "Der Vorgang ist nicht erlaubt." },
    { EROFS, "Read-only file system", "Das Dateisystem ist schreibgeschützt." },
    { ENAMETOOLONG, "File name too long", "Der Name ist zu lang." },
    { ENOSPC, "No space left on device", "Auf dem Datenträger ist kein Platz mehr frei." },
#ifdef EDQUOT
    { EDQUOT, "Disk quota exceeded", "Der zugeteilte Speicherplatz ist aufgebraucht." },
#endif
    { EFBIG, "File too large",
        "Die Datei ist zu groß: Das System oder das Dateisystem erlaubt keine so große Datei." },
    { ENOENT, "No such file or directory", "Die Datei oder der Ordner existiert nicht." },
    { ENOTDIR, "Not a directory", "Ein Teil des Pfades ist kein Ordner." },
    { EISDIR, "Is a directory", "Dort steht ein Ordner." },
    { EEXIST, "File exists", "Dort gibt es bereits eine Datei dieses Namens." },
    { ENOTEMPTY, "Directory not empty", "Der Ordner ist nicht leer." },
    { ELOOP, "Too many levels of symbolic links", "Die Verknüpfungen verweisen im Kreis." },
    { ETXTBSY, "Text file busy", "Die Datei wird gerade ausgeführt." },
    { EIO, "Input/output error", "Der Datenträger meldet einen Ein-/Ausgabefehler." },
    { EBUSY, "Device or resource busy", "Das Gerät oder die Datei ist belegt." },
    { EMFILE, "Too many open files", "Es sind zu viele Dateien geöffnet." },
    { ENFILE, "Too many open files in system", "Im System sind zu viele Dateien geöffnet." },
    { ENOMEM, "Cannot allocate memory", "Der Arbeitsspeicher reicht nicht." },
    { ENODEV, "No such device", "Das Gerät gibt es nicht." },
    { ENXIO, "No such device or address", "Das Gerät ist nicht erreichbar." },
    { EINVAL, "Invalid argument", "Der Name oder Wert ist ungültig." },
    { EXDEV, "Invalid cross-device link", "Die Datei liegt auf einem anderen Datenträger." },
    { ENOTTY, "Inappropriate ioctl for device", "Das Gerät ist keine serielle Schnittstelle." },
    { EPIPE, "Broken pipe", "Die Gegenstelle hat die Verbindung beendet." },
    { EAGAIN, "Resource temporarily unavailable", "Das Gerät ist zur Zeit nicht verfügbar." },
    { ETIMEDOUT, "Connection timed out", "Die Zeit ist abgelaufen, ohne dass das Gerät antwortete." },
    { ESTALE, "Stale file handle", "Die Datei auf dem Netzlaufwerk ist nicht mehr gültig." },
    // QSaveFile's own words
    { EISDIR, "Filename refers to a directory", "Dort steht ein Ordner." },
    { EACCES, "is not writable", "Die vorhandene Datei ist schreibgeschützt." },
};

const Reason* reasonFor(const QString& systemText)
{
    // The longest words win: "No such device" is a part of "No such device or address".
    const Reason* best = nullptr;
    qsizetype bestLength = 0;
    const auto consider = [&](const Reason& reason, const QString& words) {
        if (words.size() > bestLength && systemText.contains(words, Qt::CaseInsensitive)) {
            best = &reason;
            bestLength = words.size();
        }
    };
    for (const Reason& reason : Reasons) {
        consider(reason, QString::fromLatin1(reason.english));
        consider(reason, QString::fromLocal8Bit(std::strerror(reason.code)));
    }
    return best;
}

} // namespace

int SystemErrorCode(const QString& systemText)
{
    const Reason* reason = reasonFor(systemText);
    return reason ? reason->code : 0;
}

QString GermanReason(const QString& systemText)
{
    const Reason* reason = reasonFor(systemText);
    return reason ? QString::fromUtf8(reason->german) : systemText;
}
