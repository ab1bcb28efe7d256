#include "viewerwindow/TimeAxisMarks.h"
#include "viewerwindow/ViewSpan.h"

#include <QTest>

#include <cmath>

namespace {

constexpr qint64 DaySamples = 24LL * 3600 * 5600;

} // namespace

class ViewSpanTest : public QObject
{
    Q_OBJECT

private slots:
    void zoomKeepsTheSampleUnderThePointer_data();
    void zoomKeepsTheSampleUnderThePointer();
    void zoomStopsAtTheWholeRecordingAndTwentyPixelsASample();
    void theViewNeverLeavesTheRecording();
    void timeLabels_data();
    void timeLabels();
};

void ViewSpanTest::zoomKeepsTheSampleUnderThePointer_data()
{
    QTest::addColumn<qint64>("samples");
    QTest::addColumn<double>("pointerX");
    QTest::addColumn<int>("notchesBefore");
    QTest::addColumn<double>("notches");

    // notchesBefore: zoomed in first, about the pointer at a third of the width.
    QTest::newRow("day whole, in at the middle") << DaySamples << 800.0 << 0 << 1.0;
    QTest::newRow("day whole, in at the left edge") << DaySamples << 2.0 << 0 << 1.0;
    QTest::newRow("day whole, in at the right edge") << DaySamples << 1598.5 << 0 << 1.0;
    QTest::newRow("day, ten notches in, in again") << DaySamples << 1234.0 << 10 << 1.0;
    QTest::newRow("day, ten notches in, out") << DaySamples << 377.0 << 10 << -1.0;
    QTest::newRow("day, ten notches in, half a notch") << DaySamples << 911.25 << 10 << 0.5;
    QTest::newRow("day, thirty notches in, out at the left") << DaySamples << 10.0 << 30 << -1.0;
    QTest::newRow("day, thirty notches in, in at the right") << DaySamples << 1590.0 << 30 << 1.0;
    QTest::newRow("hour, nineteen notches in, in again") << 3600LL * 5600 << 640.0 << 19 << 1.0;
    QTest::newRow("short, in at the middle") << 5000LL << 700.0 << 0 << 1.0;
    QTest::newRow("short, three notches in, out") << 5000LL << 1000.0 << 3 << -1.0;
}

void ViewSpanTest::zoomKeepsTheSampleUnderThePointer()
{
    QFETCH(qint64, samples);
    QFETCH(double, pointerX);
    QFETCH(int, notchesBefore);
    QFETCH(double, notches);

    ViewSpan span;
    span.setWidth(1600);
    span.setSampleCount(samples);
    for (int i = 0; i < notchesBefore; ++i)
        span.zoomAbout(1600 / 3.0, 1.5);
    const double underThePointer = span.sampleAt(pointerX);
    const double perPixel = span.samplesPerPixel();

    span.zoomAbout(pointerX, std::pow(1.5, notches));

    QVERIFY(span.samplesPerPixel() != perPixel);
    QVERIFY2(std::fabs(span.sampleAt(pointerX) - underThePointer) < 1e-6 * std::max(1.0, underThePointer),
             qPrintable(QStringLiteral("%1 became %2").arg(underThePointer, 0, 'f', 6).arg(span.sampleAt(pointerX), 0, 'f', 6)));
    QCOMPARE(span.samplesPerPixel(), perPixel / std::pow(1.5, notches));
}

void ViewSpanTest::zoomStopsAtTheWholeRecordingAndTwentyPixelsASample()
{
    ViewSpan span;
    span.setWidth(1600);
    span.setSampleCount(DaySamples);
    QCOMPARE(span.samplesPerPixel(), double(DaySamples) / 1600);
    span.zoomAbout(800, 1 / 1.5);
    QCOMPARE(span.samplesPerPixel(), double(DaySamples) / 1600);
    QCOMPARE(span.firstSample(), 0.0);

    for (int i = 0; i < 60; ++i)
        span.zoomAbout(555, 1.5);
    QCOMPARE(span.samplesPerPixel(), 1 / ViewSpan::MaxPixelsPerSample);

    for (int i = 0; i < 60; ++i)
        span.zoomAbout(1200, 1 / 1.5);
    QVERIFY(span.showsWholeRecording());
    QCOMPARE(span.firstSample(), 0.0);
    QCOMPARE(span.endSample(), double(DaySamples));
}

// Zoomed out near an end, and moved past either end, the view stops at the recording's edge
// instead of showing time before its start or after its end.
void ViewSpanTest::theViewNeverLeavesTheRecording()
{
    ViewSpan span;
    span.setWidth(1000);
    span.setSampleCount(1000000);
    for (int i = 0; i < 8; ++i)
        span.zoomAbout(995, 1.5);
    span.zoomAbout(5, 1 / 1.5);
    QCOMPARE(span.endSample(), 1000000.0);

    span.scrollBy(-1e9);
    QCOMPARE(span.firstSample(), 0.0);
    span.scrollBy(1e9);
    QCOMPARE(span.endSample(), 1000000.0);
    span.goToStart();
    QCOMPARE(span.firstSample(), 0.0);

    // A wider window keeps the zoom and the left edge where they still fit.
    const double perPixel = span.samplesPerPixel();
    span.setWidth(1200);
    QCOMPARE(span.samplesPerPixel(), perPixel);
    QCOMPARE(span.firstSample(), 0.0);
}

void ViewSpanTest::timeLabels_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("minimumStep");
    QTest::addColumn<QString>("sinceStart");
    QTest::addColumn<QString>("clockTime");

    QTest::newRow("seconds, whole") << 20.0 << 7.0 << "20 с" << "23:59:40";
    QTest::newRow("seconds, tenths") << 12.5 << 0.15 << "12.5 с" << "23:59:32.5";
    QTest::newRow("a sample at 5600/s") << 59.99982 << 0.00017857 << "59.9998 с" << "00:00:19.999";
    QTest::newRow("rounded up to a minute") << 59.9996 << 0.0009 << "0:01:00.000" << "00:00:19.999";
    QTest::newRow("minutes") << 3725.0 << 4.0 << "1:02:05" << "01:01:25";
    QTest::newRow("past a day") << 129600.0 << 4000.0 << "36:00:00" << "11:59:20";
    QTest::newRow("deep in a day, milliseconds") << 80000.125 << 0.0004 << "22:13:20.1250" << "22:12:40.125";
}

void ViewSpanTest::timeLabels()
{
    QFETCH(double, seconds);
    QFETCH(double, minimumStep);
    QFETCH(QString, sinceStart);
    QFETCH(QString, clockTime);

    const double step = TimeAxisMarks::stepFor(minimumStep);
    QVERIFY(step >= minimumStep);
    QVERIFY(step < 2.6 * minimumStep);
    const QDateTime started(QDate(2026, 12, 7), QTime(23, 59, 20));
    QCOMPARE(TimeAxisMarks::sinceStart(seconds, step), sinceStart);
    QCOMPARE(TimeAxisMarks::clockTime(started, seconds, step), clockTime);
}

QTEST_APPLESS_MAIN(ViewSpanTest)
#include "ViewSpanTest.moc"
