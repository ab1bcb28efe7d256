#pragma once

#include "SimulatedRecordings.h"

#include <QString>

class BenchReport;

// The viewer's data side on recordings the simulator writes at 5,600 samples/s: the
// statistics over a whole day, the private memory a day's recording adds beyond its
// file's mapped pages, and the exports of an hour to WAV and EDF+, the files' pages
// already cached.
class ViewerDataFigures
{
public:
    explicit ViewerDataFigures(BenchReport &report);

    void measure();

private:
    void measureDay();
    void measureExports();

    BenchReport &m_report;
    SimulatedRecordings m_recordings;
};
