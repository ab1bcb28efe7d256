#include "SimulatedRecordings.h"

#include "BenchReport.h"

#include <QFile>
#include <QProcess>

SimulatedRecordings::SimulatedRecordings(BenchReport &report)
    : m_report(report)
{
}

QString SimulatedRecordings::recordingOf(qint64 seconds, const QString &figure)
{
    if (m_recordings.contains(seconds))
        return m_recordings.value(seconds);
    const QString path = filePath(QStringLiteral("recording-%1s.bin").arg(seconds));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(LARVENTA_SIM_PROGRAM),
              {QStringLiteral("--write-recording"), path, QStringLiteral("--seconds"), QString::number(seconds),
               QStringLiteral("--rate"), QString::number(SamplesPerSecond)});
    if (!sim.waitForFinished(600000) || sim.exitStatus() != QProcess::NormalExit || sim.exitCode() != 0) {
        m_report.fail(figure, QStringLiteral("larventa-sim --write-recording failed"));
        return QString();
    }
    m_recordings.insert(seconds, path);
    return path;
}

QString SimulatedRecordings::filePath(const QString &name) const
{
    return m_folder.filePath(name);
}

void SimulatedRecordings::warmCache(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.read(1 << 20).isEmpty()) {
    }
}
