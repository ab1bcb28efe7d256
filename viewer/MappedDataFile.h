#pragma once

#include "platform/ReadOnlyFile.h"

#include <QString>

// A data file mapped read-only, never read into memory: its pages come from the file as
// they are touched, and count as the system's file cache rather than the program's memory.
// Copies out of it are safe against another program cutting the file short meanwhile (Linux),
// and against the share or disk it is on going away.
class MappedDataFile
{
public:
    MappedDataFile() = default;
    MappedDataFile(const MappedDataFile &) = delete;
    MappedDataFile &operator=(const MappedDataFile &) = delete;
    ~MappedDataFile();

    // Maps the regular file at path as long as it is now. An empty file, a folder or another
    // kind of file is refused; the reason is in Russian, without the file's name.
    bool open(const QString &path, QString *reason);
    // The length mapped, and the bytes; only presentSize() of them may still be in the file.
    qint64 mappedSize() const;
    const uchar *bytes() const;
    // How much of what is mapped the file still holds.
    qint64 presentSize() const;
    // Copies bytes [offset, offset + count) as far as the file still holds them and returns
    // how many it copied.
    qint64 copy(qint64 offset, qint64 count, uchar *out) const;

private:
    // MappedDataFile_unix.cpp, MappedDataFile_win.cpp: maps the first size bytes of m_file
    // read-only into m_bytes; 0, or the system's error number.
    int map(qint64 size);
    void unmap();

    ReadOnlyFile m_file;
    const uchar *m_bytes = nullptr;
    qint64 m_size = 0;
};
