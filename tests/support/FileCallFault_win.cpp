#include "FileCallFault.h"

#include "WindowsSuite.h"

// The fault is the test program's own close(), ftruncate() and fsync(), which Windows' file calls
// never reach.
FileCallFault::FileCallFault(Call, const QString &, int)
{
    linuxOnlyStep("FileCallFault");
}

FileCallFault::~FileCallFault() = default;

int FileCallFault::failures() const
{
    return 0;
}
