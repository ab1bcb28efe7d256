#pragma once

#include <QString>

// A recording as the recorder leaves one, without an instrument: a data file of whole
// 512-byte blocks of channel 1's signal, and its description with every key the recorder
// fills, as if the run had just completed.
class SimulatedRecording
{
public:
    // Writes as many whole blocks as seconds × samplesPerSecond fill; at least one. On failure
    // returns false with the reason.
    static bool write(const QString &dataPath, double seconds, double samplesPerSecond, QString *errorMessage);
};
