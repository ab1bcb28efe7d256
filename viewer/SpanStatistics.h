#pragma once

#include <QtGlobal>

// Of the samples in a span; all zero when the span holds none.
struct SpanStatistics
{
    qint64 count = 0;
    int min = 0;
    int max = 0;
    double mean = 0;
    double rms = 0;
    int peakToPeak() const { return max - min; }
};
