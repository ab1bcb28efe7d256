#include "output/DataFile.h"

#include "platform/DiskSync.h"
#include "platform/SystemErrorText.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What stands under the data file's name when it is no regular file.
QString notARegularFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return SystemErrorText::wording(SystemErrorText::Meaning::IsFolder);
    if (S_ISFIFO(mode))
        return QStringLiteral("это именованный канал (FIFO), а не обычный файл");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("это устройство, а не обычный файл");
    if (S_ISSOCK(mode))
        return QStringLiteral("это сокет, а не обычный файл");
    return QStringLiteral("это не обычный файл");
}

} // namespace

// A new file under the old name: a viewer that maps the old one keeps what it shows.
bool DataFile::openAfresh(QString *errorMessage)
{
    const QByteArray name = QFile::encodeName(m_path);
    // Only a regular file is replaced. Looking first keeps the probe below from opening
    // a device, and from waiting for a reader of a named pipe.
    struct stat existing;
    if (::stat(name.constData(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        *errorMessage = failure(QStringLiteral("создать"), notARegularFile(existing.st_mode));
        return false;
    }
    // Opening for writing first proves the old file may be replaced before it is deleted.
    // Non-blocking and checked again, in case something else took the name meanwhile.
    const int probe = ::open(name.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (probe < 0) {
        *errorMessage = failure(QStringLiteral("создать"), errno);
        return false;
    }
    struct stat probed;
    const int probeError = ::fstat(probe, &probed) == 0 ? 0 : errno;
    ::close(probe);
    if (probeError != 0) {
        *errorMessage = failure(QStringLiteral("создать"), probeError);
        return false;
    }
    if (!S_ISREG(probed.st_mode)) {
        *errorMessage = failure(QStringLiteral("создать"), notARegularFile(probed.st_mode));
        return false;
    }
    if (::unlink(name.constData()) != 0) {
        *errorMessage = failure(QStringLiteral("пересоздать"), errno);
        return false;
    }
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *errorMessage = failure(QStringLiteral("создать"), errno);
        return false;
    }
    m_handle = fd;
    return true;
}

qint64 DataFile::writeAt(qint64 offset, const char *bytes, qint64 count, int *error)
{
    for (;;) {
        const ssize_t written = ::pwrite(int(m_handle), bytes, size_t(count), off_t(offset));
        if (written > 0)
            return written;
        if (written < 0 && errno == EINTR)
            continue;
        *error = written < 0 ? errno : ENOSPC;
        return -1;
    }
}

int DataFile::cutBack(qint64 length)
{
    while (::ftruncate(int(m_handle), off_t(length)) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

void DataFile::syncAndClose(int *syncError, int *closeError)
{
    *syncError = DiskSync::file(int(m_handle));
    *closeError = ::close(int(m_handle)) == 0 ? 0 : errno;
}
