#include "PortLocks.h"

// Windows keeps no lock files: a port is free again once its handle is closed.
bool PortLocks::heldFor(const QString &)
{
    return false;
}
