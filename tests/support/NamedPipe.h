#pragma once

#include <QString>

// A named pipe (FIFO) in the file system, where a data file may be chosen.
class NamedPipe
{
public:
    static bool make(const QString &path);
    static bool isPipe(const QString &path);
};
