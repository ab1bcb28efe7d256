#pragma once

#include <QString>

class BenchReport;
class ThreadedSimulator;

// Delays measured against an instrument simulator on a thread of this process, which
// notes the moment it reads a command or completes a block: from a Stop click to the
// stop code reaching the instrument, and from a block's last byte, sent one byte a
// write, to its trace.
class LatencyFigures {
public:
    explicit LatencyFigures(BenchReport &report);

    void measureStop();
    void measureBlocks();

private:
    // Reports the figure as failed when the simulator cannot start.
    bool simulatorStarted(ThreadedSimulator &sim, const QString &figure);

    BenchReport &m_report;
};
