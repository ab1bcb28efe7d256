#pragma once

#include "output/RecordingDescription.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A recording the simulator made whole, turned back into one the recorder is still making: its
// description says it is recording, with no end and no hash, and its data file holds only its
// first bytes. The test then writes the rest, and the description that ends it, as the recorder
// would.
class RecordingBeingMade
{
public:
    // Writes seconds of the simulator's signal at samplesPerSecond into dataPath and keeps its
    // first kept bytes; without described, there is no description at all until end().
    bool make(const QString &dataPath, double seconds, double samplesPerSecond, qint64 kept, bool described,
              QString *error);

    // The data file's bytes once the recording has ended.
    const QByteArray &whole() const;
    QString descriptionPath() const;

    // Adds to the data file count bytes of the whole from from, or all the rest if count is -1.
    bool append(qint64 from, qint64 count = -1) const;
    // The recorder's last description: the recording ended, with its measured rate and hash.
    bool end() const;
    // A description of a recording started seconds after this one and still being made: the
    // recording made afresh under the same name.
    bool describeStartedLater(qint64 seconds, QString *error);

private:
    QString m_dataPath;
    QByteArray m_whole;
    QByteArray m_lastDescription;
    std::optional<RecordingDescription> m_recording;
};
