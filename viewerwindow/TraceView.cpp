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

constexpr QRgb TracePixel = 0xff0050aa;
constexpr QRgb GridPixel = 0xffe1e1e1;
const QColor AxisColour(90, 90, 90);
const std::array<QColor, 2> CursorColours{QColor(220, 110, 0), QColor(170, 0, 150)};

constexpr int ValueAxisWidth = 40;
constexpr int TopMargin = 8;
constexpr int RightMargin = 12;
constexpr int TickLength = 4;
constexpr std::array<int, 5> ValueMarks{0, 64, 128, 192, 255};
// From this many pixels a sample on, each sample is marked with a dot.
constexpr double DotPixelsPerSample = 4.0;
constexpr int DotRadius = 2;
// ← and → move by this share of the width.
constexpr double ArrowScrollShare = 0.125;
// One wheel notch sideways moves by this share of the width.
constexpr double WheelScrollShare = 0.1;
// Labels laid out and kept for the next frames: a frame shows a few dozen.
constexpr int KeptLabels = 200;

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

void TraceView::replaceRecording(const Recording *recording)
{
    m_recording = recording;
    recordingChanged();
}

void TraceView::recordingGrew()
{
    if (!m_recording)
        return;
    const bool showsTheEnd = m_span.endSample() + m_span.samplesPerPixel() / 2 >= double(m_span.sampleCount());
    m_span.setSampleCount(m_recording->sampleCount());
    if (showsTheEnd)
        m_span.goToEnd();
    update();
    emit spanChanged();
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
    const QRect plot = plotArea();
    // The plot covers itself: only the margins around it are filled.
    const QRect margins[] = {{0, 0, width(), plot.top()},
                             {0, plot.top(), plot.left(), plot.height()},
                             {plot.right() + 1, plot.top(), width() - plot.right() - 1, plot.height()},
                             {0, plot.bottom() + 1, width(), height() - plot.bottom() - 1}};
    for (const QRect &margin : margins)
        painter.fillRect(margin, palette().window());
    if (!m_recording) {
        painter.fillRect(plot, Qt::white);
        painter.setPen(AxisColour);
        painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Откройте запись: «Файл» → «Открыть…» или перетащите файл данных "
                                        "или его описание в окно."));
        return;
    }
    const QVector<TimeMark> marks = timeMarks(plot);
    if (m_plot.size() != plot.size())
        m_plot = QImage(plot.size(), QImage::Format_RGB32);
    m_plot.fill(Qt::white);
    drawGrid(marks);
    if (m_span.samplesPerPixel() >= 1)
        rasteriseColumns();
    else
        rasteriseSamples();
    painter.drawImage(plot.topLeft(), m_plot);
    drawAxes(painter, plot, marks);
    painter.save();
    painter.setClipRect(plot);
    drawCursors(painter, plot);
    painter.restore();
    // A frame one pixel outside the plot.
    const QRect frame = plot.adjusted(-1, -1, 1, 1);
    for (const QRect &side : {QRect(frame.topLeft(), QSize(frame.width(), 1)),
                              QRect(frame.bottomLeft(), QSize(frame.width(), 1)),
                              QRect(frame.topLeft(), QSize(1, frame.height())),
                              QRect(frame.topRight(), QSize(1, frame.height()))})
        painter.fillRect(side, AxisColour);
    emit drawn();
}

QVector<TraceView::TimeMark> TraceView::timeMarks(const QRect &plot) const
{
    const double rate = m_recording->samplesPerSecond();
    const QDateTime started = m_recording->started();
    const double step = TimeAxisMarks::stepFor(timeLabelWidth() * m_span.samplesPerPixel() / rate);
    const double firstSeconds = m_span.firstSample() / rate;
    const double lastSeconds = m_span.endSample() / rate;
    QVector<TimeMark> marks;
    for (qint64 mark = qint64(std::ceil(firstSeconds / step)); mark * step <= lastSeconds; ++mark) {
        const double seconds = mark * step;
        const int x = int(std::lround(m_span.xOf(seconds * rate)));
        if (x >= plot.width())
            break;
        marks.append({x, TimeAxisMarks::sinceStart(seconds, step),
                      started.isValid() ? TimeAxisMarks::clockTime(started, seconds, step) : QString()});
    }
    return marks;
}

int TraceView::timeLabelWidth() const
{
    return fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.0000")) + 16;
}

void TraceView::drawGrid(const QVector<TimeMark> &marks)
{
    for (int value : ValueMarks)
        fillPixels(QRect(0, rowOf(value), m_plot.width(), 1), GridPixel);
    for (const TimeMark &mark : marks)
        fillPixels(QRect(mark.x, 0, 1, m_plot.height()), GridPixel);
}

// The ticks are filled rather than stroked: QPainter strokes a line a pixel at a time.
void TraceView::drawAxes(QPainter &painter, const QRect &plot, const QVector<TimeMark> &marks)
{
    const int textHeight = fontMetrics().height();
    painter.setPen(AxisColour);
    for (int value : ValueMarks) {
        const int y = plot.top() + rowOf(value);
        painter.fillRect(QRect(plot.left() - TickLength, y, TickLength, 1), AxisColour);
        drawLabel(painter, QRect(0, y - textHeight / 2, plot.left() - TickLength - 3, textHeight), Qt::AlignRight,
                  QString::number(value));
    }
    const int labelWidth = timeLabelWidth();
    for (const TimeMark &mark : marks) {
        const int x = plot.left() + mark.x;
        painter.fillRect(QRect(x, plot.bottom() + 1, 1, TickLength), AxisColour);
        // A label at either end keeps to the widget rather than lose its edge.
        const int left = std::clamp(x - labelWidth / 2, 0, width() - labelWidth);
        const QRect label(left, plot.bottom() + TickLength + 2, labelWidth, textHeight);
        drawLabel(painter, label, Qt::AlignHCenter, mark.sinceStart);
        if (!mark.clockTime.isEmpty())
            drawLabel(painter, label.translated(0, textHeight), Qt::AlignHCenter, mark.clockTime);
    }
}

