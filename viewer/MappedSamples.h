#pragma once

#include "viewer/ColumnRange.h"
#include "viewer/MappedDataFile.h"
#include "viewer/SampleSummary.h"
#include "viewer/SpanStatistics.h"

#include <QString>

#include <functional>

// The samples of a data file mapped read-only, with the summary that sums up any span of them,
// and the reads of them: column ranges, copies and statistics. Every read is guarded against
// another program cutting the file short meanwhile: what is gone reads as gone.
class MappedSamples
{
public:
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // As MappedDataFile::open.
    bool open(const QString &path, QString *reason, qint64 room);
    // How long the file was when it was mapped, or was last grown to.
    qint64 mappedSize() const;
    // How long the file is now; -1 if that cannot be told.
    qint64 fileSize() const;
    // Summarises what is mapped: how many samples it covers, fewer than mappedSize() rounded
    // down to whole blocks if the file was cut short meanwhile; -1 if progress said stop. Throws
    // std::bad_alloc.
    qint64 summarise(const Progress &progress);
    // Takes in a file grown to size, summarising only what it gained: false if it cannot be
    // mapped that far. Throws std::bad_alloc.
    bool grow(qint64 size);
    // The samples shown: as many as the last summarise() or grow() took in.
    qint64 sampleCount() const;

    // As Recording::summarise, copySamples and statistics.
    void columns(double first, double perColumn, ColumnRange *columns, int count) const;
    qint64 copy(qint64 first, qint64 count, quint8 *out) const;
    SpanStatistics statistics(qint64 first, qint64 last) const;

private:
    qint64 presentSamples() const;
    // What summarised covers of size samples: all of them unless the file lost some meanwhile.
    static qint64 shownOf(qint64 summarised, qint64 size);
    // Of samples [first, last), all in the file when asked; reading them must be guarded.
    SampleSummary::Totals unguardedTotals(qint64 first, qint64 last) const;
    ColumnRange unguardedRange(qint64 first, qint64 last) const;
    // Of samples [first, last) as far as the file still holds them: *end is where they stop.
    SampleSummary::Totals spanTotals(qint64 first, qint64 last, qint64 *end) const;

    MappedDataFile m_file;
    SampleSummary m_summary;
    qint64 m_sampleCount = 0;
};
