#include "FileSizeLimit.h"

#include "WindowsSuite.h"

// Windows has no limit on a file's size for a process.
FileSizeLimit::FileSizeLimit(qint64)
{
    linuxOnlyStep("FileSizeLimit");
}

FileSizeLimit::~FileSizeLimit() = default;
