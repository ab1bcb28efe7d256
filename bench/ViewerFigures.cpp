#include "ViewerFigures.h"

#include "BenchReport.h"
#include "ScriptedMessageBoxes.h"

#include "viewer/Recording.h"
#include "viewerwindow/QtFileChoice.h"
#include "viewerwindow/TraceView.h"
#include "viewerwindow/ViewerWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int OpeningsMeasured = 5;
constexpr int RedrawWidth = 1600;
constexpr int WaitLimitMs = 60000;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double percentile95(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(std::max(0, int(std::ceil(values.size() * 0.95)) - 1));
}

// From the window's creation to the end of the first paint of the view with the
// recording in it; negative if it failed to open or was not drawn in time.
double openMilliseconds(const QString &path)
{
    ScriptedMessageBoxes messages;
    QtFileChoice files;
    // Wakes the loop below when no event comes, so that the time limit holds.
    QTimer wakeUp;
    wakeUp.start(100);
    QElapsedTimer clock;
    clock.start();
    ViewerWindow window(messages, files);
    window.resize(RedrawWidth, 900);
    bool drawn = false;
    QObject::connect(window.findChild<TraceView *>(), &TraceView::drawn, &window, [&drawn] { drawn = true; });
    window.show();
    window.openFile(path);
    while (!drawn && messages.shown.isEmpty() && clock.elapsed() < WaitLimitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double elapsed = clock.nsecsElapsed() / 1e6;
    return drawn ? elapsed : -1;
}

} // namespace

ViewerFigures::ViewerFigures(BenchReport &report)
    : m_report(report)
    , m_recordings(report)
{
}

void ViewerFigures::measureOpen()
{
    measureOpen(3600, QStringLiteral("view_open_ms"), 150);
    measureOpen(24 * 3600, QStringLiteral("view_open_24h_ms"), 2000);
}

// The first opening, untimed, also warms what the program itself loads on first use.
void ViewerFigures::measureOpen(qint64 seconds, const QString &figure, double goal)
{
    const QString path = m_recordings.recordingOf(seconds, figure);
    if (path.isEmpty())
        return;
    SimulatedRecordings::warmCache(path);
    if (openMilliseconds(path) < 0) {
        m_report.fail(figure, QStringLiteral("the recording was not opened and drawn within %1 s").arg(WaitLimitMs / 1000));
        return;
    }
    QList<double> times;
    for (int i = 0; i < OpeningsMeasured; ++i)
        times.append(openMilliseconds(path));
    m_report.add(figure, median(times), QStringLiteral("ms"), BenchReport::Goal::AtMost, goal);
}

// At each zoom level, 1.5× apart as a wheel notch: the middle of the day, an eighth of the
// width either side.
void ViewerFigures::measureRedraw()
{
    const QString figure = QStringLiteral("view_redraw_p95_ms");
    const QString path = m_recordings.recordingOf(24 * 3600, figure);
    if (path.isEmpty())
        return;
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    if (!recording) {
        m_report.fail(figure, error);
        return;
    }
    TraceView view;
    view.resize(RedrawWidth, 600);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        m_report.fail(figure, QStringLiteral("the view was never shown"));
        return;
    }
    view.setRecording(recording.get());
    view.repaint();
    QList<double> times;
    QElapsedTimer clock;
    const auto timeRepaint = [&] {
        clock.start();
        view.repaint();
        times.append(clock.nsecsElapsed() / 1e6);
    };
    for (;;) {
        timeRepaint();
        QTest::keyClick(&view, Qt::Key_Right);
        timeRepaint();
        QTest::keyClick(&view, Qt::Key_Left);
        QTest::keyClick(&view, Qt::Key_Left);
        timeRepaint();
        QTest::keyClick(&view, Qt::Key_Right);
        if (view.span().samplesPerPixel() <= 1 / ViewSpan::MaxPixelsPerSample + 1e-12)
            break;
        view.zoom(TraceView::WheelNotchZoom);
    }
    m_report.add(figure, percentile95(times), QStringLiteral("ms"), BenchReport::Goal::AtMost, 4);
    m_report.add(QStringLiteral("view_redraw_levels"), times.size() / 3, QStringLiteral("levels"));
}
