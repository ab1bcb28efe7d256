#pragma once

#include "link/SampleBlock.h"

class QIODevice;

// Takes whole sample blocks, oldest bytes first, from what a device has received.
// Never takes a partial block.
class BlockReader
{
public:
    explicit BlockReader(QIODevice *device);

    bool blockWaiting() const;
    // Reads the next block into block; false if fewer than 512 bytes are waiting.
    bool take(SampleBlock &block);

private:
    QIODevice *m_device;
};
