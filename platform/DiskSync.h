#pragma once

#include <QString>

// Makes what was written safe on the disk, as far as the file system can. Each returns 0 or
// the system's error number (SystemErrorText::forSystemError); a file system that cannot
// sync at all has nothing more to make safe.
class DiskSync
{
public:
    // fd is a C runtime descriptor, such as QFileDevice::handle() gives on every platform.
    static int file(int fd);
    // The folder's entries, such as a name just given to a file in it.
    static int folder(const QString &path);
};
