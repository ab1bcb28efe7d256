#pragma once

#include <QtGlobal>

// How long a recording may sleep before it looks at the line again, and whether
// data arriving should wake it sooner.
//
// A line at 56000 bit/s carries at most 5600 bytes a second, so the bytes still
// missing from the next block cannot all be there sooner than missing ÷ 5600 s:
// sleeping that long delays no block, and the program wakes about once a block
// however the port slices the stream (a UART without FIFO hands over every byte on
// its own). A floor bounds the wakes while the last bytes of a slow instrument's
// block trickle in, and with them the time such a block waits to be taken.
//
// A source that delivers faster than any line could (a USB instrument that ignores
// the rate, a pseudo-terminal) floods. While looks bring more than an adapter's
// burst, the next comes as soon as the window's events are handled. A tty hands over
// a few KiB a look and refills only after the read, so a look may find little or
// nothing although the source is far ahead; the wait after it ends with the line's
// next delivery, not on a timer alone. The flood counts as over once a stretch of at
// least the floor brought no more than the line could carry.
class ReceivePace
{
public:
    static constexpr qint64 LineBytesPerSecond = 5600;
    static constexpr int ShortestWaitMs = 10;

    struct Wait
    {
        int milliseconds;
        // The wait also ends when the line delivers.
        bool untilDelivery;
    };

    // got: the bytes the last look brought, elapsedNs: the time since the look before it.
    Wait nextWait(qint64 got, qint64 elapsedNs, qint64 missingForBlock);

private:
    static bool fasterThanTheLine(qint64 got, qint64 elapsedNs);
    bool floodGoesOn(qint64 got, qint64 elapsedNs);

    bool m_flooding = false;
    // Since the flood was last seen faster than the line.
    qint64 m_stretchBytes = 0;
    qint64 m_stretchNs = 0;
};
