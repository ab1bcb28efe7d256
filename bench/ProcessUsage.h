#pragma once

#include <QtGlobal>

// Processor time, waits and memory of this process, as the system accounts them.
class ProcessUsage {
public:
    // User plus system time of every thread of the process, in seconds.
    static double cpuSeconds();
    // Times the calling thread has given up the processor to wait (its voluntary context
    // switches): each ends in a wake-up.
    static qint64 callingThreadWaits();
    // Resident memory now (VmRSS) and its peak (VmHWM), in MB of 10^6 bytes; -1 if unreadable.
    static double residentMb();
    static double peakResidentMb();
    // Of that, the program's own memory (RssAnon): without the pages of files it maps, which
    // belong to the system's file cache.
    static double ownResidentMb();
    // Starts the peak afresh from the current resident size; false if the system refuses.
    static bool resetPeak();
};
