#include "LatencyFigures.h"

#include "BenchRecording.h"
#include "BenchReport.h"
#include "PollingLoopRecorder.h"
#include "ThreadedSimulator.h"

#include "ScriptedMessageBoxes.h"
#include "ScriptedSaveDialog.h"

#include "link/InstrumentLink.h"
#include "window/DataGatheringSystem.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int LineSamplesPerSecond = 5600;
constexpr int Channel = 1;
// Stops are measured at the simulator's default pacing (a write every 10 ms), blocks at
// one byte a delivery, the worst a real port does.
constexpr int StopChunkBytes = 0;
constexpr int BlockChunkBytes = 1;
constexpr int StopCount = 20;
// Stop is clicked this long after Start, plus up to StopSpread: always after the
// one-second handshake, while blocks come in.
constexpr int StopAfterStartMs = 1100;
constexpr int StopSpreadMs = 300;
// Long enough for the plot's width to hold every block measured, so that each is drawn
// into the image rather than cut off at the right edge.
constexpr qint64 BlockRunSeconds = 1000;
constexpr qint64 BlocksMeasured = 100;

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double worst(const std::vector<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

// The moment the first stop code after `since` reached the instrument.
std::optional<Clock::time_point> stopCodeArrival(const ThreadedSimulator &sim, Clock::time_point since)
{
    for (const ThreadedSimulator::Command &command : sim.commands()) {
        if (command.byte == InstrumentLink::StopCode && command.arrived >= since)
            return command.arrived;
    }
    return std::nullopt;
}

// Stop latencies of StopCount recordings, each started by record() and stopped by
// stop() at a moment the same for every loop measured.
std::vector<double> stopLatencies(const ThreadedSimulator &sim, QObject *context,
                                  const std::function<void(int run)> &record, const std::function<void()> &stop)
{
    std::mt19937 random(StopCount);
    std::uniform_int_distribution<int> spread(0, StopSpreadMs);
    std::vector<double> latencies;
    for (int run = 0; run < StopCount; ++run) {
        Clock::time_point requested = Clock::time_point::max();
        QTimer::singleShot(StopAfterStartMs + spread(random), Qt::PreciseTimer, context, [&] {
            requested = Clock::now();
            stop();
        });
        record(run);
        if (const auto arrived = stopCodeArrival(sim, requested))
            latencies.push_back(milliseconds(*arrived - requested));
    }
    return latencies;
}

} // namespace

LatencyFigures::LatencyFigures(BenchReport &report)
    : m_report(report)
{
}

bool LatencyFigures::simulatorStarted(ThreadedSimulator &sim, const QString &figure)
{
    QString problem;
    if (sim.start(&problem))
        return true;
    m_report.fail(figure, problem);
    return false;
}

