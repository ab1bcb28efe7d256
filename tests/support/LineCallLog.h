#pragma once

#include <QList>
#include <QString>

// While it lives, records when the program asks how much output one serial device
// still has queued (TIOCOUTQ) and when the device's line settings are set, and can
// make that queue look stuck, as a device that stopped taking data does. A test
// program that uses this class gets its own ioctl() and tcsetattr(), which pass
// every call on.
class LineCallLog
{
public:
    struct Call
    {
        enum Kind { OutputQueued, SettingsSet } kind;
        qint64 nsecs; // since the log began
        int queued; // what TIOCOUTQ answered
    };

    // stuckBytes > 0: every TIOCOUTQ on the device answers that many bytes.
    explicit LineCallLog(const QString &device, int stuckBytes = 0);
    ~LineCallLog();
    LineCallLog(const LineCallLog &) = delete;
    LineCallLog &operator=(const LineCallLog &) = delete;

    QList<Call> calls() const;
};
