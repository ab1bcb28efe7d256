#include "platform/ReadOnlyFile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_handle != -1)
        ::close(int(m_handle));
}

int ReadOnlyFile::open(const QString &path)
{
    // Non-blocking, so that a named pipe of that name is refused by its kind rather than waited
    // on; a terminal of that name must not become the program's controlling terminal either.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    m_handle = fd;
    return 0;
}

int ReadOnlyFile::inspect(Kind *kind, qint64 *size) const
{
    struct stat status;
    if (::fstat(int(m_handle), &status) != 0)
        return errno;
    *kind = S_ISREG(status.st_mode) ? Kind::Regular : S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
    *size = status.st_size;
    return 0;
}

qint64 ReadOnlyFile::read(char *buffer, qint64 count, int *error)
{
    for (;;) {
        const ssize_t got = ::read(int(m_handle), buffer, size_t(count));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            *error = errno;
            return -1;
        }
    }
}

qintptr ReadOnlyFile::handle() const
{
    return m_handle;
}

bool ReadOnlyFile::isNotFound(int error)
{
    return error == ENOENT;
}