void LatencyFigures::measureStop()
{
    const QString name = QStringLiteral("stop_latency_ms");
    QString problem;
    ThreadedSimulator sim(LineSamplesPerSecond, StopChunkBytes);
    if (!simulatorStarted(sim, name))
        return;
    QTemporaryDir folder;
    QObject context;

    BenchRecording recording(sim.devicePath(), folder.filePath(QStringLiteral("stop.bin")));
    const std::vector<double> program = stopLatencies(
        sim, &context, [&](int) { recording.record(Channel, BlockRunSeconds); }, [&] { recording.stop(); });
    if (program.size() != size_t(StopCount) || !recording.problems().isEmpty()) {
        m_report.fail(name,
                      QStringLiteral("%1 of %2 stops reached the instrument. %3")
                          .arg(program.size())
                          .arg(StopCount)
                          .arg(recording.problems().join(QLatin1Char(' '))));
        return;
    }
    PollingLoopRecorder baselineLoop(sim.devicePath(), folder.filePath(QStringLiteral("stop-baseline.bin")));
    const std::vector<double> baseline = stopLatencies(
        sim, &context, [&](int) { baselineLoop.record(Channel, BlockRunSeconds, &problem); },
        [&] { baselineLoop.stop(); });

    m_report.add(name, median(program), QStringLiteral("ms"), BenchReport::Goal::AtMost, 20);
    m_report.add(QStringLiteral("stop_latency_worst_ms"), worst(program), QStringLiteral("ms"));
    if (baseline.size() == size_t(StopCount)) {
        m_report.setBaseline(name, median(baseline));
        m_report.setBaseline(QStringLiteral("stop_latency_worst_ms"), worst(baseline));
    } else {
        qWarning("baseline: %zu of %d stops reached the instrument", baseline.size(), StopCount);
    }

    // The same through the window: a click on its Stop button, the button's own
    // repaints included.
    qputenv("LARVENTA_PORT1", sim.devicePath().toLocal8Bit());
    ScriptedMessageBoxes messages;
    ScriptedSaveDialog dialog;
    DataGatheringSystem window(messages, dialog);
    window.show();
    auto *startButton = window.findChild<QAbstractButton *>(QStringLiteral("StartButton"));
    auto *stopButton = window.findChild<QAbstractButton *>(QStringLiteral("StopButton"));
    const std::vector<double> clicked = stopLatencies(
        sim, &window,
        [&](int run) {
            dialog.chosen = folder.filePath(QStringLiteral("click%1.bin").arg(run));
            QTest::mouseClick(startButton, Qt::LeftButton);
        },
        [&] { QTest::mouseClick(stopButton, Qt::LeftButton); });
    if (clicked.size() != size_t(StopCount) || !messages.shown.isEmpty()) {
        m_report.fail(QStringLiteral("stop_click_latency_ms"),
                      QStringLiteral("%1 of %2 stops reached the instrument; %3 messages shown")
                          .arg(clicked.size())
                          .arg(StopCount)
                          .arg(messages.shown.size()));
        return;
    }
    m_report.add(QStringLiteral("stop_click_latency_ms"), median(clicked), QStringLiteral("ms"));
    m_report.add(QStringLiteral("stop_click_latency_worst_ms"), worst(clicked), QStringLiteral("ms"));
}

void LatencyFigures::measureBlocks()
{
    const QString name = QStringLiteral("block_latency_ms");
    ThreadedSimulator sim(LineSamplesPerSecond, BlockChunkBytes);
    if (!simulatorStarted(sim, name))
        return;
    QTemporaryDir folder;
    BenchRecording recording(sim.devicePath(), folder.filePath(QStringLiteral("blocks.bin")));
    TimedTracePlot &plot = recording.plot();
    plot.keepAllTimes(true);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        if (plot.blocksDrawn() >= BlocksMeasured)
            recording.stop();
    });
    watch.start(100);
    recording.record(Channel, BlockRunSeconds);

    const std::vector<Clock::time_point> written = sim.blocksWritten();
    const std::vector<Clock::time_point> &drawn = plot.blockTimes();
    const std::vector<Clock::time_point> &repaints = plot.repaintTimes();
    std::vector<double> latencies;
    std::vector<double> repaintLatencies;
    for (size_t b = 0; b < std::min(written.size(), drawn.size()); ++b) {
        latencies.push_back(milliseconds(drawn[b] - written[b]));
        const auto repaint = std::lower_bound(repaints.begin(), repaints.end(), drawn[b]);
        if (repaint != repaints.end())
            repaintLatencies.push_back(milliseconds(*repaint - written[b]));
    }
    if (!recording.problems().isEmpty() || latencies.size() < size_t(BlocksMeasured)) {
        m_report.fail(name,
                      QStringLiteral("%1 blocks measured. %2")
                          .arg(latencies.size())
                          .arg(recording.problems().join(QLatin1Char(' '))));
        return;
    }
    m_report.add(name, median(latencies), QStringLiteral("ms"), BenchReport::Goal::AtMost, 16);
    m_report.add(QStringLiteral("block_latency_worst_ms"), worst(latencies), QStringLiteral("ms"));
    if (repaintLatencies.empty()) {
        m_report.fail(QStringLiteral("block_repaint_ms"), QStringLiteral("the plot was never repainted"));
        return;
    }
    m_report.add(QStringLiteral("block_repaint_ms"), median(repaintLatencies), QStringLiteral("ms"));
    m_report.add(QStringLiteral("block_repaint_worst_ms"), worst(repaintLatencies), QStringLiteral("ms"));
    m_report.add(QStringLiteral("blocks_repainted"), 100.0 * double(repaintLatencies.size()) / double(latencies.size()),
                 QStringLiteral("%"));
}
