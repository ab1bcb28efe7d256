#include "viewerwindow/DensityPlot.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor CurveColour(0, 80, 170);
const QColor PeakColour(200, 0, 0);
const QColor PointerColour(220, 110, 0);
const QColor GridColour(225, 225, 225);
const QColor AxisColour(90, 90, 90);

constexpr int LevelAxisWidth = 48;
constexpr int RightMargin = 16;
constexpr int TickLength = 4;
// The level axis spans at most this many dB below its top.
constexpr double DeepestRange = 140;
constexpr double LevelStep = 10;

// 1, 2 or 5 times a power of ten, at least span / marks.
double niceStep(double span, int marks)
{
    const double rough = span / marks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double multiple : {1.0, 2.0, 5.0}) {
        if (multiple * power >= rough)
            return multiple * power;
    }
    return 10 * power;
}

QString hertzText(double hertz)
{
    return QString::number(hertz, 'g', 6);
}

} // namespace

DensityPlot::DensityPlot(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("DensityPlot"));
    setMouseTracking(true);
    setMinimumSize(400, 240);
}

void DensityPlot::setSpectrum(std::optional<PowerDensity> spectrum)
{
    m_spectrum = std::move(spectrum);
    if (m_spectrum && m_spectrum->binCount() > 1) {
        double highest = -1e300;
        double lowest = 1e300;
        for (int bin = 1; bin < m_spectrum->binCount(); ++bin) {
            highest = std::max(highest, m_spectrum->decibelsAt(bin));
            lowest = std::min(lowest, m_spectrum->decibelsAt(bin));
        }
        m_top = LevelStep * std::ceil((highest + 1) / LevelStep);
        m_bottom = std::max(LevelStep * std::floor(lowest / LevelStep), m_top - DeepestRange);
        if (m_bottom >= m_top)
            m_bottom = m_top - LevelStep;
    } else {
        m_spectrum.reset();
    }
    point(-1);
    update();
}

void DensityPlot::setLogarithmic(bool logarithmic)
{
    m_logarithmic = logarithmic;
    point(-1);
    update();
}

QRect DensityPlot::plotArea() const
{
    // The unit of the level axis above it, of the frequency axis left of its marks.
    const int top = fontMetrics().height() + 4;
    const int bottom = fontMetrics().height() + TickLength + 6;
    return QRect(LevelAxisWidth, top, std::max(1, width() - LevelAxisWidth - RightMargin),
                 std::max(1, height() - top - bottom));
}

int DensityPlot::firstShownBin() const
{
    return m_logarithmic ? 1 : 0;
}

double DensityPlot::xOf(double hertz, const QRect &plot) const
{
    const double lowest = m_spectrum->frequencyOf(firstShownBin());
    const double highest = m_spectrum->frequencyOf(m_spectrum->binCount() - 1);
    const double share = m_logarithmic ? std::log(hertz / lowest) / std::log(highest / lowest)
                                       : (hertz - lowest) / (highest - lowest);
    return plot.left() + share * (plot.width() - 1);
}

double DensityPlot::hertzAt(double x, const QRect &plot) const
{
    const double lowest = m_spectrum->frequencyOf(firstShownBin());
    const double highest = m_spectrum->frequencyOf(m_spectrum->binCount() - 1);
    const double share = (x - plot.left()) / std::max(1, plot.width() - 1);
    return m_logarithmic ? lowest * std::pow(highest / lowest, share) : lowest + share * (highest - lowest);
}

double DensityPlot::yOf(double decibels, const QRect &plot) const
{
    const double share = (m_top - std::clamp(decibels, m_bottom, m_top)) / (m_top - m_bottom);
    return plot.top() + share * (plot.height() - 1);
}

void DensityPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect plot = plotArea();
    if (m_spectrum) {
        drawLevelAxis(painter, plot);
        drawFrequencyAxis(painter, plot);
        painter.save();
        painter.setClipRect(plot);
        QPolygonF curve;
        curve.reserve(m_spectrum->binCount());
        for (int bin = firstShownBin(); bin < m_spectrum->binCount(); ++bin)
            curve.append(QPointF(xOf(m_spectrum->frequencyOf(bin), plot), yOf(m_spectrum->decibelsAt(bin), plot)));
        painter.setPen(QPen(CurveColour, 1));
        painter.drawPolyline(curve);
        const int peak = m_spectrum->peakBin();
        const QPointF peakAt(xOf(m_spectrum->frequencyOf(peak), plot), yOf(m_spectrum->decibelsAt(peak), plot));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(PeakColour, 1.5));
        painter.drawEllipse(peakAt, 5, 5);
        if (m_pointedBin >= firstShownBin()) {
            const double x = xOf(m_spectrum->frequencyOf(m_pointedBin), plot);
            painter.setPen(QPen(PointerColour, 1, Qt::DashLine));
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            painter.setPen(QPen(PointerColour, 1.5));
            painter.drawEllipse(QPointF(x, yOf(m_spectrum->decibelsAt(m_pointedBin), plot)), 3, 3);
        }
        painter.restore();
    } else {
        painter.setPen(AxisColour);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("Спектра нет"));
    }
    painter.setPen(AxisColour);
    painter.drawRect(plot.adjusted(-1, -1, 0, 0));
}

void DensityPlot::drawLevelAxis(QPainter &painter, const QRect &plot) const
{
    const int textHeight = fontMetrics().height();
    const double step = niceStep(m_top - m_bottom, 7);
    for (double level = m_top; level >= m_bottom - 1e-9; level -= step) {
        const int y = int(std::lround(yOf(level, plot)));
        painter.setPen(GridColour);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(AxisColour);
        painter.drawLine(plot.left() - TickLength, y, plot.left() - 1, y);
        painter.drawText(QRect(0, y - textHeight / 2, plot.left() - TickLength - 3, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(level, 'f', 0).replace(u'-', u'−'));
    }
    painter.drawText(QRect(0, 0, plot.left() - TickLength - 3, textHeight), Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("дБ"));
}

void DensityPlot::drawFrequencyAxis(QPainter &painter, const QRect &plot) const
{
    const int textHeight = fontMetrics().height();
    const double lowest = m_spectrum->frequencyOf(firstShownBin());
    const double highest = m_spectrum->frequencyOf(m_spectrum->binCount() - 1);
    struct Mark
    {
        double hertz;
        bool labelled;
    };
    QList<Mark> marks;
    if (m_logarithmic) {
        for (double decade = std::pow(10.0, std::floor(std::log10(lowest))); decade <= highest; decade *= 10) {
            for (int multiple = 1; multiple < 10; ++multiple) {
                const double hertz = decade * multiple;
                if (hertz >= lowest && hertz <= highest)
                    marks.append({hertz, multiple == 1 || multiple == 2 || multiple == 5});
            }
        }
    } else {
        const double step = niceStep(highest - lowest, std::max(2, plot.width() / 90));
        for (double hertz = 0; hertz <= highest + 1e-9; hertz += step)
            marks.append({hertz, true});
    }
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("00000.0")) + 8;
    int lastLabelRight = -1;
    for (const Mark &mark : marks) {
        const int x = int(std::lround(xOf(mark.hertz, plot)));
        painter.setPen(GridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(AxisColour);
        painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + TickLength);
        const int left = std::clamp(x - labelWidth / 2, 0, width() - labelWidth);
        if (!mark.labelled || left <= lastLabelRight)
            continue;
        painter.drawText(QRect(left, plot.bottom() + TickLength + 2, labelWidth, textHeight),
                         Qt::AlignHCenter | Qt::AlignTop, hertzText(mark.hertz));
        lastLabelRight = left + labelWidth;
    }
    painter.drawText(QRect(0, plot.bottom() + TickLength + 2, plot.left() - labelWidth / 2, textHeight),
                     Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Гц"));
}

void DensityPlot::mouseMoveEvent(QMouseEvent *event)
{
    const QRect plot = plotArea();
    const double x = event->position().x();
    if (!m_spectrum || x < plot.left() || x > plot.right()) {
        point(-1);
        return;
    }
    point(std::max(firstShownBin(), m_spectrum->binNearest(hertzAt(x, plot))));
}

void DensityPlot::leaveEvent(QEvent *)
{
    point(-1);
}

void DensityPlot::point(int bin)
{
    if (bin == m_pointedBin)
        return;
    m_pointedBin = bin;
    update();
    emit pointed(bin);
}
