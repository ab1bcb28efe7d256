#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// An EDF+ file as MNE-Python reads it (mne.io.read_raw_edf, Debian's python3-mne), a reader
// written apart from EDFlib: it refuses files that EDFlib itself reads back, such as one whose
// annotation text ends inside a UTF-8 character.
class MneEdfReader
{
public:
    struct Annotation {
        double onset = 0; // seconds from the file's start
        double duration = 0;
        QString text;
    };

    // False with MNE's complaint if it cannot read the file; MNE reads only names ending in .edf.
    bool read(const QString &path, QString *error);

    double samplesPerSecond() const { return m_samplesPerSecond; }
    // The first signal's values, each 0…255, padding included.
    QByteArray samples() const { return m_samples; }
    QList<Annotation> annotations() const { return m_annotations; }

private:
    double m_samplesPerSecond = 0;
    QByteArray m_samples;
    QList<Annotation> m_annotations;
};
