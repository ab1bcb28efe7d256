#include "viewer/SampleSummary.h"

#include "viewer/BusErrorGuard.h"

#include <algorithm>

namespace {

// One block of 256 samples, written so that the compiler can use vector instructions.
void summariseBlock(const uchar *bytes, ColumnRange *range, quint16 *sum, quint32 *squares)
{
    quint8 lowest = 255;
    quint8 highest = 0;
    quint32 total = 0;
    quint32 squared = 0;
    for (int i = 0; i < int(SampleSummary::BlockSamples); ++i) {
        const quint8 value = bytes[i];
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        total += value;
        squared += quint32(value) * value;
    }
    *range = ColumnRange{lowest, highest};
    *sum = quint16(total);
    *squares = squared;
}

} // namespace

void SampleSummary::Totals::add(const Totals &other)
{
    range.min = std::min(range.min, other.range.min);
    range.max = std::max(range.max, other.range.max);
    sum += other.sum;
    squares += other.squares;
}

SampleSummary::Totals SampleSummary::Totals::of(const uchar *bytes, qint64 count)
{
    Totals totals;
    for (qint64 i = 0; i < count; ++i) {
        const quint8 value = bytes[i];
        totals.range.min = std::min(totals.range.min, value);
        totals.range.max = std::max(totals.range.max, value);
        totals.sum += value;
        totals.squares += quint32(value) * value;
    }
    return totals;
}

ColumnRange SampleSummary::rangeOf(const uchar *bytes, qint64 count)
{
    quint8 lowest = 255;
    quint8 highest = 0;
    for (int i = 0; i < int(count); ++i) {
        lowest = std::min(lowest, bytes[i]);
        highest = std::max(highest, bytes[i]);
    }
    return ColumnRange{lowest, highest};
}

qint64 SampleSummary::build(const uchar *bytes, qint64 length, const std::function<bool(qint64, qint64)> &progress)
{
    m_blockRanges.clear();
    m_blockSums.clear();
    m_blockSquares.clear();
    m_levels.clear();
    const qint64 summarised = extend(bytes, length, progress);
    m_blockRanges.shrink_to_fit();
    m_blockSums.shrink_to_fit();
    m_blockSquares.shrink_to_fit();
    return summarised;
}

qint64 SampleSummary::extend(const uchar *bytes, qint64 length, const std::function<bool(qint64, qint64)> &progress)
{
    const qint64 blocks = length >> BlockShift;
    qint64 done = blockCount();
    if (blocks <= done)
        return done << BlockShift;
    m_blockRanges.resize(size_t(blocks));
    m_blockSums.resize(size_t(blocks));
    m_blockSquares.resize(size_t(blocks));

    // A chunk at a time, so that a file cut short keeps the blocks read before.
    constexpr qint64 ChunkBlocks = 1024;
    while (done < blocks) {
        const qint64 end = std::min(blocks, done + ChunkBlocks);
        auto chunk = [&] {
            for (qint64 b = done; b < end; ++b)
                summariseBlock(bytes + (b << BlockShift), &m_blockRanges[size_t(b)], &m_blockSums[size_t(b)],
                               &m_blockSquares[size_t(b)]);
        };
        if (!BusErrorGuard::run(chunk))
            break;
        done = end;
        if (progress && !progress(done << BlockShift, length))
            return -1;
    }
    if (done < blocks) {
        m_blockRanges.resize(size_t(done));
        m_blockSums.resize(size_t(done));
        m_blockSquares.resize(size_t(done));
    }
    addLevelsAbove();
    return done << BlockShift;
}

// Only whole groups of 16 have an entry above them, so the entries made before stay as they
// are when blocks are added.
void SampleSummary::addLevelsAbove()
{
    constexpr qint64 Fan = qint64(1) << LevelShift;
    qint64 below = blockCount();
    for (size_t level = 0; below >= Fan; ++level) {
        if (level == m_levels.size())
            m_levels.emplace_back();
        Level &above = m_levels[level];
        const qint64 count = below / Fan;
        for (qint64 i = qint64(above.ranges.size()); i < count; ++i) {
            Totals totals;
            collectEach<true>(level, i * Fan, (i + 1) * Fan, &totals);
            above.ranges.push_back(totals.range);
            above.sums.push_back(totals.sum);
            above.squares.push_back(totals.squares);
        }
        below = count;
    }
}

qint64 SampleSummary::blockCount() const
{
    return qint64(m_blockRanges.size());
}

ColumnRange SampleSummary::range(qint64 first, qint64 last) const
{
    Totals totals;
    collect<false>(0, first, last, &totals);
    return totals.range;
}

SampleSummary::Totals SampleSummary::totals(qint64 first, qint64 last) const
{
    Totals totals;
    collect<true>(0, first, last, &totals);
    return totals;
}

// Level 0 is the blocks, level n the n-th of m_levels. The entries of a level that lie
// whole inside a coarser one's are taken from that one.
template <bool WithSums>
void SampleSummary::collect(size_t level, qint64 first, qint64 last, Totals *totals) const
{
    constexpr qint64 Fan = qint64(1) << LevelShift;
    if (level < m_levels.size()) {
        const qint64 coarseFirst = (first + Fan - 1) >> LevelShift;
        const qint64 coarseLast = last >> LevelShift;
        if (coarseFirst < coarseLast) {
            collectEach<WithSums>(level, first, coarseFirst << LevelShift, totals);
            collect<WithSums>(level + 1, coarseFirst, coarseLast, totals);
            collectEach<WithSums>(level, coarseLast << LevelShift, last, totals);
            return;
        }
    }
    collectEach<WithSums>(level, first, last, totals);
}

template <bool WithSums>
void SampleSummary::collectEach(size_t level, qint64 first, qint64 last, Totals *totals) const
{
    const ColumnRange *ranges = level == 0 ? m_blockRanges.data() : m_levels[level - 1].ranges.data();
    quint8 lowest = totals->range.min;
    quint8 highest = totals->range.max;
    for (qint64 i = first; i < last; ++i) {
        lowest = std::min(lowest, ranges[i].min);
        highest = std::max(highest, ranges[i].max);
    }
    totals->range = ColumnRange{lowest, highest};
    if (!WithSums)
        return;
    for (qint64 i = first; i < last; ++i) {
        if (level == 0) {
            totals->sum += m_blockSums[size_t(i)];
            totals->squares += m_blockSquares[size_t(i)];
        } else {
            totals->sum += m_levels[level - 1].sums[size_t(i)];
            totals->squares += m_levels[level - 1].squares[size_t(i)];
        }
    }
}
