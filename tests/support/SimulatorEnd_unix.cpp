#include "SimulatorEnd.h"

#include "sim/InstrumentSimulator.h"

QString SimulatorEnd::open(InstrumentSimulator &sim)
{
    QString error;
    if (!sim.open(&error))
        qFatal("Cannot open the instrument simulator: %s", qPrintable(error));
    qputenv("LARVENTA_PORT1", sim.devicePath().toLocal8Bit());
    return sim.devicePath();
}
