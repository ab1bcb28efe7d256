#pragma once

#include "output/RecordingDescription.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <future>

class DataFile;

// Keeps a recording's description beside its data file as the run goes: written when
// the data file is created, again in the background once the channel code has gone
// out, and at the end with what the closed data file holds and the instrument's rate.
// A description that cannot be written leaves the recording alone; the last write's
// reason is kept for the summary.
class DescriptionKeeper
{
public:
    DescriptionKeeper() = default;
    DescriptionKeeper(const DescriptionKeeper &) = delete;
    DescriptionKeeper &operator=(const DescriptionKeeper &) = delete;
    ~DescriptionKeeper();

    // Right after the data file was created afresh: what is known before the handshake.
    // A description of an older recording of that name goes at once, even if this one
    // cannot be written, so that none ever describes other data.
    void begin(const RecordingDescription &atStart);
    // bytesReceived counts what the system has received so far, also what the run has
    // not taken in; the instrument's rate counts from here.
    void channelCodeSent(qint64 bytesReceived);
    // As the run ends, before the wind-up takes its time.
    void runEnded(RecordingDescription::Ending ending, qint64 bytesReceived, qint64 partialBlockBytes);
    // Once the data file is closed, or failed to: a file that may not hold what was
    // written does not end as completed or stopped. The problems are the messages the
    // operator was shown, in their order.
    void finish(const DataFile &dataFile, bool dataFileClosed, const QString &snapshotFileName,
                const QStringList &problems);

    // Empty if the description was last written.
    QString problem() const;

private:
    void writeNow();
    // While blocks are due. The file system takes its time to make the description safe
    // on disk: a few milliseconds here, more on a slow stick or a network share.
    void writeInBackground();
    void waitForBackground();

    RecordingDescription m_description;
    QString m_problem;
    std::future<QString> m_background;
    QElapsedTimer m_sinceChannelCode;
    qint64 m_bytesBeforeChannelCode = 0;
};
