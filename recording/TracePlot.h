#pragma once

#include <QString>

// The plot as the recording run sees it. Coordinates are plot units:
// x from 0 (left) to 2000 (right), y from 0 (bottom) to 280 (top).
class TracePlot
{
public:
    virtual ~TracePlot() = default;

    // Shows the surface, clears it and draws the two axes.
    virtual void PreparePlot() = 0;
    virtual void drawSegment(float x1, float y1, float x2, float y2) = 0;
    // Saves the picture beside the data file. On failure returns false and sets a
    // message for the operator naming the picture's path and the reason.
    virtual bool saveSnapshot(const QString &dataFileName, QString *errorMessage) = 0;
};
