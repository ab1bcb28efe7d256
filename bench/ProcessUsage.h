#pragma once

#include <QtGlobal>

// Processor time and memory of this process, as the system accounts them.
class ProcessUsage {
public:
    // User plus system time of every thread of the process, in seconds.
    static double cpuSeconds();
    // Resident memory now (VmRSS) and its peak (VmHWM), in MB of 10^6 bytes; -1 if unreadable.
    static double residentMb();
    static double peakResidentMb();
    // Starts the peak afresh from the current resident size; false if the system refuses.
    static bool resetPeak();
};
