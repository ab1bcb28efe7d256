#include "viewer/MappedDataFile.h"

#include "platform/SystemErrorText.h"
#include "viewer/BusErrorGuard.h"

#include <algorithm>
#include <cstring>

MappedDataFile::~MappedDataFile()
{
    if (m_bytes)
        unmap(m_bytes, m_mapped);
}

bool MappedDataFile::open(const QString &path, QString *reason, qint64 room)
{
    qint64 size = 0;
    if (!m_file.openRegular(path, &size, reason))
        return false;
    if (size == 0 && room == 0) {
        *reason = QStringLiteral("файл пуст, в нём нет ни одного отсчёта");
        return false;
    }
    m_room = room;
    if (const int error = map(size, room, &m_bytes, &m_mapped); error != 0) {
        *reason = SystemErrorText::forSystemError(error);
        return false;
    }
    m_size = size;
    return true;
}

bool MappedDataFile::grow(qint64 size)
{
    if (size <= m_mapped) {
        m_size = std::max(m_size, size);
        return true;
    }
    // Mapped anew before the old mapping goes, so that a failure keeps the old.
    const uchar *bytes = nullptr;
    qint64 mapped = 0;
    if (map(size, m_room, &bytes, &mapped) != 0)
        return false;
    unmap(m_bytes, m_mapped);
    m_bytes = bytes;
    m_mapped = mapped;
    m_size = size;
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
    return qBound<qint64>(0, fileSize(), m_size);
}

qint64 MappedDataFile::fileSize() const
{
    ReadOnlyFile::Kind kind = ReadOnlyFile::Kind::Other;
    qint64 size = 0;
    if (m_file.handle() == -1 || m_file.inspect(&kind, &size) != 0)
        return -1;
    return size;
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
