#pragma once

#include "recording/TracePlot.h"

#include <QLineF>
#include <QList>
#include <QStringList>

#include <functional>

// Keeps what the run draws instead of drawing it.
class RecordingPlot : public TracePlot
{
public:
    void PreparePlot() override
    {
        ++prepared;
        segments.clear();
        segmentCount = 0;
    }
    void drawSegment(float x1, float y1, float x2, float y2) override
    {
        if (++segmentCount <= KeptSegments)
            segments.append(QLineF(x1, y1, x2, y2));
        if (afterSegment)
            afterSegment(segmentCount);
    }
    bool saveSnapshot(const QString &dataFileName, QString *) override
    {
        snapshots.append(dataFileName);
        return true;
    }

    static constexpr qint64 KeptSegments = 100000;

    int prepared = 0;
    qint64 segmentCount = 0;
    // The first KeptSegments segments since the plot was prepared.
    QList<QLineF> segments;
    QStringList snapshots;
    // Called with segmentCount after each segment, in the middle of the run's work: to step in
    // at a given point without looking every few milliseconds.
    std::function<void(qint64)> afterSegment;
};
