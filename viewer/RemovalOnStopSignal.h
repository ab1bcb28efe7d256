#pragma once

#include <QByteArray>
#include <QString>

#include <signal.h>

// While it lives, SIGINT, SIGTERM or SIGHUP (Ctrl+C, a kill, the terminal closed) first
// remove the named file, and then do what they would have done without it: by default end
// the program. A signal the program ignores stays ignored. For a file that must not outlive
// an interrupted program, such as an export's unfinished copy; one such file at a time.
class RemovalOnStopSignal
{
public:
    explicit RemovalOnStopSignal(const QString &path);
    ~RemovalOnStopSignal();
    RemovalOnStopSignal(const RemovalOnStopSignal &) = delete;
    RemovalOnStopSignal &operator=(const RemovalOnStopSignal &) = delete;

    // The signals, for holding them back while the file is created.
    static sigset_t signalSet();

private:
    QByteArray m_path;
};
