#include "output/DataFile.h"

#include "platform/SystemErrorText.h"

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
    if (path.isEmpty()) {
        *errorMessage = failure(QStringLiteral("создать"),
                                SystemErrorText::wording(SystemErrorText::Meaning::NoSuchFile));
        return false;
    }
    return openAfresh(errorMessage);
}

bool DataFile::writeBlock(qint64 blockIndex, QByteArrayView block, QString *errorMessage)
{
    Q_ASSERT(block.size() == SampleBlockBytes);
    const qint64 start = blockIndex * SampleBlockBytes;
    qint64 done = 0;
    while (done < block.size()) {
        int error = 0;
        const qint64 written = writeAt(start + done, block.data() + done, block.size() - done, &error);
        if (written < 0) {
            *errorMessage = failure(QStringLiteral("записать"), error);
            const int cutError = done > 0 ? cutBack(start) : 0;
            if (cutError != 0) {
                *errorMessage += QStringLiteral(" Обрезать файл до целых блоков тоже не удалось (%1): в его конце "
                                                "остался неполный блок.")
                                     .arg(SystemErrorText::forSystemError(cutError));
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

bool DataFile::close(QString *errorMessage)
{
    if (m_handle == -1)
        return true;
    // On the disk before a description vouches for it.
    int syncError = 0;
    int closeError = 0;
    syncAndClose(&syncError, &closeError);
    m_handle = -1;
    if (syncError == 0 && closeError == 0)
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
    return m_handle != -1;
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

QString DataFile::failure(const QString &what, int error) const
{
    return failure(what, SystemErrorText::forSystemError(error));
}

QString DataFile::failure(const QString &what, const QString &reason) const
{
    return QStringLiteral("Не удалось %1 файл данных «%2»: %3.").arg(what, m_path, reason);
}
