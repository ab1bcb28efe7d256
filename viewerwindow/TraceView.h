#pragma once

#include "viewer/ColumnRange.h"
#include "viewerwindow/ViewSpan.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QStaticText>
#include <QVector>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class Recording;

// The recording drawn against its time and its 0–255 value axis. Every pixel column shows
// the lowest and highest sample under it, so that a lone odd sample shows at any zoom;
// zoomed in past a pixel a sample, the samples are joined by a line, with a dot on each
// once there is room. The wheel zooms about the pointer, Shift+wheel and dragging move
// along the recording, a click sets the first cursor and a Shift+click the second; the
// keys + − ← → Home End and F do what the buttons of a map would.
class TraceView : public QWidget
{
    Q_OBJECT

public:
    static constexpr double WheelNotchZoom = 1.5;

    explicit TraceView(QWidget *parent = nullptr);

    // Shows the recording whole, without cursors; null shows nothing. The recording
    // outlives its showing here.
    void setRecording(const Recording *recording);
    // Its samples or rate changed (another assumed rate): keeps the zoom and the cursors
    // where they still fit.
    void recordingChanged();
    // The same recording opened again (F5): as recordingChanged(), from the one given.
    void replaceRecording(const Recording *recording);
    // It has more samples, being recorded: a view that shows the end stays at the end with
    // its zoom, as tail -f does, and one the operator moved away stays where it is.
    void recordingGrew();

    const ViewSpan &span() const { return m_span; }
    // The cursor's sample: index 0 the first cursor, 1 the second.
    std::optional<qint64> cursor(int index) const { return m_cursors.at(index); }

    void fit();
    // factor > 1 zooms in, about the middle of the view.
    void zoom(double factor);

signals:
    // The visible span changed.
    void spanChanged();
    void cursorsChanged();
    // A frame with the recording in it is on the screen.
    void drawn();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct TimeMark
    {
        int x; // in the plot
        QString sinceStart;
        QString clockTime; // empty if the start is not known
    };

    QRect plotArea() const;
    // The pixel row of a sample's value in the plot.
    int rowOf(int value) const;
    void changeSpan(const std::function<void(ViewSpan &)> &change);
    void setCursorAt(int index, double x);
    QVector<TimeMark> timeMarks(const QRect &plot) const;
    int timeLabelWidth() const;
    void drawGrid(const QVector<TimeMark> &marks);
    void drawAxes(QPainter &painter, const QRect &plot, const QVector<TimeMark> &marks);
    void drawLabel(QPainter &painter, const QRect &box, Qt::Alignment alignment, const QString &text);
    void fillPixels(const QRect &area, QRgb colour);
    void fillColumn(int x, int top, int bottom);
    void rasteriseColumns();
    void rasteriseSamples();
    void drawCursors(QPainter &painter, const QRect &plot) const;

    const Recording *m_recording = nullptr;
    ViewSpan m_span;
    std::array<std::optional<qint64>, 2> m_cursors;
    // The plot's pixels, the trace written into them directly.
    QImage m_plot;
    QVector<ColumnRange> m_columns;
    QVector<quint8> m_samples;
    QHash<QString, QStaticText> m_labels;
    QFont m_labelFont;
    QPoint m_pressedAt;
    int m_dragX = 0;
    bool m_dragging = false;
};
