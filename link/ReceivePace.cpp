#include "link/ReceivePace.h"

#include <algorithm>

namespace {

constexpr qint64 NsPerSecond = 1000000000;
// What a USB adapter may hold back and hand over in one go, whatever the pace.
constexpr qint64 BurstBytes = 256;

} // namespace

int ReceivePace::nextWaitMs(qint64 got, qint64 elapsedNs, qint64 missingForBlock)
{
    if (fasterThanTheLine(got, elapsedNs)) {
        m_flooding = true;
        return 0;
    }
    // A flood that seems to pause is looked at again soon: the sender may just be refilling.
    if (m_flooding) {
        m_flooding = false;
        return ShortestWaitMs;
    }
    const qint64 dueMs = (missingForBlock * 1000 + LineBytesPerSecond - 1) / LineBytesPerSecond;
    return int(std::max<qint64>(ShortestWaitMs, dueMs));
}

bool ReceivePace::fasterThanTheLine(qint64 got, qint64 elapsedNs)
{
    const qint64 lineCouldCarry = elapsedNs / NsPerSecond * LineBytesPerSecond
        + elapsedNs % NsPerSecond * LineBytesPerSecond / NsPerSecond;
    return got > 2 * lineCouldCarry + BurstBytes;
}
