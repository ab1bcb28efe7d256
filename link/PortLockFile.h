#pragma once

#include <QString>

#include <optional>

// The lock file that Qt's serial port leaves in the system's lock folder
// (/run/lock/LCK..ttyS0) while a program has the port open. A program that ended
// without closing the port leaves it behind, and another user cannot remove it.
class PortLockFile
{
public:
    struct Holder
    {
        QString path;
        qint64 pid = 0;
        QString program;
        // The user the lock file belongs to.
        QString owner;
        // False when the process that took the lock has ended.
        bool running = true;
    };

    // The lock file for this device, as Qt names it, if there is one.
    static std::optional<Holder> of(const QString &device);
};
