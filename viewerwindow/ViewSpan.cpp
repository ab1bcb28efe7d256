#include "viewerwindow/ViewSpan.h"

#include <algorithm>

void ViewSpan::setSampleCount(qint64 count)
{
    m_sampleCount = std::max<qint64>(count, 0);
    if (m_fitted)
        fit();
    else
        keepWithinRecording();
}

void ViewSpan::setWidth(int pixels)
{
    m_width = std::max(pixels, 1);
    if (m_fitted)
        fit();
    else
        keepWithinRecording();
}

bool ViewSpan::showsWholeRecording() const
{
    return m_samplesPerPixel >= widestSamplesPerPixel();
}

void ViewSpan::fit()
{
    m_samplesPerPixel = widestSamplesPerPixel();
    m_firstSample = 0;
    m_fitted = true;
}

void ViewSpan::zoomAbout(double x, double factor)
{
    const double anchor = sampleAt(x);
    m_samplesPerPixel /= factor;
    m_firstSample = anchor - x * m_samplesPerPixel;
    keepWithinRecording();
}

void ViewSpan::scrollBy(double pixels)
{
    m_firstSample += pixels * m_samplesPerPixel;
    keepWithinRecording();
}

void ViewSpan::goToStart()
{
    m_firstSample = 0;
    keepWithinRecording();
}

void ViewSpan::goToEnd()
{
    m_firstSample = double(m_sampleCount);
    keepWithinRecording();
}

// A recording too short to fill the width at the closest zoom is shown whole all the same.
double ViewSpan::widestSamplesPerPixel() const
{
    return std::max(double(m_sampleCount), 1.0) / m_width;
}

double ViewSpan::narrowestSamplesPerPixel() const
{
    return std::min(1.0 / MaxPixelsPerSample, widestSamplesPerPixel());
}

void ViewSpan::keepWithinRecording()
{
    m_samplesPerPixel = std::clamp(m_samplesPerPixel, narrowestSamplesPerPixel(), widestSamplesPerPixel());
    const double lastFirst = std::max(0.0, double(m_sampleCount) - m_width * m_samplesPerPixel);
    m_firstSample = std::clamp(m_firstSample, 0.0, lastFirst);
    m_fitted = showsWholeRecording();
}
