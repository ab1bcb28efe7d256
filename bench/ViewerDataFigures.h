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
    // The recording of that length, written on first use; empty, with the figure reported
    // as failed, if the simulator could not write it.
    QString recordingOf(qint64 seconds, const QString &figure);
    void measureDay();
    void measureExports();

    BenchReport &m_report;
    SimulatedRecordings m_recordings;
};
