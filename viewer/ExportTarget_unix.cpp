#include "viewer/ExportTarget.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

// A stop signal waits until the new file is marked for removal, and spares a file of that
// name that was there before.
int ExportTarget::createTemporary(const QString &candidate)
{
    RemovalOnStopSignal::holdBack(true);
    m_fd = ::open(QFile::encodeName(candidate).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int error = m_fd >= 0 ? 0 : errno;
    if (m_fd >= 0)
        m_removalOnStop = std::make_unique<RemovalOnStopSignal>(candidate);
    RemovalOnStopSignal::holdBack(false);
    return error;
}

bool ExportTarget::alreadyExists(int error)
{
    return error == EEXIST;
}

bool ExportTarget::write(const char *bytes, qint64 count, int *error) const
{
    qint64 done = 0;
    while (done < count) {
        const ssize_t written = ::write(m_fd, bytes + done, size_t(count - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *error = written < 0 ? errno : ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

int ExportTarget::closeDescriptor()
{
    const int closed = ::close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    return closed;
}

int ExportTarget::putInPlace()
{
    return ::rename(QFile::encodeName(m_temporaryPath).constData(), QFile::encodeName(m_path).constData()) == 0
        ? 0
        : errno;
}

void ExportTarget::remove(const QString &path)
{
    ::unlink(QFile::encodeName(path).constData());
}
