#include "link/BlockReader.h"

#include <QIODevice>

BlockReader::BlockReader(QIODevice *device)
    : m_device(device)
{
}

bool BlockReader::blockWaiting() const
{
    return m_device->bytesAvailable() >= qint64(std::tuple_size<SampleBlock>::value);
}

bool BlockReader::take(SampleBlock &block)
{
    if (!blockWaiting())
        return false;
    const qint64 size = qint64(block.size());
    return m_device->read(reinterpret_cast<char *>(block.data()), size) == size;
}
