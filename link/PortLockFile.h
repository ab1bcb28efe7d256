#pragma once

#include <QString>

#include <optional>

// The lock file that a serial port's holder leaves in the system's lock folder (/var/lock/LCK..ttyS0):
// Qt's serial port writes its process number, program and host; minicom, cu and lockdev only a
// process number. A program that ended without closing the port leaves it behind, and another
// user cannot remove it. Found and judged as Qt's serial port does, which opens a port only once
// it has removed a lock whose holder has ended.
class PortLockFile
{
public:
    enum class State {
        Live, // its process runs on this machine
        Elsewhere, // taken on another machine (a shared folder): cannot be checked from here
        Ended, // its process has ended
        Reused, // its process number now belongs to another program
        Unreadable, // empty, or names no process
        NotAFile, // a pipe, link, folder or device in its place, which is not read
    };

    struct Holder
    {
        QString path;
        State state = State::Live;
        qint64 pid = 0;
        // As the lock names it, or for a lock that does not, the running process's.
        QString program;
        QString host;
        // Reused: the program that has the process number now.
        QString nowRunning;
        // The user the lock file belongs to.
        QString owner;
    };

    // The lock file for this device, as Qt names it, or for the device the name links to.
    static std::optional<Holder> of(const QString &device);
};
