#pragma once

#include "output/RecordingDescription.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A recording's description on disk (<data>.json), read whole and read again while the
// recording is followed, to tell when the recorder has written another.
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
    bool readText(QByteArray *text, QString *reason) const;
    std::optional<RecordingDescription> parse(const QByteArray &text, double *rate, QString *reason) const;

    QString m_path;
    QByteArray m_taken;
    QByteArray m_changed;
};
