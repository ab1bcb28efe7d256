#include "PortHolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

int openPort(const QString &port)
{
    return ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

} // namespace

PortHolder::PortHolder(const QString &port)
    : m_port(port)
{
    const int fd = openPort(port);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_handle = fd;
}

PortHolder::~PortHolder()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

bool PortHolder::holds() const
{
    return m_handle >= 0;
}

bool PortHolder::keepsOthersOut() const
{
    const int other = openPort(m_port);
    if (other < 0)
        return true;
    const bool refused = ::flock(other, LOCK_EX | LOCK_NB) != 0;
    ::close(other);
    return refused;
}
