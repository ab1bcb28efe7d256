#pragma once

#include "viewer/RemovalOnStopSignal.h"

#include <QString>

#include <memory>

// The file an export goes to, written whole or not at all: the export writes a new file
// beside it, and commit() puts that under the target's name, replacing what was there only
// then. A target never committed leaves the disk as it was, also when Ctrl+C or a kill ends
// the program during the export.
class ExportTarget
{
public:
    explicit ExportTarget(const QString &path);
    ExportTarget(const ExportTarget &) = delete;
    ExportTarget &operator=(const ExportTarget &) = delete;
    // Removes the file beside the target if it was not committed.
    ~ExportTarget();

    // Creates the file beside the target and keeps it open; the reason is in Russian.
    bool create(QString *reason);
    QString temporaryPath() const;
    // Open from create() until commit(), for writers that take a descriptor: a C runtime
    // descriptor on both systems.
    int descriptor() const;
    // Writes all of the bytes at the end of what was written; false with the system's error.
    bool write(const char *bytes, qint64 count, int *error) const;
    // Flushes the file to the disk, renames it to the target's name and flushes the folder.
    bool commit(QString *reason);

private:
    // ExportTarget_unix.cpp, ExportTarget_win.cpp; errors are the system's numbers.
    // Creates the file candidate, which must not exist yet, open for reading and writing in
    // m_fd and marked for removal on a stop request; 0 or the error.
    int createTemporary(const QString &candidate);
    static bool alreadyExists(int error);
    // 0 or the error; the descriptor is closed either way.
    int closeDescriptor();
    // Puts the file under the target's name, replacing what was there; 0 or the error.
    int putInPlace();
    static void remove(const QString &path);

    QString m_path;
    QString m_temporaryPath;
    int m_fd = -1;
    std::unique_ptr<RemovalOnStopSignal> m_removalOnStop;
    bool m_committed = false;
};
