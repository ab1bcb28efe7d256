#pragma once

#include <QStringList>

// The serial ports the operator could record from instead (SerialAdapters_unix.cpp,
// SerialAdapters_win.cpp). On Linux the adapters plugged in now, USB serial (ttyUSB*) and
// modem-class (ttyACM*) devices in deviceFolder, each by its lasting name under serial/by-id
// when it has one: that name stays the same whatever order the adapters were plugged in. On
// Windows every COM port the system knows, with its description, such as "COM3 (USB Serial
// Device)"; deviceFolder plays no part there.
class SerialAdapters
{
public:
    static QStringList present(const QString &deviceFolder = QStringLiteral("/dev"));
    // What the operator sets to record from one of them.
    static QString choiceHint(const QStringList &adapters, int portNumber);
};
