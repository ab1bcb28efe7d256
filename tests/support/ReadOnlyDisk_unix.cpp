#include "ReadOnlyDisk.h"

QString ReadOnlyDisk::folder()
{
    return {};
}
