#include "viewer/MappedSamples.h"

#include "viewer/BusErrorGuard.h"

#include <algorithm>
#include <atomic>
#include <cmath>

bool MappedSamples::open(const QString &path, QString *reason, qint64 room)
{
    return m_file.open(path, reason, room);
}

qint64 MappedSamples::mappedSize() const
{
    return m_file.mappedSize();
}

qint64 MappedSamples::fileSize() const
{
    return m_file.fileSize();
}

qint64 MappedSamples::summarise(const Progress &progress)
{
    const qint64 summarised = m_summary.build(m_file.bytes(), m_file.mappedSize(), progress);
    if (summarised >= 0)
        m_sampleCount = shownOf(summarised, m_file.mappedSize());
    return summarised;
}

bool MappedSamples::grow(qint64 size)
{
    if (!m_file.grow(size))
        return false;
    m_sampleCount = shownOf(m_summary.extend(m_file.bytes(), size), size);
    return true;
}

qint64 MappedSamples::shownOf(qint64 summarised, qint64 size)
{
    return summarised < (size & ~(SampleSummary::BlockSamples - 1)) ? summarised : size;
}

qint64 MappedSamples::sampleCount() const
{
    return m_sampleCount;
}

qint64 MappedSamples::presentSamples() const
{
    return std::min(m_sampleCount, m_file.presentSize());
}

SampleSummary::Totals MappedSamples::unguardedTotals(qint64 first, qint64 last) const
{
    const qint64 blockFirst = (first + SampleSummary::BlockSamples - 1) >> SampleSummary::BlockShift;
    const qint64 blockLast = std::min(last >> SampleSummary::BlockShift, m_summary.blockCount());
    const uchar *bytes = m_file.bytes();
    if (blockFirst >= blockLast)
        return SampleSummary::Totals::of(bytes + first, last - first);
    SampleSummary::Totals totals = m_summary.totals(blockFirst, blockLast);
    totals.add(SampleSummary::Totals::of(bytes + first, (blockFirst << SampleSummary::BlockShift) - first));
    totals.add(SampleSummary::Totals::of(bytes + (blockLast << SampleSummary::BlockShift),
                                         last - (blockLast << SampleSummary::BlockShift)));
    return totals;
}

ColumnRange MappedSamples::unguardedRange(qint64 first, qint64 last) const
{
    const qint64 blockFirst = (first + SampleSummary::BlockSamples - 1) >> SampleSummary::BlockShift;
    const qint64 blockLast = std::min(last >> SampleSummary::BlockShift, m_summary.blockCount());
    const uchar *bytes = m_file.bytes();
    if (blockFirst >= blockLast)
        return SampleSummary::rangeOf(bytes + first, last - first);
    SampleSummary::Totals range;
    range.range = m_summary.range(blockFirst, blockLast);
    range.add({SampleSummary::rangeOf(bytes + first, (blockFirst << SampleSummary::BlockShift) - first)});
    range.add({SampleSummary::rangeOf(bytes + (blockLast << SampleSummary::BlockShift),
                                      last - (blockLast << SampleSummary::BlockShift))});
    return range.range;
}

SampleSummary::Totals MappedSamples::spanTotals(qint64 first, qint64 last, qint64 *end) const
{
    // Each failure means the file is shorter now, which the next try sees.
    for (int attempt = 0; attempt < 4; ++attempt) {
        *end = std::min(last, presentSamples());
        SampleSummary::Totals span;
        auto read = [&] { span = unguardedTotals(first, *end); };
        if (first >= *end || BusErrorGuard::run(read))
            return span;
    }
    *end = first;
    return SampleSummary::Totals();
}

void MappedSamples::columns(double first, double perColumn, ColumnRange *columns, int count) const
{
    const qint64 present = presentSamples();
    volatile int done = 0;
    auto fill = [&] {
        for (int i = done; i < count; ++i) {
            const double start = first + i * perColumn;
            const double end = first + (i + 1) * perColumn;
            const qint64 from = std::max<qint64>(0, qint64(std::floor(start)));
            const qint64 to = std::min(present, qint64(std::ceil(end)));
            columns[i] = from < to ? unguardedRange(from, to) : ColumnRange();
            // Column i is stored before it is counted, also as a bus error would see it.
            std::atomic_signal_fence(std::memory_order_release);
            done = i + 1;
        }
    };
    if (!BusErrorGuard::run(fill)) {
        for (int i = done; i < count; ++i)
            columns[i] = ColumnRange();
    }
}

qint64 MappedSamples::copy(qint64 first, qint64 count, quint8 *out) const
{
    if (first < 0 || count <= 0)
        return 0;
    const qint64 available = std::min(count, m_sampleCount - first);
    return available > 0 ? m_file.copy(first, available, out) : 0;
}

SpanStatistics MappedSamples::statistics(qint64 first, qint64 last) const
{
    first = std::max<qint64>(0, first);
    last = std::min(last, m_sampleCount);
    if (first >= last)
        return SpanStatistics();
    qint64 end = first;
    const SampleSummary::Totals totals = spanTotals(first, last, &end);
    const qint64 count = end - first;
    if (count <= 0)
        return SpanStatistics();
    SpanStatistics statistics;
    statistics.count = count;
    statistics.min = totals.range.min;
    statistics.max = totals.range.max;
    statistics.mean = double(totals.sum) / double(count);
    statistics.rms = std::sqrt(double(totals.squares) / double(count));
    return statistics;
}
