#include "ThreadedSimulator.h"

#include "link/SampleBlock.h"
#include "sim/InstrumentSimulator.h"

ThreadedSimulator::ThreadedSimulator(int samplesPerSecond, int chunkBytes)
    : m_sim(new InstrumentSimulator)
{
    m_sim->setRate(samplesPerSecond);
    m_sim->setChunkSize(chunkBytes);
    // Called on the simulator's thread, the moment it reads a command or has written.
    QObject::connect(
        m_sim, &InstrumentSimulator::commandReceived, m_sim, [this](quint8 byte) { onCommand(byte); },
        Qt::DirectConnection);
    QObject::connect(
        m_sim, &InstrumentSimulator::samplesWritten, m_sim,
        [this](qint64 samplesSent) { onSamplesWritten(samplesSent); }, Qt::DirectConnection);
    QObject::connect(&m_thread, &QThread::finished, m_sim, &QObject::deleteLater);
}

ThreadedSimulator::~ThreadedSimulator()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_sim;
    }
}

bool ThreadedSimulator::start(QString *error)
{
    if (!m_sim->open(error))
        return false;
    m_devicePath = m_sim->devicePath();
    m_sim->moveToThread(&m_thread);
    m_thread.start();
    return true;
}

QString ThreadedSimulator::devicePath() const
{
    return m_devicePath;
}

std::vector<ThreadedSimulator::Command> ThreadedSimulator::commands() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

std::vector<ThreadedSimulator::Clock::time_point> ThreadedSimulator::blocksWritten() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocksWritten;
}

void ThreadedSimulator::onCommand(quint8 byte)
{
    const Clock::time_point now = Clock::now();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_commands.push_back({byte, now});
    // A channel code starts a new stream only while none runs; the bench never sends one then.
    if (byte < InstrumentSimulator::ChannelCount)
        m_blocksWritten.clear();
}

void ThreadedSimulator::onSamplesWritten(qint64 samplesSent)
{
    const Clock::time_point now = Clock::now();
    const std::lock_guard<std::mutex> lock(m_mutex);
    while (samplesSent >= SampleBlockBytes * qint64(m_blocksWritten.size() + 1))
        m_blocksWritten.push_back(now);
}
