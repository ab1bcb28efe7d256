#include "FloodFigures.h"

#include "BenchRecording.h"
#include "BenchReport.h"
#include "PollingLoopRecorder.h"
#include "ProcessUsage.h"
#include "SimProcess.h"

#include "link/SampleBlock.h"

#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Channel = 1;
constexpr qint64 ThroughputBytes = 200'000'000;
constexpr qint64 FullTraceBytes = 20'000'000;
constexpr qint64 ShortMemoryBytes = 100'000'000;
constexpr qint64 LongMemoryBytes = 1'000'000'000;
// The recording time in which the instrument would send the bytes at its line rate,
// so that the flood puts the same share of its blocks in the plot as a real recording.
constexpr qint64 LineBytesPerSecond = 5600;
// The plot's width holds 100 samples a second of recording time.
constexpr qint64 PlotSamplesPerSecond = 100;
constexpr qint64 SpareDiskBytes = 100'000'000;
constexpr auto WatchInterval = 5ms;
// The flood counts as over once no block has come for this long.
constexpr auto QuietEnd = 1s;
constexpr auto NothingArrived = 20s;

double megabytesPerSecond(qint64 blocks, Clock::time_point first, Clock::time_point last)
{
    const double seconds = std::chrono::duration<double>(last - first).count();
    return blocks > 1 && seconds > 0 ? double((blocks - 1) * SampleBlockBytes) / seconds / 1e6 : 0;
}

} // namespace

FloodFigures::FloodFigures(BenchReport &report)
    : m_report(report)
{
}

void FloodFigures::measureThroughput()
{
    measureThroughput(QStringLiteral("flood"), Refill::AtOnce);
    measureThroughput(QStringLiteral("flood_refill"), Refill::WhenWritable);

    const Outcome fullTrace
        = flood(Loop::Program, Refill::AtOnce, FullTraceBytes, FullTraceBytes / PlotSamplesPerSecond, false);
    if (fullTrace.problem.isEmpty())
        m_report.add(QStringLiteral("flood_full_trace_mb_s"), fullTrace.mbPerSecond, QStringLiteral("MB/s"));
    else
        m_report.fail(QStringLiteral("flood_full_trace_mb_s"), fullTrace.problem);
}

void FloodFigures::measureThroughput(const QString &prefix, Refill refill)
{
    const QString speed = prefix + QStringLiteral("_mb_s");
    const QString lost = prefix + QStringLiteral("_lost_bytes");
    const qint64 seconds = ThroughputBytes / LineBytesPerSecond;
    const Outcome program = flood(Loop::Program, refill, ThroughputBytes, seconds, true);
    if (!program.problem.isEmpty()) {
        m_report.fail(speed, program.problem);
        return;
    }
    const Outcome baseline = flood(Loop::Baseline, refill, ThroughputBytes, seconds, true);
    if (!baseline.problem.isEmpty())
        qWarning("baseline not measured: %s", qPrintable(baseline.problem));

    m_report.add(speed, program.mbPerSecond, QStringLiteral("MB/s"), BenchReport::Goal::AtLeast, 50);
    m_report.add(lost, double(program.check.lostBytes + program.check.foreignBytes), QStringLiteral("bytes"),
                 BenchReport::Goal::AtMost, 0);
    if (baseline.problem.isEmpty()) {
        m_report.setBaseline(speed, baseline.mbPerSecond);
        m_report.setBaseline(lost, double(baseline.check.lostBytes + baseline.check.foreignBytes));
    }
}

