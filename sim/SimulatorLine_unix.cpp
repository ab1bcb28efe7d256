#include "sim/SimulatorLine.h"

#include "link/TtyLine.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr qint64 kNsPerSecond = 1000000000;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

struct SimulatorLine::Handles
{
    int master = -1; // the pty's master, or the serial device
    int slave = -1;
    int chunkTimer = -1; // timerfd: QTimer cannot wait less than a millisecond
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QSocketNotifier *chunkNotifier = nullptr;

    // What a pty and a device share once master is open.
    bool serve(QString *error)
    {
        const int flags = ::fcntl(master, F_GETFL);
        if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
            *error = systemError("fcntl");
            return false;
        }
        chunkTimer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (chunkTimer < 0) {
            *error = systemError("timerfd_create");
            return false;
        }
        readNotifier->setSocket(master);
        readNotifier->setEnabled(true);
        writeNotifier->setSocket(master);
        chunkNotifier->setSocket(chunkTimer);
        chunkNotifier->setEnabled(true);
        return true;
    }
};

SimulatorLine::SimulatorLine(QObject *parent)
    : QObject(parent)
    , m_handles(std::make_unique<Handles>())
{
    m_handles->readNotifier = new QSocketNotifier(QSocketNotifier::Read, this);
    m_handles->writeNotifier = new QSocketNotifier(QSocketNotifier::Write, this);
    m_handles->chunkNotifier = new QSocketNotifier(QSocketNotifier::Read, this);
    connect(m_handles->readNotifier, &QSocketNotifier::activated, this, &SimulatorLine::bytesArrived);
    connect(m_handles->writeNotifier, &QSocketNotifier::activated, this, &SimulatorLine::roomToWrite);
    connect(m_handles->chunkNotifier, &QSocketNotifier::activated, this, [this] {
        // Read to quiet the notifier; the count of expirations is not needed, the pacing asks the clock.
        quint64 expirations;
        while (::read(m_handles->chunkTimer, &expirations, sizeof expirations) < 0 && errno == EINTR) { }
        emit chunkDue();
    });
}

SimulatorLine::~SimulatorLine()
{
    close();
}

bool SimulatorLine::openPseudoTerminal(QString *hostPath, QString *error)
{
    Handles &h = *m_handles;
    const auto fail = [&](const char *what) {
        *error = systemError(what);
        close();
        return false;
    };
    if (::openpty(&h.master, &h.slave, nullptr, nullptr, nullptr) != 0)
        return fail("openpty");
    // Close-on-exec: a child holding the master would keep the line up after close().
    if (::fcntl(h.master, F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(h.slave, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl");
    char name[128];
    if (::ptsname_r(h.master, name, sizeof name) != 0)
        return fail("ptsname");
    // A new pty echoes and translates line ends; a host that does not set raw mode itself would
    // otherwise send our samples back to us as commands.
    if (!TtyLine::makeRaw(h.slave))
        return fail("TCSETS2");
    *hostPath = QString::fromLocal8Bit(name);
    if (!h.serve(error)) {
        close();
        return false;
    }
    return true;
}

bool SimulatorLine::openDevice(const QString &path, quint32 rate, QString *error)
{
    Handles &h = *m_handles;
    const auto fail = [&](const QString &problem) {
        *error = QStringLiteral("%1: %2").arg(path, problem);
        close();
        return false;
    };
    h.master = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (h.master < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const quint32 made = TtyLine::setUp(h.master, rate);
    if (made == 0) {
        return fail(QStringLiteral("cannot set %1 bit/s 8N1 raw: %2")
                        .arg(QString::number(rate), QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!TtyLine::isCloseEnough(made, rate)) {
        return fail(QStringLiteral("the driver runs the line at %1 bit/s instead of %2")
                        .arg(QString::number(made), QString::number(rate)));
    }
    if (!h.serve(error)) {
        close();
        return false;
    }
    return true;
}

bool SimulatorLine::isOpen() const
{
    return m_handles->master >= 0;
}

void SimulatorLine::close()
{
    Handles &h = *m_handles;
    // setSocket() also disables; the notifiers may be mid-activation, so they are kept, not deleted.
    h.readNotifier->setSocket(-1);
    h.writeNotifier->setSocket(-1);
    h.chunkNotifier->setSocket(-1);
    // The slave is closed too: the pty is gone, and its /dev/pts node with it, as with an unplug.
    for (int *fd : { &h.master, &h.slave, &h.chunkTimer }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

quint32 SimulatorLine::rate() const
{
    return isOpen() ? TtyLine::rate(m_handles->master) : 0;
}

qint64 SimulatorLine::read(char *buffer, qint64 size, QString *error)
{
    for (;;) {
        const ssize_t n = ::read(m_handles->master, buffer, size_t(size));
        if (n > 0)
            return n;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return 0;
        // On a pty only when no slave fd is left, which our own open slave prevents; a device
        // has gone.
        *error = systemError("read");
        m_handles->readNotifier->setEnabled(false);
        return -1;
    }
}

qint64 SimulatorLine::write(const char *bytes, qint64 count, QString *error)
{
    ssize_t n;
    do
        n = ::write(m_handles->master, bytes, size_t(count));
    while (n < 0 && errno == EINTR);
    if (n >= 0)
        return n;
    if (errno == EAGAIN)
        return 0;
    *error = systemError("write");
    return -1;
}

void SimulatorLine::watchForRoom(bool on)
{
    if (isOpen())
        m_handles->writeNotifier->setEnabled(on);
}

void SimulatorLine::setChunkInterval(qint64 nanoseconds)
{
    if (m_handles->chunkTimer < 0)
        return;
    const timespec period{ time_t(nanoseconds / kNsPerSecond), long(nanoseconds % kNsPerSecond) };
    const itimerspec schedule{ period, period };
    if (::timerfd_settime(m_handles->chunkTimer, 0, &schedule, nullptr) != 0)
        qWarning("SimulatorLine: %s", qPrintable(systemError("timerfd_settime")));
}
