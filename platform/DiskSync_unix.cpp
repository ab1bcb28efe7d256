#include "platform/DiskSync.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

int failure(int (*sync)(int), int fd)
{
    while (sync(fd) != 0) {
        // A file system that cannot sync at all.
        if (errno == EINVAL)
            return 0;
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace

int DiskSync::file(int fd)
{
    return failure(::fdatasync, fd);
}

int DiskSync::folder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = failure(::fsync, fd);
    ::close(fd);
    return error;
}
