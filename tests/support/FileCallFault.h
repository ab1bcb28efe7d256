#pragma once

#include <QString>

// While it lives, close(), ftruncate(), or fsync() and fdatasync() of one file fail
// with the given error, as on a network file system that loses data on its way.
// close() still releases the descriptor, as Linux's does whatever it reports. A test
// program that uses this class gets its own close(), ftruncate(), fsync() and
// fdatasync(), which pass every other call on.
class FileCallFault
{
public:
    enum class Call {
        Close,
        Truncate,
        Sync,
        // Syncs of the temporary file that QSaveFile writes to replace the file: unnamed
        // in its folder, or named after it with a dot and six characters.
        SyncOfReplacement,
    };

    // For Close and Truncate the file must exist; syncs go by the name.
    FileCallFault(Call call, const QString &path, int errorNumber);
    ~FileCallFault();
    FileCallFault(const FileCallFault &) = delete;
    FileCallFault &operator=(const FileCallFault &) = delete;

    // The calls on the file that failed so far.
    int failures() const;
};
