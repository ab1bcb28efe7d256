#include "SimulatorEnd.h"

#include "sim/InstrumentSimulator.h"

QString SimulatorEnd::open(InstrumentSimulator &sim)
{
    const QString host = QStringLiteral("COM1");
    QString error;
    if (!sim.openDevice(QStringLiteral("COM2"), &error))
        qFatal("Cannot open the instrument simulator on COM2, wired to %s by the test bed: %s", qPrintable(host),
               qPrintable(error));
    qputenv("LARVENTA_PORT1", host.toLocal8Bit());
    return host;
}
