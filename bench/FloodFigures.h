#pragma once

#include "StreamCheck.h"

#include <QString>

class BenchReport;

// Recordings of a stream sent as fast as the pseudo-terminal takes it, the simulator
// in a process of its own: throughput and bytes lost, with a simulator that fills the
// pty at once and with one that refills it only after the program has read, and memory
// over a long flood.
class FloodFigures {
public:
    explicit FloodFigures(BenchReport &report);

    void measureThroughput();
    void measureMemory();

private:
    enum class Loop { Program, Baseline };
    enum class Refill { AtOnce, WhenWritable };

    struct Outcome {
        QString problem;
        qint64 blocks = 0;
        double mbPerSecond = 0;
        double peakResidentMb = -1;
        double endResidentMb = -1;
        StreamCheck::Result check;
    };

    // Reports <prefix>_mb_s and <prefix>_lost_bytes, against the baseline.
    void measureThroughput(const QString &prefix, Refill refill);
    Outcome flood(Loop loop, Refill refill, qint64 bytes, qint64 seconds, bool compareWithStream);

    BenchReport &m_report;
};
