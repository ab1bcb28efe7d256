#pragma once

#include "viewer/PowerDensity.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>

class Recording;

// Welch's estimate of a span's power spectral density: the span's mean removed, segments
// of segmentLength samples that overlap by half, each under a Hann window, their
// periodograms averaged. Samples after the last whole segment are left out. Long spans
// are shared among the processor's cores.
class WelchEstimate
{
public:
    static constexpr int ShortestSegment = 256;
    static constexpr int LongestSegment = 65536;
    static constexpr int LongestDefaultSegment = 8192;

    struct Request
    {
        qint64 first = 0;
        qint64 last = 0;
        // ShortestSegment … LongestSegment, or 0 for defaultSegmentLength().
        int segmentLength = 0;
        double samplesPerSecond = 0;
    };

    // The largest power of two at or below a quarter of the span, within ShortestSegment …
    // LongestDefaultSegment.
    static int defaultSegmentLength(qint64 samples);

    // Estimates the spectrum of samples [first, last) of the recording. progress, if set, is
    // called with 0 … 100 as the segments are done, on the calling thread. On failure,
    // or once *cancelled is true, returns nothing and sets a Russian message: a span shorter
    // than a segment, a segment length out of range, a file cut short meanwhile.
    static std::optional<PowerDensity> compute(const Recording &recording, const Request &request,
                                                const std::atomic<bool> *cancelled,
                                                const std::function<void(int percent)> &progress,
                                                QString *errorMessage);
};
