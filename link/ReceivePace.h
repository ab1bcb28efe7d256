#pragma once

#include <QtGlobal>

// How long a recording may sleep before it looks at the line again.
//
// A line at 56000 bit/s carries at most 5600 bytes a second, so the bytes still
// missing from the next block cannot all be there sooner than missing ÷ 5600 s:
// sleeping that long delays no block, and the program wakes about once a block
// however the port slices the stream (a UART without FIFO hands over every byte on
// its own). A floor bounds the wakes while the last bytes of a slow instrument's
// block trickle in, and with them the time such a block waits to be taken. A source
// that delivered faster than any line could (a pseudo-terminal in a flood) is looked
// at again as soon as the window's events are handled.
class ReceivePace
{
public:
    static constexpr qint64 LineBytesPerSecond = 5600;
    static constexpr int ShortestWaitMs = 10;

    // got: the bytes the last look brought, elapsedNs: the time since the look before it.
    int nextWaitMs(qint64 got, qint64 elapsedNs, qint64 missingForBlock);

private:
    static bool fasterThanTheLine(qint64 got, qint64 elapsedNs);

    bool m_flooding = false;
};
