#include "port_names.h"

#include "files/system_reason.h"

#include <QRegularExpression>

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

QString PortErrorText(QSerialPort::SerialPortError error, const QString& systemText)
{
    QString reason;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        reason = QStringLiteral("Das Gerät wurde nicht gefunden.");
        break;
    case QSerialPort::PermissionError:
        reason = QStringLiteral("Die Schnittstelle ist belegt oder der Zugriff ist nicht erlaubt.");
        break;
    case QSerialPort::OpenError:
        reason = QStringLiteral("Die Schnittstelle ist bereits geöffnet.");
        break;
    case QSerialPort::ResourceError:
        reason = QStringLiteral("Das Gerät ist nicht mehr verfügbar (zum Beispiel USB-Adapter abgezogen).");
        break;
    case QSerialPort::WriteError:
        reason = QStringLiteral("Daten konnten nicht geschrieben werden.");
        break;
    case QSerialPort::ReadError:
        reason = QStringLiteral("Daten konnten nicht gelesen werden.");
        break;
    default:
        reason = QStringLiteral("Unbekannter Fehler.");
        break;
    }
    const QString detail = GermanSystemText(systemText);
    if (!detail.isEmpty())
        reason += QStringLiteral(" (") + detail + QLatin1Char(')');
    return reason;
}

QString GermanSystemText(const QString& systemText)
{
    // Anything the table does not know would reach the user in English; the reason before it says enough.
    const QString german = GermanReason(systemText.trimmed());
    if (german == systemText.trimmed())
        return QString();
    return german.endsWith(QLatin1Char('.')) ? german.chopped(1) : german;
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
