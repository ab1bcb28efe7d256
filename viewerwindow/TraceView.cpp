#include "viewerwindow/TraceView.h"

#include "viewer/Recording.h"
#include "viewerwindow/TimeAxisMarks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

const QColor TraceColour(0, 80, 170);
const QColor GridColour(225, 225, 225);
const QColor AxisColour(90, 90, 90);
const std::array<QColor, 2> CursorColours{QColor(220, 110, 0), QColor(170, 0, 150)};

constexpr int ValueAxisWidth = 40;
constexpr int TopMargin = 8;
constexpr int RightMargin = 12;
constexpr int TickLength = 4;
constexpr std::array<int, 5> ValueMarks{0, 64, 128, 192, 255};
// From this many pixels a sample on, each sample is marked with a dot.
constexpr double DotPixelsPerSample = 4.0;
// ← and → move by this share of the width.
constexpr double ArrowScrollShare = 0.125;
// One wheel notch sideways moves by this share of the width.
constexpr double WheelScrollShare = 0.1;

} // namespace

TraceView::TraceView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TraceView"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    setAutoFillBackground(false);
}

void TraceView::setRecording(const Recording *recording)
{
    m_recording = recording;
    m_cursors = {};
    m_span.setWidth(plotArea().width());
    m_span.setSampleCount(recording ? recording->sampleCount() : 0);
    m_span.fit();
    update();
    emit spanChanged();
    emit cursorsChanged();
}

void TraceView::recordingChanged()
{
    if (!m_recording)
        return;
    m_span.setSampleCount(m_recording->sampleCount());
    for (std::optional<qint64> &cursor : m_cursors) {
        if (cursor && *cursor >= m_recording->sampleCount())
            cursor.reset();
    }
    update();
    emit spanChanged();
    emit cursorsChanged();
}

void TraceView::fit()
{
    changeSpan([](ViewSpan &span) { span.fit(); });
}

void TraceView::zoom(double factor)
{
    changeSpan([factor](ViewSpan &span) { span.zoomAbout(span.width() / 2.0, factor); });
}

QRect TraceView::plotArea() const
{
    const int axisRows = m_recording && m_recording->started().isValid() ? 2 : 1;
    const int bottom = TickLength + axisRows * fontMetrics().height() + 6;
    return rect().adjusted(ValueAxisWidth, TopMargin, -RightMargin, -bottom);
}

int TraceView::yOf(int value, const QRect &plot) const
{
    return plot.top() + int(std::lround((255 - value) * (plot.height() - 1) / 255.0));
}

void TraceView::changeSpan(const std::function<void(ViewSpan &)> &change)
{
    const double first = m_span.firstSample();
    const double perPixel = m_span.samplesPerPixel();
    change(m_span);
    if (first == m_span.firstSample() && perPixel == m_span.samplesPerPixel())
        return;
    update();
    emit spanChanged();
}

void TraceView::setCursorAt(int index, double x)
{
    if (!m_recording || m_recording->sampleCount() == 0)
        return;
    const qint64 sample = std::llround(m_span.sampleAt(x - plotArea().left()));
    m_cursors.at(index) = std::clamp<qint64>(sample, 0, m_recording->sampleCount() - 1);
    update();
    emit cursorsChanged();
}

void TraceView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect plot = plotArea();
    painter.fillRect(plot, Qt::white);
    if (!m_recording) {
        painter.setPen(AxisColour);
        painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Откройте запись: «Файл» → «Открыть…» или перетащите файл данных "
                                        "или его описание в окно."));
        return;
    }
    drawValueAxis(painter, plot);
    drawTimeAxis(painter, plot);
    painter.save();
    painter.setClipRect(plot);
    if (m_span.samplesPerPixel() >= 1)
        drawColumns(painter, plot);
    else
        drawSamples(painter, plot);
    drawCursors(painter, plot);
    painter.restore();
    painter.setPen(AxisColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(-1, -1, 0, 0));
    emit drawn();
}

void TraceView::drawValueAxis(QPainter &painter, const QRect &plot) const
{
    const int textHeight = fontMetrics().height();
    for (int value : ValueMarks) {
        const int y = yOf(value, plot);
        painter.setPen(GridColour);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(AxisColour);
        painter.drawLine(plot.left() - TickLength, y, plot.left() - 1, y);
        painter.drawText(QRect(0, y - textHeight / 2, plot.left() - TickLength - 3, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(value));
    }
}

void TraceView::drawTimeAxis(QPainter &painter, const QRect &plot) const
{
    const double rate = m_recording->samplesPerSecond();
    const QDateTime started = m_recording->started();
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 24;
    const double step = TimeAxisMarks::stepFor(labelWidth * m_span.samplesPerPixel() / rate);
    const int textHeight = fontMetrics().height();
    const double firstSeconds = m_span.firstSample() / rate;
    const double lastSeconds = m_span.endSample() / rate;
    for (qint64 mark = qint64(std::ceil(firstSeconds / step)); mark * step <= lastSeconds; ++mark) {
        const double seconds = mark * step;
        const int x = plot.left() + int(std::lround(m_span.xOf(seconds * rate)));
        if (x > plot.right())
            break;
        painter.setPen(GridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(AxisColour);
        painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + TickLength);
        // A label at either end keeps to the widget rather than lose its edge.
        const int left = std::clamp(x - labelWidth / 2, 0, width() - labelWidth);
        const QRect label(left, plot.bottom() + TickLength + 2, labelWidth, textHeight);
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, TimeAxisMarks::sinceStart(seconds, step));
        if (started.isValid())
            painter.drawText(label.translated(0, textHeight), Qt::AlignHCenter | Qt::AlignTop,
                             TimeAxisMarks::clockTime(started, seconds, step));
    }
}

