#include "StopSignals.h"

#include <csignal>

QList<StopSignals::Signal> StopSignals::all()
{
    return {{QStringLiteral("Ctrl+C"), SIGINT},
            {QStringLiteral("a kill"), SIGTERM},
            {QStringLiteral("the terminal closed"), SIGHUP}};
}

bool StopSignals::send(qint64 processId, int number)
{
    return ::kill(pid_t(processId), number) == 0;
}
