#include "viewer/MappedDataFile.h"

#include "platform/SystemErrorText.h"
#include "viewer/BusErrorGuard.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

MappedDataFile::~MappedDataFile()
{
    if (m_bytes)
        ::munmap(const_cast<uchar *>(m_bytes), size_t(m_size));
    if (m_fd >= 0)
        ::close(m_fd);
}

bool MappedDataFile::open(const QString &path, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a named pipe of that name is refused below rather than waited on;
    // a terminal of that name must not become the program's controlling terminal either.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) {
        *reason = SystemErrorText::forSystemError(errno);
        return false;
    }
    struct stat status;
    if (::fstat(m_fd, &status) != 0) {
        *reason = SystemErrorText::forSystemError(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        *reason = QStringLiteral("это папка, а не файл");
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *reason = QStringLiteral("это не обычный файл");
        return false;
    }
    if (status.st_size == 0) {
        *reason = QStringLiteral("файл пуст, в нём нет ни одного отсчёта");
        return false;
    }
    void *mapped = ::mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_SHARED, m_fd, 0);
    if (mapped == MAP_FAILED) {
        *reason = SystemErrorText::forSystemError(errno);
        return false;
    }
    m_bytes = static_cast<const uchar *>(mapped);
    m_size = status.st_size;
    return true;
}

qint64 MappedDataFile::mappedSize() const
{
    return m_size;
}

const uchar *MappedDataFile::bytes() const
{
    return m_bytes;
}

qint64 MappedDataFile::presentSize() const
{
    struct stat status;
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return 0;
    return qMin<qint64>(m_size, status.st_size);
}

qint64 MappedDataFile::copy(qint64 offset, qint64 count, uchar *out) const
{
    const qint64 end = qMin(offset + count, presentSize());
    constexpr qint64 Chunk = 1 << 20;
    qint64 copied = 0;
    for (qint64 at = offset; at < end; at += Chunk) {
        const qint64 length = qMin(Chunk, end - at);
        auto chunk = [&] { std::memcpy(out + (at - offset), m_bytes + at, size_t(length)); };
        if (!BusErrorGuard::run(chunk))
            break;
        copied += length;
    }
    return copied;
}
