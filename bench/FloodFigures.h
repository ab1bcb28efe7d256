#pragma once

#include "StreamCheck.h"

#include <QString>

class BenchReport;

// Recordings of a stream sent as fast as the pseudo-terminal takes it, the simulator
// in a process of its own: throughput, bytes lost, and memory over a long flood.
class FloodFigures {
public:
    explicit FloodFigures(BenchReport &report);

    void measureThroughput();
    void measureMemory();

private:
    enum class Loop { Program, Baseline };

    struct Outcome {
        QString problem;
        qint64 blocks = 0;
        double mbPerSecond = 0;
        double peakResidentMb = -1;
        double endResidentMb = -1;
        StreamCheck::Result check;
    };

    Outcome flood(Loop loop, qint64 bytes, qint64 seconds, bool compareWithStream);

    BenchReport &m_report;
};
