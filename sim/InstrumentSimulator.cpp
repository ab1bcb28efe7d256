#include "sim/InstrumentSimulator.h"

#include "sim/InstrumentSignal.h"

#include "sim/SimulatorLine.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr int kPaceIntervalMs = 10;
// A flood's refill, and the most that paced samples queue into one write while the host is not reading.
constexpr qsizetype kBlockSize = 16 * 1024;
// What a flood that refills when writable offers the pty in its one write.
constexpr qsizetype kRefillSize = 64 * 1024;
// Per write-notifier activation, so that a stop code is still read promptly during a flood.
constexpr qsizetype kWriteBudget = 256 * 1024;
constexpr qint64 kNsPerSecond = 1000000000;

qint64 samplesDue(int rate, qint64 nsecs)
{
    return nsecs / kNsPerSecond * rate + nsecs % kNsPerSecond * rate / kNsPerSecond;
}

} // namespace

InstrumentSimulator::InstrumentSimulator(QObject *parent)
    : QObject(parent)
    , m_line(new SimulatorLine(this))
    , m_paceTimer(new QTimer(this))
{
    m_paceTimer->setTimerType(Qt::PreciseTimer);
    m_paceTimer->setInterval(kPaceIntervalMs);
    connect(m_paceTimer, &QTimer::timeout, this, &InstrumentSimulator::paceTick);
    connect(m_line, &SimulatorLine::bytesArrived, this, &InstrumentSimulator::readCommands);
    connect(m_line, &SimulatorLine::roomToWrite, this, &InstrumentSimulator::onWritable);
    connect(m_line, &SimulatorLine::chunkDue, this, &InstrumentSimulator::paceTick);
}

InstrumentSimulator::~InstrumentSimulator()
{
    closeLine();
}

bool InstrumentSimulator::open(QString *error)
{
    if (m_line->isOpen())
        return failed(error, QStringLiteral("already open"), false);
    QString path;
    if (!m_line->openPseudoTerminal(&path, error))
        return false;
    return serve(path);
}

bool InstrumentSimulator::openDevice(const QString &path, QString *error)
{
    if (m_line->isOpen())
        return failed(error, QStringLiteral("already open"), false);
    if (!m_line->openDevice(path, LineRate, error))
        return false;
    return serve(path);
}

// What a pty and a device share once the line is open.
bool InstrumentSimulator::serve(const QString &path)
{
    m_devicePath = path;
    m_commands.clear();
    m_channel = -1;
    m_samplesSent = m_samplesQueued = m_bytesWritten = 0;
    m_clock.start();
    return true;
}

bool InstrumentSimulator::failed(QString *error, const QString &problem, bool closing)
{
    if (error)
        *error = problem;
    if (closing)
        closeLine();
    return false;
}

QString InstrumentSimulator::devicePath() const
{
    return m_devicePath;
}

void InstrumentSimulator::hangUp()
{
    if (!m_line->isOpen())
        return;
    const bool wasStreaming = m_channel >= 0;
    closeLine();
    m_channel = -1;
    if (wasStreaming)
        emit streamStopped(m_samplesSent);
}

void InstrumentSimulator::closeLine()
{
    m_paceTimer->stop();
    m_pending.clear();
    m_headOffset = 0;
    m_line->close();
}

void InstrumentSimulator::setRate(int samplesPerSecond)
{
    m_rate = std::max(0, samplesPerSecond);
    if (m_channel < 0)
        return;
    startPacing();
    updateWriteNotifier();
}

void InstrumentSimulator::setChunkSize(int bytes)
{
    m_chunkSize = std::max(0, bytes);
    if (m_channel >= 0)
        startPacing();
}

void InstrumentSimulator::setRefillWhenWritable(bool on)
{
    m_refillWhenWritable = on;
}

void InstrumentSimulator::setSampleLimit(qint64 count)
{
    m_sampleLimit = count < 0 ? -1 : count;
}

void InstrumentSimulator::inject(const QByteArray &bytes)
{
    if (!m_line->isOpen() || bytes.isEmpty())
        return;
    enqueue(bytes, false);
    writePending();
    afterWrite();
}

QList<InstrumentSimulator::Command> InstrumentSimulator::commands() const
{
    return m_commands;
}

int InstrumentSimulator::streamingChannel() const
{
    return m_channel;
}

qint64 InstrumentSimulator::samplesSent() const
{
    return m_samplesSent;
}

qint64 InstrumentSimulator::bytesWritten() const
{
    return m_bytesWritten;
}

quint32 InstrumentSimulator::lineSpeed() const
{
    return m_line->rate();
}

void InstrumentSimulator::readCommands()
{
    char buffer[256];
    while (m_line->isOpen()) {
        QString error;
        const qint64 n = m_line->read(buffer, sizeof buffer, &error);
        if (n == 0)
            return;
        if (n < 0) {
            qWarning("InstrumentSimulator: %s", qPrintable(error));
            return;
        }
        // A slot may hang up while we go through the bytes.
        for (qint64 i = 0; i < n && m_line->isOpen(); ++i)
            handleCommand(quint8(buffer[i]));
    }
}

void InstrumentSimulator::handleCommand(quint8 byte)
{
    m_commands.append({ byte, m_clock.elapsed() });
    emit commandReceived(byte);
    if (!m_line->isOpen())
        return;
    if (m_channel < 0 && byte < ChannelCount)
        startStream(byte);
    else if (m_channel >= 0 && byte == StopCode)
        stopStream();
}

