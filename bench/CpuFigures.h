#pragma once

class BenchReport;

// Processor time of the recording process over wall time: recording at the line's
// full rate, and the window standing open with nothing to do.
class CpuFigures {
public:
    explicit CpuFigures(BenchReport &report);

    void measureLineRate();
    void measureIdle();

private:
    BenchReport &m_report;
};
