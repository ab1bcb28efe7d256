#pragma once

#include <QString>

// While it lives, close() or ftruncate() of one file fails with the given error, as
// on a network file system that loses data on its way. close() still releases the
// descriptor, as Linux's does whatever it reports. A test program that uses this
// class gets its own close() and ftruncate(), which pass every other call on.
class FileCallFault
{
public:
    enum class Call { Close, Truncate };

    // The file must exist.
    FileCallFault(Call call, const QString &path, int errorNumber);
    ~FileCallFault();
    FileCallFault(const FileCallFault &) = delete;
    FileCallFault &operator=(const FileCallFault &) = delete;

    // The calls on the file that failed so far.
    int failures() const;
};
