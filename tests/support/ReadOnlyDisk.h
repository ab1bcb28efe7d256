#pragma once

#include <QString>

// A folder on a disk that takes no writes, where the test system has one; empty where not. The
// Windows suite's test bed mounts one for each program (tests/wine/run); Linux tests have none.
class ReadOnlyDisk
{
public:
    static QString folder();
};
