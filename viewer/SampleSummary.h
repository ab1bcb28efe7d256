#pragma once

#include "viewer/ColumnRange.h"

#include <QtGlobal>

#include <functional>
#include <vector>

// The minimum, maximum, sum and sum of squares of every block of 256 samples, and the same
// of every 16 blocks, of every 16 of those, and so on: a span of any length is summed up
// from a few dozen entries. A day at 5,600 samples a second takes about 17 MB.
class SampleSummary
{
public:
    static constexpr int BlockShift = 8;
    static constexpr qint64 BlockSamples = qint64(1) << BlockShift;

    // What a span of samples adds up to.
    struct Totals
    {
        ColumnRange range;
        quint64 sum = 0;
        quint64 squares = 0;

        void add(const Totals &other);
        // Of bytes[0 .. count).
        static Totals of(const uchar *bytes, qint64 count);
    };

    // The minimum and maximum of bytes[0 .. count), quicker than Totals::of.
    static ColumnRange rangeOf(const uchar *bytes, qint64 count);

    // Summarises the whole blocks of bytes[0 .. length), which may be a mapped file another
    // program cuts short meanwhile. Returns how many samples it covers: length rounded down
    // to whole blocks, or fewer if the file lost the rest while it was read; or -1 if
    // progress, told the bytes done so far and the length, returned false.
    qint64 build(const uchar *bytes, qint64 length,
                 const std::function<bool(qint64 done, qint64 length)> &progress = nullptr);
    // The same for a file that has grown to length since: only the blocks it has gained are
    // read, and the summary is extended, never made afresh.
    qint64 extend(const uchar *bytes, qint64 length,
                  const std::function<bool(qint64 done, qint64 length)> &progress = nullptr);
    qint64 blockCount() const;

    // Over blocks [first, last), both within blockCount().
    ColumnRange range(qint64 first, qint64 last) const;
    Totals totals(qint64 first, qint64 last) const;

private:
    static constexpr int LevelShift = 4;

    struct Level
    {
        std::vector<ColumnRange> ranges;
        std::vector<quint64> sums;
        std::vector<quint64> squares;
    };

    void addLevelsAbove();
    template <bool WithSums>
    void collect(size_t level, qint64 first, qint64 last, Totals *totals) const;
    template <bool WithSums>
    void collectEach(size_t level, qint64 first, qint64 last, Totals *totals) const;

    // Blocks of 256 samples, kept narrow: a block's sum fits 16 bits, its squares 32.
    std::vector<ColumnRange> m_blockRanges;
    std::vector<quint16> m_blockSums;
    std::vector<quint32> m_blockSquares;
    // Each 16 times coarser than the one before, the first over 16 blocks.
    std::vector<Level> m_levels;
};
