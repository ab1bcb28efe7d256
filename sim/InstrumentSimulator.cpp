#include "sim/InstrumentSimulator.h"

#include "sim/InstrumentSignal.h"

#include "link/TtyLine.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <sys/timerfd.h>
#include <unistd.h>

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

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

InstrumentSimulator::InstrumentSimulator(QObject *parent)
    : QObject(parent)
    , m_readNotifier(new QSocketNotifier(QSocketNotifier::Read, this))
    , m_writeNotifier(new QSocketNotifier(QSocketNotifier::Write, this))
    , m_paceTimer(new QTimer(this))
    , m_chunkNotifier(new QSocketNotifier(QSocketNotifier::Read, this))
{
    m_paceTimer->setTimerType(Qt::PreciseTimer);
    m_paceTimer->setInterval(kPaceIntervalMs);
    connect(m_paceTimer, &QTimer::timeout, this, &InstrumentSimulator::paceTick);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &InstrumentSimulator::readCommands);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &InstrumentSimulator::onWritable);
    connect(m_chunkNotifier, &QSocketNotifier::activated, this, &InstrumentSimulator::onChunkTimer);
}

InstrumentSimulator::~InstrumentSimulator()
{
    closePty();
}

bool InstrumentSimulator::open(QString *error)
{
    const auto fail = [&](const char *what) { return failed(error, systemError(what)); };
    if (m_master >= 0)
        return failed(error, QStringLiteral("already open"), false);
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        return fail("openpty");
    // Close-on-exec: a child holding the master would keep the line up after hangUp().
    if (::fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(m_slave, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl");
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    // A new pty echoes and translates line ends; a host that does not set raw mode itself would
    // otherwise send our samples back to us as commands.
    if (!TtyLine::makeRaw(m_slave))
        return fail("TCSETS2");
    return serve(QString::fromLocal8Bit(name), error);
}

bool InstrumentSimulator::openDevice(const QString &path, QString *error)
{
    const auto fail = [&](const QString &problem) { return failed(error, QStringLiteral("%1: %2").arg(path, problem)); };
    if (m_master >= 0)
        return failed(error, QStringLiteral("already open"), false);
    m_master = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const quint32 made = TtyLine::setUp(m_master, LineRate);
    if (made == 0) {
        return fail(QStringLiteral("cannot set %1 bit/s 8N1 raw: %2")
                        .arg(QString::number(LineRate), QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!TtyLine::isCloseEnough(made, LineRate)) {
        return fail(QStringLiteral("the driver runs the line at %1 bit/s instead of %2")
                        .arg(QString::number(made), QString::number(LineRate)));
    }
    return serve(path, error);
}

// What a pty and a device share once m_master is open.
bool InstrumentSimulator::serve(const QString &path, QString *error)
{
    const auto fail = [&](const char *what) { return failed(error, systemError(what)); };
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    m_chunkTimer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_chunkTimer < 0)
        return fail("timerfd_create");

    m_devicePath = path;
    m_commands.clear();
    m_channel = -1;
    m_samplesSent = m_samplesQueued = m_bytesWritten = 0;
    m_clock.start();
    m_readNotifier->setSocket(m_master);
    m_readNotifier->setEnabled(true);
    m_writeNotifier->setSocket(m_master);
    m_chunkNotifier->setSocket(m_chunkTimer);
    m_chunkNotifier->setEnabled(true);
    return true;
}

bool InstrumentSimulator::failed(QString *error, const QString &problem, bool closing)
{
    if (error)
        *error = problem;
    if (closing)
        closePty();
    return false;
}

QString InstrumentSimulator::devicePath() const
{
    return m_devicePath;
}

void InstrumentSimulator::hangUp()
{
    if (m_master < 0)
        return;
    const bool wasStreaming = m_channel >= 0;
    closePty();
    m_channel = -1;
    if (wasStreaming)
        emit streamStopped(m_samplesSent);
}

void InstrumentSimulator::closePty()
{
    m_paceTimer->stop();
    // setSocket() also disables; the notifiers may be mid-activation, so they are kept, not deleted.
    m_readNotifier->setSocket(-1);
    m_writeNotifier->setSocket(-1);
    m_chunkNotifier->setSocket(-1);
    m_pending.clear();
    m_headOffset = 0;
    // The slave is closed too: the pty is gone, and its /dev/pts node with it, as with an unplug.
    for (int *fd : { &m_master, &m_slave, &m_chunkTimer }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
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
    if (m_master < 0 || bytes.isEmpty())
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
    return m_master < 0 ? 0 : TtyLine::rate(m_master);
}

void InstrumentSimulator::readCommands()
{
    quint8 buffer[256];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            // A slot may hang up while we go through the bytes.
            for (ssize_t i = 0; i < n && m_master >= 0; ++i)
                handleCommand(buffer[i]);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            return;
        } else {
            // On a pty only when no slave fd is left, which our own open slave prevents; a device
            // has gone.
            qWarning("InstrumentSimulator: %s", qPrintable(systemError("read")));
            m_readNotifier->setEnabled(false);
            return;
        }
    }
}

void InstrumentSimulator::handleCommand(quint8 byte)
{
    m_commands.append({ byte, m_clock.elapsed() });
    emit commandReceived(byte);
    if (m_master < 0)
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
    const qint64 interval = (qint64(m_chunkSize) * kNsPerSecond + m_rate - 1) / m_rate;
    const timespec period{ time_t(interval / kNsPerSecond), long(interval % kNsPerSecond) };
    const itimerspec schedule{ period, period };
    if (::timerfd_settime(m_chunkTimer, 0, &schedule, nullptr) != 0)
        qWarning("InstrumentSimulator: %s", qPrintable(systemError("timerfd_settime")));
}

void InstrumentSimulator::stopPacing()
{
    m_paceTimer->stop();
    const itimerspec disarmed{};
    if (m_chunkTimer >= 0)
        ::timerfd_settime(m_chunkTimer, 0, &disarmed, nullptr);
}

void InstrumentSimulator::onChunkTimer()
{
    // Read to quiet the notifier; the count of expirations is not needed, paceTick() asks the clock.
    quint64 expirations;
    while (::read(m_chunkTimer, &expirations, sizeof expirations) < 0 && errno == EINTR) { }
    paceTick();
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
        if (m_master >= 0 && (!m_pending.empty() || refillFlood()))
            writeHead();
        afterWrite();
        return;
    }
    qint64 budget = kWriteBudget;
    while (budget > 0 && m_master >= 0 && (!m_pending.empty() || refillFlood())) {
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
    while (!m_pending.empty() && m_master >= 0) {
        if (!writeHead())
            return false;
    }
    return m_pending.empty();
}

// One write of the oldest bytes queued; false if the pty took none.
bool InstrumentSimulator::writeHead()
{
    Chunk &head = m_pending.front();
    ssize_t n;
    do
        n = ::write(m_master, head.bytes.constData() + m_headOffset, head.bytes.size() - m_headOffset);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EAGAIN) {
            qWarning("InstrumentSimulator: %s", qPrintable(systemError("write")));
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
    if (m_master >= 0)
        m_writeNotifier->setEnabled(!m_pending.empty() || floodWanted());
}
