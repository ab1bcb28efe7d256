#include "CpuFigures.h"

#include "BenchRecording.h"
#include "BenchReport.h"
#include "PollingLoopRecorder.h"
#include "ProcessUsage.h"
#include "SimProcess.h"

#include "ScriptedMessageBoxes.h"
#include "ScriptedSaveDialog.h"

#include "window/DataGatheringSystem.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int LineSamplesPerSecond = 5600;
constexpr int Channel = 1;
constexpr qint64 RecordingSeconds = 20;
// The baseline spins at a steady load whatever comes in; half the time tells it as well.
constexpr qint64 BaselineSeconds = 10;
constexpr int SettleMilliseconds = 500;
constexpr int IdleMilliseconds = 10000;

struct Usage {
    double cpuPerSecond; // processor seconds of the process per wall second
    qint64 waits; // of this thread
};

// The recordings run on this (the main) thread. Its wake-ups are counted as the times it
// went to sleep: waiting in the event loop, and any wait for the disk, a lock or the X
// server.
template <typename Action>
Usage usageWhile(Action action)
{
    const double cpuBefore = ProcessUsage::cpuSeconds();
    const qint64 waitsBefore = ProcessUsage::callingThreadWaits();
    const Clock::time_point before = Clock::now();
    action();
    const double wall = std::chrono::duration<double>(Clock::now() - before).count();
    return {(ProcessUsage::cpuSeconds() - cpuBefore) / wall, ProcessUsage::callingThreadWaits() - waitsBefore};
}

void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

CpuFigures::CpuFigures(BenchReport &report)
    : m_report(report)
{
}

void CpuFigures::measureLineRate()
{
    using Goal = BenchReport::Goal;
    // One byte a delivery is a UART without FIFO, the worst case and the one to design for.
    measureDeliveries({1, QString(), Goal::AtMost, 0.005, Goal::AtMost, 16});
    measureDeliveries({8, QStringLiteral("_chunk8"), Goal::AtMost, 0.005, Goal::Information, 0});
    measureDeliveries({56, QStringLiteral("_chunk56"), Goal::Information, 0, Goal::Information, 0});
}

void CpuFigures::measureDeliveries(const Deliveries &deliveries)
{
    const QString cpuName = QStringLiteral("line_rate_cpu") + deliveries.suffix;
    const QString wakeupName = QStringLiteral("wakeups_per_block") + deliveries.suffix;
    QTemporaryDir folder;
    SimProcess sim(LineSamplesPerSecond, deliveries.chunkBytes, -1);
    QString problem;
    if (!sim.start(&problem)) {
        m_report.fail(cpuName, problem);
        return;
    }

    // Over the whole recording, its one-second start included.
    BenchRecording program(sim.devicePath(), folder.filePath(QStringLiteral("line.bin")));
    const Usage programUsage = usageWhile([&] { program.record(Channel, RecordingSeconds); });
    const qint64 blocks = program.plot().blocksDrawn();
    if (!program.problems().isEmpty() || blocks == 0) {
        m_report.fail(cpuName, program.problems().isEmpty() ? QStringLiteral("no block arrived")
                                                            : program.problems().join(QLatin1Char(' ')));
        return;
    }
    m_report.add(cpuName, programUsage.cpuPerSecond, QStringLiteral("cpu-s/s"), deliveries.cpuGoal,
                 deliveries.cpuGoalValue);
    m_report.add(wakeupName, double(programUsage.waits) / double(blocks), QStringLiteral("wakes/block"),
                 deliveries.wakeupGoal, deliveries.wakeupGoalValue);

    PollingLoopRecorder baseline(sim.devicePath(), folder.filePath(QStringLiteral("line-baseline.bin")));
    bool started = false;
    const Usage baselineUsage = usageWhile([&] { started = baseline.record(Channel, BaselineSeconds, &problem); });
    const qint64 baselineBlocks = baseline.plot().blocksDrawn();
    if (!started || baselineBlocks == 0) {
        qWarning("baseline not measured: %s", started ? "no block arrived" : qPrintable(problem));
        return;
    }
    m_report.setBaseline(cpuName, baselineUsage.cpuPerSecond);
    m_report.setBaseline(wakeupName, double(baselineUsage.waits) / double(baselineBlocks));
}

void CpuFigures::measureIdle()
{
    ScriptedMessageBoxes messages;
    ScriptedSaveDialog dialog;
    DataGatheringSystem window(messages, dialog);
    window.show();
    runEventLoop(SettleMilliseconds);
    const double load = usageWhile([] { runEventLoop(IdleMilliseconds); }).cpuPerSecond;
    m_report.add(QStringLiteral("idle_cpu"), load, QStringLiteral("cpu-s/s"), BenchReport::Goal::AtMost, 0.002);
}