void InstrumentSimulator::startStream(int channel)
{
    m_channel = channel;
    m_samplesQueued = m_samplesSent = m_samplesAnnounced = 0;
    startPacing();
    emit streamStarted(channel);
    afterWrite();
}

void InstrumentSimulator::stopStream()
{
    // The instrument stops at once: samples not yet in the pty are never sent.
    if (!m_pending.empty() && m_pending.front().isSignal)
        m_headOffset = 0;
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), [](const Chunk &c) { return c.isSignal; }),
                    m_pending.end());
    stopPacing();
    m_channel = -1;
    updateWriteNotifier();
    emit streamStopped(m_samplesSent);
}

// Pacing counts from now on: what is queued so far was due.
void InstrumentSimulator::startPacing()
{
    stopPacing();
    m_paceBase = m_samplesQueued;
    m_paceClock.start();
    if (m_rate <= 0)
        return;
    if (m_chunkSize == 0) {
        m_paceTimer->start();
        return;
    }
    // Rounded up, so that the timer never fires before a chunk is due. It falls behind by a
    // nanosecond a chunk at most; paceTick() asks the clock, and the odd wake-up sends two chunks.
    m_line->setChunkInterval((qint64(m_chunkSize) * kNsPerSecond + m_rate - 1) / m_rate);
}

void InstrumentSimulator::stopPacing()
{
    m_paceTimer->stop();
    m_line->setChunkInterval(0);
}

void InstrumentSimulator::paceTick()
{
    if (m_channel < 0 || m_rate <= 0)
        return;
    qint64 due = m_paceBase + samplesDue(m_rate, m_paceClock.nsecsElapsed());
    // Chunks are counted from the stream's first sample: after a change of size mid-stream, the
    // first one only completes the chunk begun.
    if (m_chunkSize > 0)
        due -= due % m_chunkSize;
    if (m_sampleLimit >= 0)
        due = std::min(due, m_sampleLimit);
    while (due > m_samplesQueued) {
        const qint64 end = m_chunkSize > 0 ? std::min(due, (m_samplesQueued / m_chunkSize + 1) * m_chunkSize) : due;
        enqueue(InstrumentSignal::samples(m_channel, m_samplesQueued, end - m_samplesQueued), true);
        m_samplesQueued = end;
    }
    writePending();
    afterWrite();
}

void InstrumentSimulator::onWritable()
{
    if (m_refillWhenWritable) {
        if (m_line->isOpen() && (!m_pending.empty() || refillFlood()))
            writeHead();
        afterWrite();
        return;
    }
    qint64 budget = kWriteBudget;
    while (budget > 0 && m_line->isOpen() && (!m_pending.empty() || refillFlood())) {
        const qint64 before = m_bytesWritten;
        if (!writePending())
            break;
        budget -= m_bytesWritten - before;
    }
    afterWrite();
}

bool InstrumentSimulator::floodWanted() const
{
    return m_channel >= 0 && m_rate == 0 && (m_sampleLimit < 0 || m_samplesQueued < m_sampleLimit);
}

bool InstrumentSimulator::refillFlood()
{
    if (!floodWanted())
        return false;
    qint64 count = m_refillWhenWritable ? kRefillSize : kBlockSize;
    if (m_sampleLimit >= 0)
        count = std::min(count, m_sampleLimit - m_samplesQueued);
    enqueue(InstrumentSignal::samples(m_channel, m_samplesQueued, count), true);
    m_samplesQueued += count;
    return true;
}

void InstrumentSimulator::enqueue(const QByteArray &bytes, bool isSignal)
{
    // Small paced writes join the last block while the host is not reading, unless sliced in chunks.
    if (m_chunkSize == 0 && !m_pending.empty() && m_pending.back().isSignal == isSignal
        && m_pending.back().bytes.size() < kBlockSize)
        m_pending.back().bytes.append(bytes);
    else
        m_pending.push_back({ bytes, isSignal });
}

// Writes until the queue is empty (true) or the pty is full (false).
bool InstrumentSimulator::writePending()
{
    while (!m_pending.empty() && m_line->isOpen()) {
        if (!writeHead())
            return false;
    }
    return m_pending.empty();
}

// One write of the oldest bytes queued; false if the pty took none.
bool InstrumentSimulator::writeHead()
{
    Chunk &head = m_pending.front();
    QString error;
    const qint64 n = m_line->write(head.bytes.constData() + m_headOffset, head.bytes.size() - m_headOffset, &error);
    if (n <= 0) {
        if (n < 0) {
            qWarning("InstrumentSimulator: %s", qPrintable(error));
            hangUp();
        }
        return false;
    }
    m_bytesWritten += n;
    if (head.isSignal)
        m_samplesSent += n;
    m_headOffset += n;
    if (m_headOffset == head.bytes.size()) {
        m_pending.pop_front();
        m_headOffset = 0;
    }
    return true;
}

void InstrumentSimulator::afterWrite()
{
    if (m_samplesSent != m_samplesAnnounced) {
        m_samplesAnnounced = m_samplesSent;
        emit samplesWritten(m_samplesSent);
    }
    if (m_channel >= 0 && m_sampleLimit >= 0 && m_samplesSent >= m_sampleLimit)
        stopStream();
    else
        updateWriteNotifier();
}

void InstrumentSimulator::updateWriteNotifier()
{
    if (m_line->isOpen())
        m_line->watchForRoom(!m_pending.empty() || floodWanted());
}
