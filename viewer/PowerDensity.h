#pragma once

#include <QtGlobal>

#include <vector>

// The one-sided power spectral density of samples [first, last) of a recording, as Welch's
// method estimates it: bins 0 … segmentLength / 2, binWidth() hertz apart, each in squared
// sample units per hertz, so that the density summed over the bins times binWidth() is the
// samples' variance.
struct PowerDensity
{
    // Densities at or below this read as its level: nothing is below −300 dB.
    static constexpr double LowestDensity = 1e-30;

    double samplesPerSecond = 0;
    int segmentLength = 0;
    qint64 segmentCount = 0;
    qint64 first = 0;
    qint64 last = 0;
    std::vector<double> density;

    int binCount() const { return int(density.size()); }
    double binWidth() const { return samplesPerSecond / segmentLength; }
    double frequencyOf(int bin) const { return bin * binWidth(); }
    // 10·log10 of the density, relative to one squared sample unit per hertz.
    double decibelsAt(int bin) const;
    // The bin of the highest density past the mean's (bin 0); -1 if there is none.
    int peakBin() const;
    // The bin whose frequency is nearest, within the spectrum.
    int binNearest(double hertz) const;
    // The density summed over the bins times binWidth(): the variance it accounts for.
    double integrated() const;
};
