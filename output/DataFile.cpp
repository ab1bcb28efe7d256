#include "output/DataFile.h"

#include "platform/SystemErrorText.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

DataFile::~DataFile()
{
    close();
}

bool DataFile::createAfresh(const QString &path, QString *errorMessage)
{
    close();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) {
        *errorMessage = failure(QStringLiteral("создать"), ENOENT);
        return false;
    }

    // Opening for writing first proves the old file may be replaced before it is deleted.
    const int probe = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (probe < 0) {
        *errorMessage = failure(QStringLiteral("создать"), errno);
        return false;
    }
    ::close(probe);
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
    Q_ASSERT(block.size() == BlockSize);
    const off_t start = off_t(blockIndex) * BlockSize;
    qint64 done = 0;
    while (done < block.size()) {
        const ssize_t written = ::pwrite(m_fd, block.data() + done, size_t(block.size() - done), start + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            if (done > 0)
                cutBack(start);
            *errorMessage = failure(QStringLiteral("записать"), error);
            return false;
        }
        done += written;
    }
    return true;
}

void DataFile::cutBack(qint64 length)
{
    while (::ftruncate(m_fd, off_t(length)) != 0 && errno == EINTR) {
    }
}

void DataFile::close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

bool DataFile::isOpen() const
{
    return m_fd >= 0;
}

QString DataFile::path() const
{
    return m_path;
}

QString DataFile::failure(const QString &what, int errorNumber) const
{
    return QStringLiteral("Не удалось %1 файл данных «%2»: %3.")
        .arg(what, m_path, SystemErrorText::forErrno(errorNumber));
}
