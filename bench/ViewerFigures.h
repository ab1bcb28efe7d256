#pragma once

#include "SimulatedRecordings.h"

#include <QString>

class BenchReport;

// The viewer on recordings the simulator writes at 5,600 samples/s: how long the window
// takes from its creation to the drawn overview of an hour and of a day, the file's pages
// already cached; and how long its view takes to repaint 1,600 px wide at every zoom
// level from the whole day down to 20 px a sample.
class ViewerFigures
{
public:
    explicit ViewerFigures(BenchReport &report);

    void measureOpen();
    void measureRedraw();

private:
    void measureOpen(qint64 seconds, const QString &figure, double goal);

    BenchReport &m_report;
    SimulatedRecordings m_recordings;
};
