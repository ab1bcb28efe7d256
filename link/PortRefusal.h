#pragma once

#include "link/PortLockFile.h"

#include <QString>

#include <sys/types.h>

// Why the system would not give us a serial port that exists: another program has
// it, a lock file is in the way, or the user may not use it.
// Qt reports all three alike, as a permission error.
class PortRefusal
{
public:
    static QString reason(const QString &device);
    // What the lock file in the port's way tells the operator, whatever its state.
    static QString lockReason(const PortLockFile::Holder &lock);

    // What the operator can do about a device they may not read and write: join its
    // group where the group may, otherwise ask the administrator.
    static QString accessAdvice(const QString &device, mode_t mode, gid_t group, const QString &groupName);
};
