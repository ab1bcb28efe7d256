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
        return QStringLiteral("это папка, а не файл");
    if (S_ISFIFO(mode))
        return QStringLiteral("это именованный канал (FIFO), а не обычный файл");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("это устройство, а не обычный файл");
    if (S_ISSOCK(mode))
        return QStringLiteral("это сокет, а не обычный файл");
    return QStringLiteral("это не обычный файл");
}

} // namespace

DataFile::~DataFile()
{
    close();
}

bool DataFile::createAfresh(const QString &path, QString *errorMessage)
{
    close();
    m_path = path;
    m_size = 0;
    m_content.reset();
    m_hashedInOrder = true;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) {
        *errorMessage = failure(QStringLiteral("создать"), ENOENT);
        return false;
    }

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
    m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        *errorMessage = failure(QStringLiteral("создать"), errno);
        return false;
    }
    return true;
}

bool DataFile::writeBlock(qint64 blockIndex, QByteArrayView block, QString *errorMessage)
{
    Q_ASSERT(block.size() == SampleBlockBytes);
    const off_t start = off_t(blockIndex) * SampleBlockBytes;
    qint64 done = 0;
    while (done < block.size()) {
        const ssize_t written = ::pwrite(m_fd, block.data() + done, size_t(block.size() - done), start + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *errorMessage = failure(QStringLiteral("записать"), written < 0 ? errno : ENOSPC);
            const int cutError = done > 0 ? cutBack(start) : 0;
            if (cutError != 0) {
                *errorMessage += QStringLiteral(" Обрезать файл до целых блоков тоже не удалось (%1): в его конце "
                                                "остался неполный блок.")
                                     .arg(SystemErrorText::forErrno(cutError));
                takeIn(start, block.first(done));
            }
            return false;
        }
        done += written;
    }
    takeIn(start, block);
    return true;
}

void DataFile::takeIn(qint64 offset, QByteArrayView written)
{
    if (offset == m_size)
        m_content.add(written.data(), written.size());
    else
        m_hashedInOrder = false;
    m_size = qMax(m_size, offset + written.size());
}

int DataFile::cutBack(qint64 length)
{
    while (::ftruncate(m_fd, off_t(length)) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

bool DataFile::close(QString *errorMessage)
{
    if (m_fd < 0)
        return true;
    // On the disk before a description vouches for it.
    const int syncError = DiskSync::file(m_fd);
    const int closed = ::close(m_fd);
    const int closeError = errno;
    m_fd = -1;
    if (syncError == 0 && closed == 0)
        return true;
    if (errorMessage) {
        *errorMessage = (syncError != 0 ? failure(QStringLiteral("сохранить на диске"), syncError)
                                        : failure(QStringLiteral("закрыть"), closeError))
            + QStringLiteral(" Данные, записанные в него, могли сохраниться не полностью.");
    }
    return false;
}

bool DataFile::isOpen() const
{
    return m_fd >= 0;
}

QString DataFile::path() const
{
    return m_path;
}

qint64 DataFile::size() const
{
    return m_size;
}

QByteArray DataFile::sha256() const
{
    return m_hashedInOrder ? m_content.hex() : QByteArray();
}

QString DataFile::failure(const QString &what, int errorNumber) const
{
    return failure(what, SystemErrorText::forErrno(errorNumber));
}

QString DataFile::failure(const QString &what, const QString &reason) const
{
    return QStringLiteral("Не удалось %1 файл данных «%2»: %3.").arg(what, m_path, reason);
}
