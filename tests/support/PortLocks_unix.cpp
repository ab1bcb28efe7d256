#include "PortLocks.h"

#include "link/PortLockFile.h"

bool PortLocks::heldFor(const QString &port)
{
    return PortLockFile::of(port).has_value();
}
