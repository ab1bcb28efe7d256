#pragma once

#include "SimulatedRecordings.h"

#include <QString>

class BenchReport;
class Recording;

// The viewer's data side on recordings the simulator writes at 5,600 samples/s: the
// statistics over a whole day, the private memory a day's recording adds beyond its
// file's mapped pages, the exports of an hour to WAV and EDF+, and the spectrum of a whole
// hour and of a whole day, the files' pages already cached.
class ViewerDataFigures
{
public:
    explicit ViewerDataFigures(BenchReport &report);

    void measure();

private:
    void measureDay();
    void measureExports();
    // Welch's estimate over the whole recording, with the default segment.
    void measureSpectrum(const Recording *recording, const QString &error, const QString &figure, int repeats,
                         double goalMs);

    BenchReport &m_report;
    SimulatedRecordings m_recordings;
};
