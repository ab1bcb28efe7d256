#pragma once

#include "BenchReport.h"

#include <QString>

// Processor time of the recording process over wall time, and the recording thread's
// wake-ups: recording at the line's full rate as a port hands it over in slices of 1,
// 8 and 56 bytes, and the window standing open with nothing to do.
class CpuFigures {
public:
    explicit CpuFigures(BenchReport &report);

    void measureLineRate();
    void measureIdle();

private:
    struct Deliveries {
        int chunkBytes;
        QString suffix; // of the figures' names
        BenchReport::Goal cpuGoal;
        double cpuGoalValue;
        BenchReport::Goal wakeupGoal;
        double wakeupGoalValue;
    };

    void measureDeliveries(const Deliveries &deliveries);

    BenchReport &m_report;
};
