#pragma once

#include <QHash>
#include <QString>
#include <QTemporaryDir>

class BenchReport;

// Recordings at 5,600 samples/s that larventa-sim --write-recording writes, each on first
// use, in a folder of their own that goes with this object.
class SimulatedRecordings
{
public:
    static constexpr int SamplesPerSecond = 5600;

    explicit SimulatedRecordings(BenchReport &report);

    // The data file of a recording of that length; empty, with the figure reported as failed,
    // if the simulator could not write it.
    QString recordingOf(qint64 seconds, const QString &figure);
    // A file of that name in the recordings' folder, for what a figure writes.
    QString filePath(const QString &name) const;
    // Every page of the file read once, as a second opening of the same recording finds it.
    static void warmCache(const QString &path);

private:
    BenchReport &m_report;
    QTemporaryDir m_folder;
    QHash<qint64, QString> m_recordings;
};
