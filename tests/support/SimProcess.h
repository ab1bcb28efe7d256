#pragma once

#include <QProcess>
#include <QString>

// The instrument simulator as a process of its own (larventa-sim), so that its work
// is not counted in the recording process's processor time.
class SimProcess {
public:
    // samplesPerSecond 0 sends as fast as the host takes the samples; chunkBytes: bytes per
    // write while paced, 0 for the simulator's default; sampleLimit -1 for none;
    // refillWhenWritable: a flood that refills the pty only after the host has read
    // (larventa-sim --refill).
    SimProcess(int samplesPerSecond, int chunkBytes, qint64 sampleLimit, bool refillWhenWritable = false);
    ~SimProcess();

    bool start(QString *error);
    QString devicePath() const;

private:
    QProcess m_process;
    QString m_devicePath;
};