// A label's layout is kept for the frames after: laying out a line of text takes far longer
// than drawing it. The text is as tall as the box, and aligned in it as told.
void TraceView::drawLabel(QPainter &painter, const QRect &box, Qt::Alignment alignment, const QString &text)
{
    // Layouts are the font's: another font (the system's changed, say) lays them out again.
    if (painter.font() != m_labelFont) {
        m_labels.clear();
        m_labelFont = painter.font();
    }
    auto label = m_labels.constFind(text);
    if (label == m_labels.constEnd()) {
        if (m_labels.size() >= KeptLabels)
            m_labels.clear();
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), painter.font());
        label = m_labels.insert(text, laidOut);
    }
    const qreal spare = box.width() - label->size().width();
    const qreal x = box.left() + (alignment & Qt::AlignRight ? spare : alignment & Qt::AlignHCenter ? spare / 2 : 0);
    painter.drawStaticText(QPointF(x, box.top()), *label);
}

int TraceView::rowOf(int value) const
{
    return int(std::lround((255 - value) * (m_plot.height() - 1) / 255.0));
}

// The trace and the grid are written into the image's pixels directly: QPainter takes ten
// times as long over the tall, thin strokes of a long recording.
void TraceView::fillPixels(const QRect &area, QRgb colour)
{
    const QRect inside = area & m_plot.rect();
    if (inside.isEmpty())
        return;
    const qsizetype stride = m_plot.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb *row = reinterpret_cast<QRgb *>(m_plot.bits()) + inside.top() * stride + inside.left();
    for (int y = inside.top(); y <= inside.bottom(); ++y, row += stride)
        std::fill_n(row, inside.width(), colour);
}

void TraceView::fillColumn(int x, int top, int bottom)
{
    if (x < 0 || x >= m_plot.width())
        return;
    top = std::max(top, 0);
    bottom = std::min(bottom, m_plot.height() - 1);
    const qsizetype stride = m_plot.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb *pixel = reinterpret_cast<QRgb *>(m_plot.bits()) + top * stride + x;
    for (int y = top; y <= bottom; ++y, pixel += stride)
        *pixel = TracePixel;
}

// Each column reaches over to its left neighbour's range, so that a steep edge is one
// unbroken stroke instead of two dots a column apart.
void TraceView::rasteriseColumns()
{
    const int width = m_plot.width();
    m_columns.resize(width);
    m_recording->summarise(m_span.firstSample(), m_span.samplesPerPixel(), m_columns.data(), width);
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
        fillColumn(x, rowOf(high), rowOf(low));
        previous = column;
    }
}

// The samples joined by straight lines, one sample either side of the view as well so that
// the line runs on to the edges; each pixel column takes the stretch of line that crosses it.
void TraceView::rasteriseSamples()
{
    const qint64 first = std::max<qint64>(0, qint64(std::floor(m_span.firstSample())) - 1);
    const qint64 last = std::min(m_recording->sampleCount(), qint64(std::ceil(m_span.endSample())) + 1);
    if (last <= first)
        return;
    m_samples.resize(int(last - first));
    const int copied = int(m_recording->copySamples(first, last - first, m_samples.data()));
    for (int i = 0; i + 1 < copied; ++i) {
        const double x0 = m_span.xOf(double(first + i));
        const double x1 = m_span.xOf(double(first + i + 1));
        const double y0 = rowOf(m_samples.at(i));
        const double y1 = rowOf(m_samples.at(i + 1));
        const int from = std::max(int(std::lround(x0)), 0);
        const int to = std::min(int(std::lround(x1)), m_plot.width() - 1);
        for (int x = from; x <= to; ++x) {
            const double a = y0 + (y1 - y0) * std::clamp((x - 0.5 - x0) / (x1 - x0), 0.0, 1.0);
            const double b = y0 + (y1 - y0) * std::clamp((x + 0.5 - x0) / (x1 - x0), 0.0, 1.0);
            fillColumn(x, int(std::lround(std::min(a, b))), int(std::lround(std::max(a, b))));
        }
    }
    if (1 / m_span.samplesPerPixel() < DotPixelsPerSample)
        return;
    for (int i = 0; i < copied; ++i) {
        const int x = int(std::lround(m_span.xOf(double(first + i))));
        const int y = rowOf(m_samples.at(i));
        for (int dx = -DotRadius; dx <= DotRadius; ++dx) {
            const int reach = DotRadius - (std::abs(dx) == DotRadius ? 1 : 0);
            fillColumn(x + dx, y - reach, y + reach);
        }
    }
}

void TraceView::drawCursors(QPainter &painter, const QRect &plot) const
{
    for (int index = 0; index < int(m_cursors.size()); ++index) {
        if (!m_cursors.at(index))
            continue;
        // Far off at a deep zoom, a cursor's column is beyond what an int holds.
        const double column = std::round(m_span.xOf(double(*m_cursors.at(index))));
        if (column < 0 || column >= plot.width())
            continue;
        const int x = plot.left() + int(column);
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
