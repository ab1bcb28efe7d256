#pragma once

#include <QString>

class InstrumentSimulator;

// The instrument simulator's end of a test's line, with serial port 1 (LARVENTA_PORT1) set to the
// host's end: on Linux a pseudo-terminal of the simulator's own; on Windows COM2, which the Windows
// suite's test bed (tests/wine/run) wires to COM1.
class SimulatorEnd
{
public:
    // The host's end; ends the test program if the simulator cannot open its own.
    static QString open(InstrumentSimulator &sim);
};
