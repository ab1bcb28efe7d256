#include "SimProcess.h"

namespace {

// Bounds only a hang, on a loaded machine too.
constexpr int StartMilliseconds = 30000;

} // namespace

SimProcess::SimProcess(int samplesPerSecond, int chunkBytes, qint64 sampleLimit, bool refillWhenWritable)
{
    QStringList arguments{QStringLiteral("--rate"),
                          samplesPerSecond > 0 ? QString::number(samplesPerSecond) : QStringLiteral("unlimited")};
    if (chunkBytes > 0)
        arguments << QStringLiteral("--chunk") << QString::number(chunkBytes);
    if (sampleLimit >= 0)
        arguments << QStringLiteral("--limit") << QString::number(sampleLimit);
    if (refillWhenWritable)
        arguments << QStringLiteral("--refill");
    m_process.setProgram(QStringLiteral(LARVENTA_SIM_PROGRAM));
    m_process.setArguments(arguments);
    m_process.setStandardErrorFile(QProcess::nullDevice());
}

SimProcess::~SimProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(StartMilliseconds))
        m_process.kill();
    m_process.waitForFinished();
}

bool SimProcess::start(QString *error)
{
    m_process.start();
    if (!m_process.waitForStarted(StartMilliseconds)) {
        *error = m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(StartMilliseconds)) {
            *error = QStringLiteral("larventa-sim printed no device path");
            return false;
        }
    }
    m_devicePath = QString::fromLocal8Bit(m_process.readLine().trimmed());
    return true;
}

QString SimProcess::devicePath() const
{
    return m_devicePath;
}