// Each column reaches over to its left neighbour's range, so that a steep edge is one
// unbroken stroke instead of two dots a column apart.
void TraceView::drawColumns(QPainter &painter, const QRect &plot)
{
    const int width = plot.width();
    m_columns.resize(width);
    m_recording->summarise(m_span.firstSample(), m_span.samplesPerPixel(), m_columns.data(), width);
    QVector<QLine> strokes;
    strokes.reserve(width);
    std::optional<ColumnRange> previous;
    for (int x = 0; x < width; ++x) {
        const ColumnRange column = m_columns.at(x);
        if (column.isEmpty()) {
            previous.reset();
            continue;
        }
        int low = column.min;
        int high = column.max;
        if (previous) {
            low = std::min(low, int(previous->max));
            high = std::max(high, int(previous->min));
        }
        strokes.append(QLine(plot.left() + x, yOf(high, plot), plot.left() + x, yOf(low, plot)));
        previous = column;
    }
    painter.setPen(TraceColour);
    painter.drawLines(strokes);
}

// One sample either side of the view as well, so that the line runs on to the edges.
void TraceView::drawSamples(QPainter &painter, const QRect &plot)
{
    const qint64 first = std::max<qint64>(0, qint64(std::floor(m_span.firstSample())) - 1);
    const qint64 last = std::min(m_recording->sampleCount(), qint64(std::ceil(m_span.endSample())) + 1);
    if (last <= first)
        return;
    m_samples.resize(int(last - first));
    const qint64 copied = m_recording->copySamples(first, last - first, m_samples.data());
    QVector<QPointF> points;
    points.reserve(int(copied));
    for (qint64 i = 0; i < copied; ++i)
        points.append(QPointF(plot.left() + m_span.xOf(double(first + i)), yOf(m_samples.at(int(i)), plot)));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(TraceColour, 1.5));
    painter.drawPolyline(points.constData(), int(points.size()));
    if (1 / m_span.samplesPerPixel() >= DotPixelsPerSample) {
        painter.setBrush(TraceColour);
        painter.setPen(Qt::NoPen);
        for (const QPointF &point : points)
            painter.drawEllipse(point, 2.5, 2.5);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void TraceView::drawCursors(QPainter &painter, const QRect &plot) const
{
    for (int index = 0; index < int(m_cursors.size()); ++index) {
        if (!m_cursors.at(index))
            continue;
        const int x = plot.left() + int(std::lround(m_span.xOf(double(*m_cursors.at(index)))));
        painter.setPen(QPen(CursorColours.at(index), 1, Qt::DashLine));
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(CursorColours.at(index));
        painter.drawText(x + 3, plot.top() + fontMetrics().ascent(), QString::number(index + 1));
    }
}

void TraceView::resizeEvent(QResizeEvent *)
{
    changeSpan([this](ViewSpan &span) { span.setWidth(plotArea().width()); });
}

void TraceView::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    const bool sideways = (event->modifiers() & Qt::ShiftModifier) || angle.y() == 0;
    const double notches = (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
    const double x = event->position().x() - plotArea().left();
    if (sideways)
        changeSpan([notches](ViewSpan &span) { span.scrollBy(-notches * span.width() * WheelScrollShare); });
    else
        changeSpan([x, notches](ViewSpan &span) { span.zoomAbout(x, std::pow(WheelNotchZoom, notches)); });
    event->accept();
}

void TraceView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressedAt = event->position().toPoint();
    m_dragX = m_pressedAt.x();
    m_dragging = false;
}

void TraceView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const int x = event->position().toPoint().x();
    if (!m_dragging && std::abs(x - m_pressedAt.x()) < QApplication::startDragDistance())
        return;
    m_dragging = true;
    setCursor(Qt::ClosedHandCursor);
    const int moved = x - m_dragX;
    m_dragX = x;
    changeSpan([moved](ViewSpan &span) { span.scrollBy(-moved); });
}

void TraceView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    if (m_dragging) {
        m_dragging = false;
        unsetCursor();
        return;
    }
    setCursorAt(event->modifiers() & Qt::ShiftModifier ? 1 : 0, event->position().x());
}

void TraceView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom(WheelNotchZoom);
        break;
    case Qt::Key_Minus:
        zoom(1 / WheelNotchZoom);
        break;
    case Qt::Key_Left:
        changeSpan([](ViewSpan &span) { span.scrollBy(-span.width() * ArrowScrollShare); });
        break;
    case Qt::Key_Right:
        changeSpan([](ViewSpan &span) { span.scrollBy(span.width() * ArrowScrollShare); });
        break;
    case Qt::Key_Home:
        changeSpan([](ViewSpan &span) { span.goToStart(); });
        break;
    case Qt::Key_End:
        changeSpan([](ViewSpan &span) { span.goToEnd(); });
        break;
    case Qt::Key_F:
        fit();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
