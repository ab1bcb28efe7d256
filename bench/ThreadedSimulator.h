#pragma once

#include <QString>
#include <QThread>

#include <chrono>
#include <mutex>
#include <vector>

class InstrumentSimulator;

// The instrument simulator on a thread of its own, which notes when the host's
// commands arrive and when each block of the stream is complete in the pty.
class ThreadedSimulator {
public:
    using Clock = std::chrono::steady_clock;

    struct Command {
        quint8 byte;
        Clock::time_point arrived;
    };

    // chunkBytes: bytes per write, 0 for the simulator's default.
    ThreadedSimulator(int samplesPerSecond, int chunkBytes);
    ~ThreadedSimulator();

    bool start(QString *error);
    QString devicePath() const;

    std::vector<Command> commands() const;
    // Element b: when the last byte of block b of the current stream was written.
    std::vector<Clock::time_point> blocksWritten() const;

private:
    void onCommand(quint8 byte);
    void onSamplesWritten(qint64 samplesSent);

    QThread m_thread;
    InstrumentSimulator *m_sim;
    QString m_devicePath;

    mutable std::mutex m_mutex;
    std::vector<Command> m_commands;
    std::vector<Clock::time_point> m_blocksWritten;
};
