#include "link/SerialPortName.h"

#include <QtGlobal>

QString SerialPortName::forPort(int number)
{
    const QString configured = qEnvironmentVariable(qPrintable(QStringLiteral("LARVENTA_PORT%1").arg(number)));
    if (!configured.isEmpty())
        return configured;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}
