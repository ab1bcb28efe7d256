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

    // Maps the regular file at path as long as it is now, with room for it to grow up to room
    // bytes without being mapped again where the system allows that (Linux). A folder or
    // another kind of file is refused, and an empty file unless room is kept; the reason is in
    // Russian, without the file's name.
    bool open(const QString &path, QString *reason, qint64 room = 0);
    // The file has grown to size: its bytes up to there become readable. Mapping again, where
    // that is needed (Windows), moves bytes(): no other thread may read meanwhile. False, with
    // what was mapped kept, if it cannot.
    bool grow(qint64 size);
    // The length mapped, and the bytes; only presentSize() of them may still be in the file.
    qint64 mappedSize() const;
    const uchar *bytes() const;
    // How much of what is mapped the file still holds.
    qint64 presentSize() const;
    // How long the file is now, mapped or not; -1 if that cannot be told.
    qint64 fileSize() const;
    // Copies bytes [offset, offset + count) as far as the file still holds them and returns
    // how many it copied.
    qint64 copy(qint64 offset, qint64 count, uchar *out) const;

private:
    // MappedDataFile_unix.cpp, MappedDataFile_win.cpp: maps the first size bytes of m_file
    // read-only, and as many more up to room as the system allows; 0, or the system's error
    // number.
    int map(qint64 size, qint64 room, const uchar **bytes, qint64 *mapped) const;
    static void unmap(const uchar *bytes, qint64 mapped);

    ReadOnlyFile m_file;
    const uchar *m_bytes = nullptr;
    qint64 m_size = 0;
    qint64 m_mapped = 0;
    qint64 m_room = 0;
};
