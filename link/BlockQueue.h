#pragma once

#include "link/SampleBlock.h"

#include <QByteArray>

// The bytes received from the instrument, oldest first, handed out in whole sample
// blocks. Never hands out a partial block; how the bytes were sliced on arrival does
// not matter.
class BlockQueue
{
public:
    void append(const char *bytes, qint64 count);
    void clear();

    qint64 size() const;
    // Bytes still to come before the next whole block: 1 … SampleBlockBytes.
    qint64 missingForBlock() const;
    // Takes the oldest block; false if fewer than SampleBlockBytes bytes are waiting.
    bool take(SampleBlock &block);

private:
    QByteArray m_bytes;
    // Bytes at the front of m_bytes already taken; dropped when more arrive, so a
    // flood of blocks is not moved along once per block.
    qsizetype m_head = 0;
};
