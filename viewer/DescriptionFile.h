#pragma once

#include "output/RecordingDescription.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A recording's description on disk (<data>.json), read whole and read again while the
// recording is followed, to tell when the recorder has written another: only once its size or
// modification time has changed since it was read.
class DescriptionFile
{
public:
    void setPath(const QString &path);
    QString path() const;
    bool isSet() const;

    // The description, its measured rate in *rate; null with the reason in Russian, without the
    // file's name. What is read becomes the description last taken.
    std::optional<RecordingDescription> read(double *rate, QString *reason);
    // The description on disk now if it differs from the one last taken, with its measured rate;
    // null if it does not, or cannot be read. take() makes it the one last taken.
    std::optional<RecordingDescription> readChanged(double *rate);
    void take();

private:
    // The text as it is on disk now; false with the reason if it cannot be read.
    bool readText(QByteArray *text, QString *reason);
    // The file is as it was when last read, and was read long enough after its last change
    // that another change would have shown in its time.
    bool unchangedSinceRead() const;
    std::optional<RecordingDescription> parse(const QByteArray &text, double *rate, QString *reason) const;

    QString m_path;
    QByteArray m_taken;
    // The text last read, and the file's size and modification time then; -1 if not read.
    QByteArray m_changed;
    qint64 m_readSize = -1;
    qint64 m_readModifiedMs = 0;
    qint64 m_readAtMs = 0;
};
