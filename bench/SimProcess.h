#pragma once

#include <QProcess>
#include <QString>

// The instrument simulator as a process of its own (larventa-sim), so that its work
// is not counted in the recording process's processor time.
class SimProcess {
public:
    // samplesPerSecond 0 sends as fast as the host takes the samples; sampleLimit -1 for none.
    SimProcess(int samplesPerSecond, qint64 sampleLimit);
    ~SimProcess();

    bool start(QString *error);
    QString devicePath() const;

private:
    QProcess m_process;
    QString m_devicePath;
};
