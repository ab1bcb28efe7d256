#pragma once

#include "viewer/PowerDensity.h"

#include <QWidget>

#include <optional>

// A spectrum drawn as its level in dB against frequency in Hz, on a linear or a logarithmic
// frequency axis (the latter leaves 0 Hz out), with its highest peak marked. Under the
// mouse a vertical line marks the bin nearest the pointer, and pointed() names it.
class DensityPlot : public QWidget
{
    Q_OBJECT

public:
    explicit DensityPlot(QWidget *parent = nullptr);

    // Nothing shows nothing.
    void setSpectrum(std::optional<PowerDensity> spectrum);
    void setLogarithmic(bool logarithmic);

signals:
    // The bin under the pointer, or -1 once the pointer has left the curve.
    void pointed(int bin);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QRect plotArea() const;
    int firstShownBin() const;
    double xOf(double hertz, const QRect &plot) const;
    double hertzAt(double x, const QRect &plot) const;
    double yOf(double decibels, const QRect &plot) const;
    void drawFrequencyAxis(QPainter &painter, const QRect &plot) const;
    void drawLevelAxis(QPainter &painter, const QRect &plot) const;
    void point(int bin);

    std::optional<PowerDensity> m_spectrum;
    bool m_logarithmic = false;
    // The level axis, in dB, fitted to the spectrum shown.
    double m_top = 0;
    double m_bottom = -100;
    int m_pointedBin = -1;
};
