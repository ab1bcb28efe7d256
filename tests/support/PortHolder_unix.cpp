#include "PortHolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

PortHolder::PortHolder(const QString &port)
{
    const int fd = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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
