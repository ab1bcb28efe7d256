#pragma once

#include <QtGlobal>

// Which samples a view of a given width shows: the sample at its left edge and how many
// samples each pixel column covers. Column x covers samples [sampleAt(x), sampleAt(x + 1)).
// Zoom stops at the whole recording and at MaxPixelsPerSample; the span never leaves the
// recording.
class ViewSpan
{
public:
    static constexpr double MaxPixelsPerSample = 20.0;

    // Keeps the view fitted if it was, else its left edge and zoom as far as they still fit.
    void setSampleCount(qint64 count);
    void setWidth(int pixels);

    qint64 sampleCount() const { return m_sampleCount; }
    int width() const { return m_width; }
    double firstSample() const { return m_firstSample; }
    double samplesPerPixel() const { return m_samplesPerPixel; }
    double endSample() const { return sampleAt(m_width); }
    bool showsWholeRecording() const;

    double sampleAt(double x) const { return m_firstSample + x * m_samplesPerPixel; }
    double xOf(double sample) const { return (sample - m_firstSample) / m_samplesPerPixel; }

    // The whole recording across the width.
    void fit();
    // factor > 1 zooms in. The sample under x stays under x unless the span would leave
    // the recording.
    void zoomAbout(double x, double factor);
    // pixels > 0 moves the view towards the end of the recording.
    void scrollBy(double pixels);
    void goToStart();
    void goToEnd();

private:
    double widestSamplesPerPixel() const;
    double narrowestSamplesPerPixel() const;
    void keepWithinRecording();

    qint64 m_sampleCount = 0;
    int m_width = 1;
    double m_firstSample = 0;
    double m_samplesPerPixel = 1;
    bool m_fitted = true;
};
