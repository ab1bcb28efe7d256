#include "link/BlockQueue.h"

#include <cstring>

void BlockQueue::append(const char *bytes, qint64 count)
{
    if (m_head > 0) {
        m_bytes.remove(0, m_head);
        m_head = 0;
    }
    m_bytes.append(bytes, qsizetype(count));
}

void BlockQueue::clear()
{
    m_bytes.clear();
    m_head = 0;
}

qint64 BlockQueue::size() const
{
    return m_bytes.size() - m_head;
}

qint64 BlockQueue::missingForBlock() const
{
    return SampleBlockBytes - size() % SampleBlockBytes;
}

bool BlockQueue::take(SampleBlock &block)
{
    if (size() < SampleBlockBytes)
        return false;
    std::memcpy(block.data(), m_bytes.constData() + m_head, block.size());
    m_head += SampleBlockBytes;
    if (m_head == m_bytes.size())
        clear();
    return true;
}
