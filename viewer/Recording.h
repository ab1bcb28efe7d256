#pragma once

#include "output/RecordingDescription.h"
#include "viewer/ColumnRange.h"
#include "viewer/SpanStatistics.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// A recording opened for looking back at it: the data file mapped read-only (never read
// into memory), its description if it has one, and the min/max summaries that let any
// span of it be drawn at any zoom. Without a description the file is taken as one
// unsigned byte per sample at an assumed rate the viewer may change.
//
// Every access to the samples is safe against another program truncating the file while it
// is open: what is gone reads as gone, never as a crash.
class Recording
{
public:
    static constexpr double AssumedSamplesPerSecond = 100.0;

    // Told how many of the data file's bytes are summarised so far, of how many; returns
    // false to stop. Called on the thread that opens.
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    // Whether the data file is followed as it grows: while its description says the
    // recording is still being made, or also without a description (a file something else
    // is writing). A file followed may be empty yet.
    enum class Following { WhileRecording, Always };
    enum class Growth { Unchanged, Grew, Ended, StartedOver };

    // path: the data file or its description (<data>.json). On failure, or when progress
    // says stop, returns null and sets a Russian message that names the file and the
    // reason; nothing on disk changes. A file too large for a recording is refused before
    // it is read. May run on any thread.
    static std::unique_ptr<Recording> open(const QString &path, QString *errorMessage,
                                           const Progress &progress = Progress(),
                                           Following following = Following::WhileRecording);
    ~Recording();

    // What open() was given, to open it again.
    QString openedPath() const;
    QString dataPath() const;
    const std::optional<RecordingDescription> &description() const;
    // Warnings found on opening that do not stop the data being shown, in Russian, one per
    // line: a data file whose size differs from the description, or whose name differs from
    // the one the description gives, for instance.
    QStringList warnings() const;

    qint64 sampleCount() const;
    // The description's measured rate, or the assumed one.
    double samplesPerSecond() const;
    bool rateIsAssumed() const;
    // For a recording without a measured rate only; ignored otherwise. rate > 0.
    void setAssumedRate(double samplesPerSecond);
    // When the first sample arrived; invalid if unknown.
    QDateTime started() const;
    // The description says the recording was still being made when it was written.
    bool stillRecording() const;

    // Fills columns[0 .. count) with the minimum and maximum of the samples under each of
    // count pixel columns, column i covering samples [first + i * perColumn,
    // first + (i + 1) * perColumn). Sample s spans [s, s + 1): a column takes every sample
    // it overlaps, so a boundary between samples inside a column shares that sample with the
    // next column and no sample is ever left out. Columns past the end, or before sample 0,
    // are empty.
    void summarise(double first, double perColumn, ColumnRange *columns, int count) const;
    // Copies samples [first, first + count) into out and returns how many it copied:
    // fewer at the end of the file, or if it has shrunk.
    qint64 copySamples(qint64 first, qint64 count, quint8 *out) const;
    // Over samples [first, last), clamped to the recording.
    SpanStatistics statistics(qint64 first, qint64 last) const;

    // The same recording opened again (F5) keeps the rate the operator chose for it.
    void keepAssumedRateOf(const Recording &earlier);

    bool isFollowed() const;
    // For a recording followed: takes in what its data file has gained since (Grew), only
    // summarising the new bytes, and the description that ends it once the recorder has
    // written it (Ended: no longer followed, its measured rate taken). For any recording: a
    // data file now shorter, or a description of a recording started since, means the
    // recording was made afresh under the same name (StartedOver): it must be opened again.
    Growth takeInGrowth();

private:
    Recording();
    struct Private;
    std::unique_ptr<Private> d;
};
