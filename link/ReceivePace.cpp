#include "link/ReceivePace.h"

#include <algorithm>

namespace {

constexpr qint64 NsPerSecond = 1000000000;
constexpr qint64 NsPerMs = 1000000;
// What a USB adapter may hold back and hand over in one go, whatever the pace.
constexpr qint64 BurstBytes = 256;

} // namespace

ReceivePace::Wait ReceivePace::nextWait(qint64 got, qint64 elapsedNs, qint64 missingForBlock)
{
    if (m_flooding ? floodGoesOn(got, elapsedNs) : fasterThanTheLine(got, elapsedNs)) {
        m_flooding = true;
        return got > BurstBytes ? Wait{0, false} : Wait{ShortestWaitMs, true};
    }
    m_flooding = false;
    const qint64 dueMs = (missingForBlock * 1000 + LineBytesPerSecond - 1) / LineBytesPerSecond;
    return {int(std::max<qint64>(ShortestWaitMs, dueMs)), false};
}

// A look may bring little in a flood: one that comes before the tty has refilled, a wake
// by a click or the tick, a delivery caught half-way. Only a whole stretch tells.
bool ReceivePace::floodGoesOn(qint64 got, qint64 elapsedNs)
{
    m_stretchBytes += got;
    m_stretchNs += elapsedNs;
    if (m_stretchNs < ShortestWaitMs * NsPerMs)
        return true;
    const bool faster = fasterThanTheLine(m_stretchBytes, m_stretchNs);
    m_stretchBytes = 0;
    m_stretchNs = 0;
    return faster;
}

bool ReceivePace::fasterThanTheLine(qint64 got, qint64 elapsedNs)
{
    const qint64 lineCouldCarry = elapsedNs / NsPerSecond * LineBytesPerSecond
        + elapsedNs % NsPerSecond * LineBytesPerSecond / NsPerSecond;
    return got > 2 * lineCouldCarry + BurstBytes;
}
