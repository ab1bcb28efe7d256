#include "link/PortClaim.h"

PortClaim::~PortClaim() = default;

bool PortClaim::take(const QString &, QString *)
{
    return true;
}

void PortClaim::makeRaw()
{
}

void PortClaim::putBack()
{
}

void PortClaim::release()
{
}
