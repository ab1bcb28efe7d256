#pragma once

#include <QList>

class InstrumentSimulator;

// Every command byte the simulator has heard from the host until now, for a test that must
// know nothing more is on its way. A byte the instrument ignores, written to the host's end of
// the line through a handle of the test's own, reaches the simulator after everything the host
// wrote before it; the bytes heard before it are the answer. It waits in the event loop, where
// the simulator reads, for at most a deadline that only bounds a hang.
class HeardCommands
{
public:
    // Without the marks of earlier calls. Should the mark never arrive, the answer ends with it.
    static QList<quint8> upToNow(const InstrumentSimulator &sim);
};
