#include "platform/EventPump.h"

#include <QCoreApplication>

void EventPump::pumpPending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EventPump::waitAndPump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
