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
    // Open from create() until commit(), for writers that take a descriptor.
    int descriptor() const;
    // Flushes the file to the disk, renames it to the target's name and flushes the folder.
    bool commit(QString *reason);

private:
    QString m_path;
    QString m_temporaryPath;
    int m_fd = -1;
    std::unique_ptr<RemovalOnStopSignal> m_removalOnStop;
    bool m_committed = false;
};
