#include "platform/EventPump.h"

#include <QCoreApplication>

EventPump::EventPump()
{
    m_timeUp.setSingleShot(true);
    m_timeUp.setTimerType(Qt::PreciseTimer);
}

void EventPump::pumpPending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EventPump::waitAndPump(int milliseconds)
{
    if (milliseconds <= 0) {
        pumpPending();
        return;
    }
    // Its timeout is an event like any other: it ends the wait and needs no handler.
    m_timeUp.start(milliseconds);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_timeUp.stop();
}
