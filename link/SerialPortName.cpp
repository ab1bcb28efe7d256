#include "link/SerialPortName.h"

#include <QtGlobal>

QString SerialPortName::forPort(int number)
{
    return forPort(number, thisSystem());
}

QString SerialPortName::forPort(int number, System system)
{
    const QString configured = qEnvironmentVariable(qPrintable(QStringLiteral("LARVENTA_PORT%1").arg(number)));
    if (!configured.isEmpty())
        return configured;
    if (system == System::Windows)
        return QStringLiteral("COM%1").arg(number);
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}
