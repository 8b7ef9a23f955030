#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

constexpr int FirstPortNumber = 1;
constexpr int LastPortNumber = 8;

// The port number is the last character of the chosen text: "COM3" gives 3; anything else gives 0.
int PortNumber(const QString& portText);

// The device that stands for COMn: the environment variable KELTO_COMn when it is set, otherwise
// /dev/ttyS<n-1> (Linux) or COMn (Windows). Empty for a number outside 1..8.
QString PortDevice(int number);

// Why a port could not be used, in words for the user, with the system's own text appended in German
// (left out when it has no German words here).
QString PortErrorText(QSerialPort::SerialPortError error, const QString& systemText);
QString GermanSystemText(const QString& systemText);

struct ChosenPort {
    QString name; // "COM3", or the path as given
    QString device;
};

// "COM1" .. "COM8" (mapped as in the window, any case) or a device path (anything with a "/").
std::optional<ChosenPort> ResolvePort(const QString& text);

// Whether the far end of the line is gone. A hung-up terminal (USB adapter pulled, pseudo-terminal
// closed) reads as end of file, which the port reports as a read error with a stale system text.
bool LineHungUp(const QSerialPort& port);

// The line settings of the firing device: 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
void ApplyDeviceLineSettings(QSerialPort& port);
