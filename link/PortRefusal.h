#pragma once

#include "link/PortLockFile.h"

#include <QString>

// Why the system would not give us a serial port that exists: another program has it, or on
// Linux also a lock file is in the way or the user may not use it. Qt reports all alike, as a
// permission error (PortRefusal_unix.cpp, PortRefusal_win.cpp).
class PortRefusal
{
public:
    static QString reason(const QString &device);

    // Linux: what the lock file in the port's way tells the operator, whatever its state.
    static QString lockReason(const PortLockFile::Holder &lock);
    // Linux: what the operator can do about a device (its mode, group id and group name) they
    // may not read and write: join its group where the group may, otherwise ask the administrator.
    static QString accessAdvice(const QString &device, quint32 mode, quint32 group, const QString &groupName);
};
