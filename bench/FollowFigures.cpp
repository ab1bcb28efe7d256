#include "FollowFigures.h"

#include "BenchReport.h"
#include "ProcessUsage.h"
#include "ScriptedMessageBoxes.h"

#include "output/DataFile.h"
#include "output/RecordingDescription.h"
#include "viewerwindow/QtFileChoice.h"
#include "viewerwindow/TraceView.h"
#include "viewerwindow/ViewerWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr qint64 BlockBytes = 512;
constexpr double LineSamplesPerSecond = 5600;
// Blocks written in the first seconds, while the window settles, are not counted.
constexpr int SettlingSeconds = 3;
constexpr int MeasuredSeconds = 30;
constexpr qint64 HourBlocks = qint64(LineSamplesPerSecond) * 3600 / BlockBytes;
constexpr int WaitLimitMs = 60000;

// Of the calling thread alone, user and system.
double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile95(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(std::max<size_t>(0, size_t(std::ceil(values.size() * 0.95)) - 1));
}

// Runs the event loop until shown() or the wait limit; false at the limit.
template <typename Shown>
bool waitUntil(Shown shown)
{
    QElapsedTimer waited;
    waited.start();
    while (!shown()) {
        if (waited.elapsed() > WaitLimitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

// Runs the event loop for that long as the viewer's own runs: waiting for events, where
// QTest::qWait wakes every 10 ms and would count its own wake-ups against the window's thread.
void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

FollowFigures::FollowFigures(BenchReport &report)
    : m_report(report)
{
}

void FollowFigures::measure()
{
    const QString latencyFigure = QStringLiteral("view_follow_latency_p95_ms");
    const QString cpuFigure = QStringLiteral("view_follow_cpu");
    const QString memoryFigure = QStringLiteral("view_follow_memory_growth_mb_per_h");
    const auto failAll = [&](const QString &reason) {
        for (const QString &figure : {latencyFigure, cpuFigure, memoryFigure})
            m_report.fail(figure, reason);
    };

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("live.bin"));
    RecordingDescription description;
    description.dataFileName = path;
    description.deviceName = QStringLiteral("larventa-bench");
    description.lineRate = 56000;
    description.requestedSeconds = 3600;
    description.started = QDateTime::currentDateTime();
    description.ending = RecordingDescription::Ending::Recording;
    QString error;
    DataFile data;
    if (!description.write(&error) || !data.createAfresh(path, &error))
        return failAll(error);

    ScriptedMessageBoxes messages;
    QtFileChoice files;
    ViewerWindow window(messages, files);
    window.resize(1600, 900);
    window.show();
    QSignalSpy shown(&window, &ViewerWindow::recordingShown);
    window.openFile(path);
    if (!QTest::qWaitForWindowExposed(&window) || (shown.isEmpty() && !shown.wait(WaitLimitMs)))
        return failAll(QStringLiteral("the recording being made was not shown: %1")
                           .arg(messages.shown.isEmpty() ? QString() : messages.shown.constFirst().text));
    auto *view = window.findChild<TraceView *>();

    struct Written
    {
        qint64 end;
        qint64 atNs;
    };
    std::mutex lock;
    std::vector<Written> written;
    std::atomic<bool> stop{false};
    QString writeError;
    QElapsedTimer clock;
    clock.start();
    std::thread writer([&] {
        const QByteArray block(int(BlockBytes), char(128));
        const auto start = std::chrono::steady_clock::now();
        for (qint64 i = 0; !stop; ++i) {
            std::this_thread::sleep_until(start + std::chrono::nanoseconds(qint64((i + 1) * BlockBytes * 1e9
                                                                                  / LineSamplesPerSecond)));
            QString failure;
            if (!data.writeBlock(i, block, &failure)) {
                const std::lock_guard<std::mutex> held(lock);
                writeError = failure;
                return;
            }
            const std::lock_guard<std::mutex> held(lock);
            written.push_back({(i + 1) * BlockBytes, clock.nsecsElapsed()});
        }
    });

    std::vector<double> latencies;
    size_t next = 0;
    const qint64 settledNs = qint64(SettlingSeconds) * 1000000000;
    const QMetaObject::Connection drawn = QObject::connect(view, &TraceView::drawn, view, [&] {
        const qint64 onScreen = view->span().sampleCount();
        const qint64 now = clock.nsecsElapsed();
        const std::lock_guard<std::mutex> held(lock);
        for (; next < written.size() && written[next].end <= onScreen; ++next) {
            if (written[next].atNs >= settledNs)
                latencies.push_back((now - written[next].atNs) / 1e6);
        }
    });
    runEventLoop(SettlingSeconds * 1000);
    const double cpuBefore = threadCpuSeconds();
    const qint64 wallBefore = clock.nsecsElapsed();
    const double residentBefore = ProcessUsage::ownResidentMb();
    runEventLoop(MeasuredSeconds * 1000);
    const double cpu = (threadCpuSeconds() - cpuBefore) / ((clock.nsecsElapsed() - wallBefore) / 1e9);
    const double drift = ProcessUsage::ownResidentMb() - residentBefore;
    stop = true;
    writer.join();
    QObject::disconnect(drawn);
    if (!writeError.isEmpty())
        return failAll(writeError);
    if (latencies.empty())
        return failAll(QStringLiteral("no block written was ever drawn"));
    m_report.add(latencyFigure, percentile95(latencies), QStringLiteral("ms"), BenchReport::Goal::AtMost, 250);
    m_report.add(QStringLiteral("view_follow_blocks_timed"), double(latencies.size()), QStringLiteral("blocks"));
    m_report.add(cpuFigure, cpu, QStringLiteral("of a core"), BenchReport::Goal::AtMost, 0.01);

    // An hour of recording at once: what it adds is the summary of an hour, which following
    // in real time adds as slowly; the drift of the half minute above is printed beside it.
    const qint64 blocksBefore = qint64(written.size());
    const double residentBeforeHour = ProcessUsage::ownResidentMb();
    const QByteArray block(int(BlockBytes), char(64));
    for (qint64 i = 0; i < HourBlocks; ++i) {
        if (!data.writeBlock(blocksBefore + i, block, &error))
            return m_report.fail(memoryFigure, error);
    }
    const qint64 end = (blocksBefore + HourBlocks) * BlockBytes;
    if (!waitUntil([&] { return view->span().sampleCount() >= end; }))
        return m_report.fail(memoryFigure, QStringLiteral("an hour written at once was not shown within a minute"));
    m_report.add(memoryFigure, ProcessUsage::ownResidentMb() - residentBeforeHour, QStringLiteral("MB"),
                 BenchReport::Goal::AtMost, 1);
    m_report.add(QStringLiteral("view_follow_memory_drift_mb"), drift,
                 QStringLiteral("MB in %1 s").arg(MeasuredSeconds));
    data.close();
}
