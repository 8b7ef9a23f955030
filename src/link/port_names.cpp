#include "port_names.h"

#include "files/system_reason.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

int PortNumber(const QString& portText)
{
    if (portText.isEmpty())
        return 0;
    const int digit = portText.back().digitValue();
    return digit < 0 ? 0 : digit;
}

QString PortDevice(int number)
{
    if (number < FirstPortNumber || number > LastPortNumber)
        return QString();
    const QString chosen = qEnvironmentVariable(qPrintable(QStringLiteral("KELTO_COM%1").arg(number)));
    if (!chosen.isEmpty())
        return chosen;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

namespace {

// The reasons a serial port meets, in the words of a port rather than of a file.
QString portReason(const QString& systemText)
{
    switch (SystemErrorCode(systemText)) {
    case 0:
        return QString();
    case ENOENT:
        return QStringLiteral("Das Gerät wurde nicht gefunden.");
    case EACCES:
        return QStringLiteral("Keine Berechtigung für diese Schnittstelle (unter Linux: Mitglied der Gruppe "
                              "dialout werden und neu anmelden).");
    case EBUSY:
        return QStringLiteral("Die Schnittstelle ist belegt: Ein anderes Programm benutzt sie.");
    case EIO:
        return QStringLiteral(
            "Ein-/Ausgabefehler an der Schnittstelle: Das Gerät fehlt oder wurde abgezogen.");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("An dieser Schnittstelle ist kein Gerät erreichbar.");
    default:
        return GermanReason(systemText);
    }
}

QString withoutStop(const QString& text) { return text.endsWith(QLatin1Char('.')) ? text.chopped(1) : text; }

} // namespace

QString PortErrorText(QSerialPort::SerialPortError error, const QString& systemText)
{
    const QString known = portReason(systemText.trimmed());
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return known.isEmpty() ? QStringLiteral("Das Gerät wurde nicht gefunden.") : known;
    case QSerialPort::PermissionError:
        return known.isEmpty()
            ? QStringLiteral("Die Schnittstelle ist belegt oder der Zugriff ist nicht erlaubt.")
            : known;
    case QSerialPort::OpenError:
        return QStringLiteral("Die Schnittstelle ist bereits geöffnet.");
    case QSerialPort::ResourceError:
        return QStringLiteral("Das Gerät ist nicht mehr verfügbar (zum Beispiel USB-Adapter abgezogen).");
    case QSerialPort::WriteError:
        return known.isEmpty()
            ? QStringLiteral("Daten konnten nicht geschrieben werden.")
            : QStringLiteral("Daten konnten nicht geschrieben werden: %1.").arg(withoutStop(known));
    case QSerialPort::ReadError:
        return known.isEmpty()
            ? QStringLiteral("Daten konnten nicht gelesen werden.")
            : QStringLiteral("Daten konnten nicht gelesen werden: %1.").arg(withoutStop(known));
    default:
        // Anything the table does not know would reach the user in English.
        return known.isEmpty() ? QStringLiteral("Unbekannter Fehler.") : known;
    }
}

namespace {

PortLister s_lister = nullptr;

QList<PresentPort> systemPorts()
{
    QList<PresentPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({ info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber() });
    return ports;
}

} // namespace

QList<PresentPort> PresentPorts()
{
    QList<PresentPort> ports = s_lister ? s_lister() : systemPorts();
    std::sort(ports.begin(), ports.end(),
        [](const PresentPort& a, const PresentPort& b) { return a.device < b.device; });
    return ports;
}

void SetPortLister(PortLister lister) { s_lister = lister; }

bool SameDevice(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a == b)
        return true;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

QList<PortChoice> PortChoices(const QList<PresentPort>& present)
{
    QList<PortChoice> choices;
    QStringList comDevices;
    for (int n = FirstPortNumber; n <= LastPortNumber; ++n) {
        choices.append({ QStringLiteral("COM%1").arg(n), n, QString() });
        comDevices.append(PortDevice(n));
    }
    for (const PresentPort& port : present) {
        const bool named = std::any_of(comDevices.cbegin(), comDevices.cend(),
            [&](const QString& device) { return SameDevice(device, port.device); });
        if (named)
            continue;
        const QString text = port.description.isEmpty()
            ? port.device
            : port.device + QStringLiteral(" – ") + port.description;
        choices.append({ text, 0, port.device });
    }
    return choices;
}

QString ChoiceDevice(const PortChoice& choice)
{
    return choice.number > 0 ? PortDevice(choice.number) : choice.device;
}

QString PortSetting(const PortChoice& choice) { return choice.number > 0 ? choice.text : choice.device; }

int ChoiceForSetting(const QList<PortChoice>& choices, const QString& setting)
{
    for (int i = 0; i < choices.size(); ++i) {
        if (choices[i].number > 0 && choices[i].text == setting)
            return i;
    }
    // A device path: the present port itself, or the COMn that stands for it.
    if (!setting.contains(QLatin1Char('/')) && !setting.contains(QLatin1Char('\\')))
        return -1;
    for (int i = 0; i < choices.size(); ++i) {
        if (choices[i].number == 0 && SameDevice(choices[i].device, setting))
            return i;
    }
    for (int i = 0; i < choices.size(); ++i) {
        if (choices[i].number > 0 && SameDevice(ChoiceDevice(choices[i]), setting))
            return i;
    }
    return -1;
}

std::optional<ChosenPort> ResolvePort(const QString& text)
{
    static const QRegularExpression comName(
        QStringLiteral("^COM([1-8])$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(text);
    if (match.hasMatch()) {
        const int number = match.captured(1).toInt();
        return ChosenPort { QStringLiteral("COM%1").arg(number), PortDevice(number) };
    }
    if (text.contains(QLatin1Char('/')))
        return ChosenPort { text, text };
    return std::nullopt;
}

bool LineHungUp(const QSerialPort& port)
{
#ifdef Q_OS_UNIX
    pollfd line { int(port.handle()), POLLIN, 0 };
    return port.isOpen() && ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR)) != 0;
#else
    Q_UNUSED(port);
    return false;
#endif
}

void ApplyDeviceLineSettings(QSerialPort& port)
{
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}
