#pragma once

#include <QList>
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

// Why a port could not be used, in German words for the user: the system's reason when it is known,
// else what the kind of failure says; never the same reason twice.
QString PortErrorText(QSerialPort::SerialPortError error, const QString& systemText);

// A serial port the system reports as present.
struct PresentPort {
    QString device; // "/dev/ttyUSB0", "COM5"
    QString description; // "FT232R USB UART"
    QString manufacturer;
    QString serialNumber;
};

// The ports present now (QSerialPortInfo), sorted by device.
QList<PresentPort> PresentPorts();
// Tests list their own ports here; nullptr asks the system again.
using PortLister = QList<PresentPort> (*)();
void SetPortLister(PortLister lister);

// Whether two device paths name the same device (a link such as /dev/serial/by-id/... counts).
bool SameDevice(const QString& a, const QString& b);

// One entry of the window's port box: COM1 .. COM8 (their device looked up when used), then a
// present port that no COMn stands for.
struct PortChoice {
    QString text; // "COM3", "/dev/ttyUSB0 – FT232R USB UART"
    int number = 0; // 1..8 for COMn, 0 for a present port
    QString device; // of a present port
};

QList<PortChoice> PortChoices(const QList<PresentPort>& present);
QString ChoiceDevice(const PortChoice& choice);
// What "Ordner merken" keeps on the settings file's second line: "COM3", or the device path.
QString PortSetting(const PortChoice& choice);
// The choice a remembered setting names, or -1 (a COMn beyond 8, a device no longer present).
int ChoiceForSetting(const QList<PortChoice>& choices, const QString& setting);

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
