#pragma once

#include <QByteArray>
#include <QString>

// While it lives, a request to stop first removes the named file, and then does what it would
// have done without it: by default end the program. On Linux SIGINT, SIGTERM or SIGHUP (Ctrl+C,
// a kill, the terminal closed), and a signal the program ignores stays ignored; on Windows
// Ctrl+C, Ctrl+Break or the console closed (RemovalOnStopSignal_unix.cpp,
// RemovalOnStopSignal_win.cpp). For a file that must not outlive an interrupted program, such
// as an export's unfinished copy; one such file at a time.
class RemovalOnStopSignal
{
public:
    explicit RemovalOnStopSignal(const QString &path);
    ~RemovalOnStopSignal();
    RemovalOnStopSignal(const RemovalOnStopSignal &) = delete;
    RemovalOnStopSignal &operator=(const RemovalOnStopSignal &) = delete;

    // From holdBack(true) to holdBack(false) a request to stop that reaches this thread waits,
    // so that one arriving while the file is created finds it marked for removal. Windows
    // hands console requests to a thread of their own, and there is nothing to hold.
    static void holdBack(bool on);

private:
    // The path as the system's calls take it, ending in a zero.
    QByteArray m_path;
};
