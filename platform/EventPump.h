#pragma once

#include <QTimer>

// Lets the window handle its events while a long operation (a recording) runs
// inside one of its handlers.
class EventPump
{
public:
    EventPump();

    // Handles every pending event, then returns; at once if none is pending.
    void pumpPending();
    // Sleeps until at least one event arrives (a timer tick, a click, the window
    // closing) or the time is up, handles what is pending, then returns. No time
    // (0) only handles what is pending.
    void waitAndPump(int milliseconds);

private:
    QTimer m_timeUp;
};
