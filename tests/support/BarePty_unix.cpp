#include "BarePty.h"

#include "link/TtyLine.h"

#include <QByteArray>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Bounds only a hang: how long the kernel may take to pass bytes from one end to the other.
constexpr int DeliveryDeadlineMs = 30000;
// Sent from the host's side after everything else; nothing the tests send or echo contains it.
constexpr char Mark = '~';

// One read of what fd has, once it has something or the deadline has passed; empty if nothing.
QByteArray readWhenReady(int fd)
{
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, DeliveryDeadlineMs) <= 0 || !(readable.revents & POLLIN))
        return {};
    char chunk[4096];
    const ssize_t count = ::read(fd, chunk, sizeof chunk);
    return count > 0 ? QByteArray(chunk, count) : QByteArray();
}

} // namespace

BarePty::BarePty()
{
    char name[128];
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return;
    TtyLine::makeRaw(m_slave);
    m_device = QString::fromLocal8Bit(name);
}

BarePty::~BarePty()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

QString BarePty::device() const
{
    return m_device;
}

int BarePty::master() const
{
    return m_master;
}

QByteArray BarePty::takeSent()
{
    QByteArray sent;
    char chunk[4096];
    pollfd readable{m_master, POLLIN, 0};
    while (::poll(&readable, 1, 0) > 0 && (readable.revents & POLLIN)) {
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count <= 0)
            break;
        sent.append(chunk, count);
    }
    return sent;
}

bool BarePty::sendToHost(const QByteArray &bytes)
{
    return ::write(m_master, bytes.constData(), bytes.size()) == bytes.size();
}

// Filling the queue instead would depend on when the kernel moves what was written on to the
// other end, which makes room again a moment later.
void BarePty::stopTakingCommands()
{
    ::tcflow(m_slave, TCOOFF);
}

QByteArray BarePty::sentUntilTakenIn(const QByteArray &bytes)
{
    const QByteArray undelivered = QByteArrayLiteral("(the kernel did not deliver within the deadline)");
    if (!sendToHost(bytes))
        return undelivered;
    for (qsizetype arrived = 0; arrived < bytes.size();) {
        const QByteArray more = readWhenReady(m_slave);
        if (more.isEmpty())
            return undelivered;
        arrived += more.size();
    }
    if (::write(m_slave, &Mark, 1) != 1)
        return undelivered;
    QByteArray sent;
    while (!sent.contains(Mark)) {
        const QByteArray more = readWhenReady(m_master);
        if (more.isEmpty())
            return sent + undelivered;
        sent += more;
    }
    return sent.left(sent.indexOf(Mark));
}
