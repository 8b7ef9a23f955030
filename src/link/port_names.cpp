#include "port_names.h"

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
    if (!systemText.isEmpty())
        reason += QStringLiteral(" (") + systemText + QLatin1Char(')');
    return reason;
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