void FloodFigures::measureMemory()
{
    const Outcome shorter
        = flood(Loop::Program, Refill::AtOnce, ShortMemoryBytes, ShortMemoryBytes / LineBytesPerSecond, false);
    const Outcome longer
        = flood(Loop::Program, Refill::AtOnce, LongMemoryBytes, LongMemoryBytes / LineBytesPerSecond, false);
    for (const auto &[outcome, bytes] : {std::pair(&shorter, ShortMemoryBytes), std::pair(&longer, LongMemoryBytes)}) {
        QString problem = outcome->problem;
        if (problem.isEmpty() && outcome->blocks != bytes / SampleBlockBytes)
            problem = QStringLiteral("%1 of %2 blocks recorded").arg(outcome->blocks).arg(bytes / SampleBlockBytes);
        if (problem.isEmpty() && outcome->peakResidentMb < 0)
            problem = QStringLiteral("the peak resident size cannot be read or reset in /proc/self");
        if (!problem.isEmpty()) {
            m_report.fail(QStringLiteral("rss_mb"), problem);
            return;
        }
    }
    m_report.add(QStringLiteral("rss_mb"), longer.peakResidentMb, QStringLiteral("MB"), BenchReport::Goal::AtMost, 80);
    m_report.add(QStringLiteral("rss_100mb_flood_mb"), shorter.peakResidentMb, QStringLiteral("MB"));
    m_report.add(QStringLiteral("rss_growth_mb"), longer.peakResidentMb - shorter.peakResidentMb, QStringLiteral("MB"),
                 BenchReport::Goal::AtMost, 1);
    m_report.add(QStringLiteral("rss_end_growth_mb"), longer.endResidentMb - shorter.endResidentMb,
                 QStringLiteral("MB"));
}

FloodFigures::Outcome FloodFigures::flood(Loop loop, Refill refill, qint64 bytes, qint64 seconds,
                                          bool compareWithStream)
{
    Outcome outcome;
    QTemporaryDir folder;
    if (!folder.isValid()) {
        outcome.problem = QStringLiteral("no temporary folder: %1").arg(folder.errorString());
        return outcome;
    }
    if (QStorageInfo(folder.path()).bytesAvailable() < bytes + SpareDiskBytes) {
        outcome.problem
            = QStringLiteral("less than %1 MB free in %2").arg((bytes + SpareDiskBytes) / 1000000).arg(folder.path());
        return outcome;
    }
    SimProcess sim(0, 0, bytes, refill == Refill::WhenWritable);
    if (!sim.start(&outcome.problem))
        return outcome;

    const bool peakReset = ProcessUsage::resetPeak();
    const QString dataFile = folder.filePath(QStringLiteral("flood.bin"));
    std::unique_ptr<BenchRecording> program;
    std::unique_ptr<PollingLoopRecorder> baseline;
    TimedTracePlot *plot = nullptr;
    if (loop == Loop::Program) {
        program = std::make_unique<BenchRecording>(sim.devicePath(), dataFile);
        plot = &program->plot();
    } else {
        baseline = std::make_unique<PollingLoopRecorder>(sim.devicePath(), dataFile);
        plot = &baseline->plot();
    }

    const qint64 expectedBlocks = bytes / SampleBlockBytes;
    const Clock::time_point started = Clock::now();
    bool stopped = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        const qint64 blocks = plot->blocksDrawn();
        const Clock::time_point now = Clock::now();
        if (stopped
            || (blocks < expectedBlocks
                && (blocks > 0 ? now - plot->lastBlockDrawn() < QuietEnd : now - started < NothingArrived))) {
            return;
        }
        stopped = true;
        if (program)
            program->stop();
        else
            baseline->stop();
    });
    watch.start(WatchInterval);

    if (program) {
        program->record(Channel, seconds);
        const QStringList problems = program->problems();
        if (!problems.isEmpty())
            outcome.problem = problems.join(QLatin1Char(' '));
    } else {
        baseline->record(Channel, seconds, &outcome.problem);
    }
    watch.stop();
    outcome.peakResidentMb = peakReset ? ProcessUsage::peakResidentMb() : -1;
    outcome.endResidentMb = ProcessUsage::residentMb();
    outcome.blocks = plot->blocksDrawn();
    outcome.mbPerSecond = megabytesPerSecond(outcome.blocks, plot->firstBlockDrawn(), plot->lastBlockDrawn());
    if (outcome.problem.isEmpty() && outcome.blocks == 0)
        outcome.problem = QStringLiteral("no block arrived");
    // After the measurement, so that neither the comparison nor the freed recorder counts.
    program.reset();
    baseline.reset();
    if (compareWithStream)
        outcome.check = StreamCheck::compare(dataFile, Channel, bytes);
    return outcome;
}
