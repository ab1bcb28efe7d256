#include "RunRig.h"

#include "DescriptionCheck.h"
#include "SimulatorEnd.h"

#include "sim/InstrumentSignal.h"

#include <QFile>
#include <QJsonObject>
#include <QTest>

RunRig::RunRig(int tickMilliseconds)
    : hostPort(SimulatorEnd::open(sim))
    , run(state, link, file, timer, controls, plot, messages)
{
    link.configure(1);
    timer.setInterval(tickMilliseconds);
    QObject::connect(&timer, &Timer::tick, &timer, [this] { run.tick(); });
    controls.fileName = path(QStringLiteral("run.bin"));

    m_clock.start();
    QObject::connect(&timer, &Timer::tick, &timer, [this] {
        if (m_firstTickAt < 0)
            m_firstTickAt = m_clock.nsecsElapsed();
    });
    QObject::connect(&sim, &InstrumentSimulator::commandReceived, &sim, [this](quint8 byte) {
        if (byte != InstrumentLink::StopCode)
            m_channelCodeAt = m_clock.nsecsElapsed();
    });
    QObject::connect(&sim, &InstrumentSimulator::samplesWritten, &sim,
                     [this](qint64 samplesSent) { m_samplesSent = samplesSent; });
}

void RunRig::tick()
{
    if (timer.isEnabled())
        emit timer.tick();
}

void RunRig::seeTheEnd()
{
    m_endSeenAt = m_clock.nsecsElapsed();
}

QString RunRig::rateMismatch() const
{
    const QJsonObject description = DescriptionCheck::read(controls.fileName);
    const double seconds = description.value(QStringLiteral("recorded_seconds")).toDouble();
    const double rate = description.value(QStringLiteral("samples_per_second")).toDouble();
    const double fewestSeconds = (m_endSeenAt - m_channelCodeAt) / 1e9;
    const double mostSeconds = (m_clock.nsecsElapsed() - m_firstTickAt) / 1e9;
    if (m_channelCodeAt < 0 || m_endSeenAt < m_channelCodeAt || seconds < fewestSeconds - 0.001
        || seconds > mostSeconds + 0.001) {
        return QStringLiteral("recorded_seconds %1, not within %2 … %3").arg(seconds).arg(fewestSeconds).arg(mostSeconds);
    }
    // Rounded as written: the rate to 0.1, the seconds to 0.001.
    const double bytes = rate * seconds;
    const double rounding = 0.05 * seconds + 0.0005 * rate + 1;
    const qint64 fewestBytes = dataFile().size();
    if (bytes < fewestBytes - rounding || bytes > m_samplesSent + rounding) {
        return QStringLiteral("samples_per_second %1 makes %2 bytes in %3 s, not within %4 … %5")
            .arg(rate).arg(bytes).arg(seconds).arg(fewestBytes).arg(m_samplesSent);
    }
    return {};
}

QString RunRig::path(const QString &name) const
{
    return folder.filePath(name);
}

QByteArray RunRig::dataFile() const
{
    QFile data(controls.fileName);
    if (!data.open(QIODevice::ReadOnly))
        return {};
    return data.readAll();
}

QList<quint8> RunRig::commandBytes() const
{
    QList<quint8> bytes;
    for (const InstrumentSimulator::Command &command : sim.commands())
        bytes.append(command.byte);
    return bytes;
}

QByteArray RunRig::stream(int channelNumber, qint64 bytes)
{
    return InstrumentSignal::samples(channelNumber - 1, 0, bytes);
}
