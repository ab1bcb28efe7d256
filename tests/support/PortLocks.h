#pragma once

#include <QString>

// Whether a lock file in the system's lock folder still keeps other users from a serial port.
class PortLocks
{
public:
    static bool heldFor(const QString &port);
};
