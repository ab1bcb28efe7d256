#include "link/InstrumentLink.h"

#include "link/TtyLine.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

// QSerialPort watches the open port for incoming data and wakes the event loop for
// every slice the line delivers: with a UART without FIFO, every byte, 5600 times a
// second. The recording looks at the line itself at the pace blocks can arrive, so
// that watch is switched off, and the link reads the tty itself. A notifier of the
// link's own only wakes, so Qt reads nothing into its buffer behind receive()'s back.
void InstrumentLink::startReading()
{
    keepQtFromWatching();
    m_deliveryWatch = new QSocketNotifier(m_port->handle(), QSocketNotifier::Read, this);
    m_deliveryWatch->setEnabled(false);
    // Waking the event loop is all it is for; receive() reads.
    connect(m_deliveryWatch, &QSocketNotifier::activated, this, [this] { watchForDelivery(false); });
}

void InstrumentLink::stopReading()
{
    delete m_deliveryWatch;
    m_deliveryWatch = nullptr;
}

// QSerialPort has no switch for its watch; it is the port's one read notifier, and reading
// Qt's buffer switches it back on. Should Qt ever read by other means, receive() still hands
// on what Qt took first, in order: only the cost would rise.
void InstrumentLink::keepQtFromWatching()
{
    const QList<QSocketNotifier *> notifiers = m_port->findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier *notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(false);
    }
}

void InstrumentLink::watchForDelivery(bool on)
{
    if (m_deliveryWatch)
        m_deliveryWatch->setEnabled(on && m_port->isOpen() && !m_lost);
}

// Everything the system holds for us; a line that has hung up is marked lost once
// what it delivered before is taken.
qint64 InstrumentLink::readWhatArrived()
{
    if (m_lost)
        return 0;
    const int handle = int(m_port->handle());
    pollfd line{handle, POLLIN, 0};
    if (::poll(&line, 1, 0) <= 0)
        return 0;
    qint64 got = 0;
    if (line.revents & POLLIN) {
        char chunk[16384];
        for (;;) {
            const ssize_t count = ::read(handle, chunk, sizeof chunk);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            m_received.append(chunk, count);
            got += count;
            if (size_t(count) < sizeof chunk)
                break;
        }
    }
    if (line.revents & (POLLHUP | POLLERR | POLLNVAL))
        m_lost = true;
    return got;
}

qint64 InstrumentLink::unreadInDriver() const
{
    int waiting = 0;
    return ::ioctl(int(m_port->handle()), FIONREAD, &waiting) == 0 ? waiting : 0;
}

quint32 InstrumentLink::rateMade() const
{
    return TtyLine::rate(int(m_port->handle()));
}

bool InstrumentLink::drainOutput(std::chrono::milliseconds limit)
{
    return TtyLine::drain(int(m_port->handle()), limit);
}

void InstrumentLink::discardOutput()
{
    TtyLine::discardOutput(int(m_port->handle()));
}

QString InstrumentLink::writeFailureReason() const
{
    switch (errno) {
    case EAGAIN: return QStringLiteral("устройство не принимает данные, очередь передачи заполнена");
    case EIO:
    case ENXIO:
    case ENODEV: return QStringLiteral("устройство отключено");
    default:
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(QString::number(errno), QString::fromLocal8Bit(std::strerror(errno)));
    }
}
