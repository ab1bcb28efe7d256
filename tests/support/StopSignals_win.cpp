#include "StopSignals.h"

#include "WindowsSuite.h"

// Windows ends a console program with a console control event, not a signal sent to it.
QList<StopSignals::Signal> StopSignals::all()
{
    linuxOnlyStep("StopSignals");
}

bool StopSignals::send(qint64, int)
{
    linuxOnlyStep("StopSignals");
}
