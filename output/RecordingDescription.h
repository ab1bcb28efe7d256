#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// What a recording is, kept beside its data file so that the two can be told apart and
// trusted later: which channel of which device, when, for how long, how it ended and
// what the data file holds. One UTF-8 JSON object in the file named like the data file
// with ".json" appended; README.md and larventa(1) describe its keys.
struct RecordingDescription
{
    enum class Ending { Recording, Completed, Stopped, LinkLost, WriteFailed, CommandFailed, WindowClosed };

    // /data/run1.bin gives /data/run1.bin.json, which is never the data file's nor the picture's name.
    static QString pathFor(const QString &dataFileName);

    QByteArray toJson() const;
    // Replaces the description whole (QSaveFile), or leaves the one there was and
    // tells why, in Russian with the system's own words in brackets.
    bool write(QString *reason) const;

    // Reads what toJson() writes back into a description, the data file's and the picture's
    // names joined to folder, the one the description lies in. If the text is no such
    // description, returns nothing and says why in Russian, naming the key at fault. The
    // description keeps bytesAfterChannelCode only as samples_per_second; it comes back as
    // samples_per_second × recorded_seconds, and the rate as written in *samplesPerSecond
    // (0 where the description has none).
    static std::optional<RecordingDescription> fromJson(const QByteArray &json, const QString &folder,
                                                        QString *reason, double *samplesPerSecond = nullptr);

    // Full names; the description holds them without their folder.
    QString dataFileName;
    QString snapshotFileName; // empty if no picture was saved
    int channelNumber = 1;
    quint8 channelCode = 0;
    int portNumber = 1;
    QString deviceName;
    quint32 lineRate = 0; // 0 if the driver does not tell
    qint32 requestedSeconds = 0;
    QDateTime started; // invalid if the channel code was never sent
    QDateTime ended;
    double recordedSeconds = 0;
    Ending ending = Ending::Recording;
    // What the data file holds; while the ending is Recording these and the time the
    // recording ended are not known yet and are written as null.
    qint64 blocks = 0;
    qint64 bytes = 0;
    qint64 partialBlockBytes = 0;
    qint64 bytesAfterChannelCode = 0;
    QByteArray sha256; // hexadecimal; empty if unknown
    QString problem; // empty if none
};
