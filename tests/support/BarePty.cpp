#include "BarePty.h"

#include "link/TtyLine.h"

#include <QByteArray>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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
