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
constexpr int SettleMilliseconds = 500;
constexpr int IdleMilliseconds = 10000;

// Processor seconds per wall second while action runs.
template <typename Action>
double cpuLoad(Action action)
{
    const double cpuBefore = ProcessUsage::cpuSeconds();
    const Clock::time_point before = Clock::now();
    action();
    const double wall = std::chrono::duration<double>(Clock::now() - before).count();
    return (ProcessUsage::cpuSeconds() - cpuBefore) / wall;
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
    const QString name = QStringLiteral("line_rate_cpu");
    QTemporaryDir folder;
    SimProcess sim(LineSamplesPerSecond, -1);
    QString problem;
    if (!sim.start(&problem)) {
        m_report.fail(name, problem);
        return;
    }

    BenchRecording program(sim.devicePath(), folder.filePath(QStringLiteral("line.bin")));
    const double programLoad = cpuLoad([&] { program.record(Channel, RecordingSeconds); });
    if (!program.problems().isEmpty() || program.plot().blocksDrawn() == 0) {
        m_report.fail(name,
                      program.problems().isEmpty() ? QStringLiteral("no block arrived")
                                                   : program.problems().join(QLatin1Char(' ')));
        return;
    }
    m_report.add(name, programLoad, QStringLiteral("cpu-s/s"), BenchReport::Goal::AtMost, 0.01);

    PollingLoopRecorder baseline(sim.devicePath(), folder.filePath(QStringLiteral("line-baseline.bin")));
    bool started = false;
    const double baselineLoad = cpuLoad([&] { started = baseline.record(Channel, RecordingSeconds, &problem); });
    if (started)
        m_report.setBaseline(name, baselineLoad);
    else
        qWarning("baseline not measured: %s", qPrintable(problem));
}

void CpuFigures::measureIdle()
{
    ScriptedMessageBoxes messages;
    ScriptedSaveDialog dialog;
    DataGatheringSystem window(messages, dialog);
    window.show();
    runEventLoop(SettleMilliseconds);
    const double load = cpuLoad([] { runEventLoop(IdleMilliseconds); });
    m_report.add(QStringLiteral("idle_cpu"), load, QStringLiteral("cpu-s/s"), BenchReport::Goal::AtMost, 0.002);
}
