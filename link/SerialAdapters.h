#pragma once

#include <QStringList>

// The serial adapters plugged in now, USB serial (ttyUSB*) and modem-class (ttyACM*)
// devices, each by its lasting name under serial/by-id when it has one: that name
// stays the same whatever order the adapters were plugged in.
class SerialAdapters
{
public:
    static QStringList present(const QString &deviceFolder = QStringLiteral("/dev"));
    // What the operator sets to record from one of them.
    static QString choiceHint(const QStringList &adapters, int portNumber);
};
