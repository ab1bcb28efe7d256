#pragma once

// Lets the window handle its events while a long operation (a recording) runs
// inside one of its handlers.
class EventPump
{
public:
    // Handles every pending event, then returns; at once if none is pending.
    void pumpPending();
    // Sleeps until at least one event arrives (data on a device, a timer tick, a click,
    // the window closing), handles what is pending, then returns.
    void waitAndPump();
};
