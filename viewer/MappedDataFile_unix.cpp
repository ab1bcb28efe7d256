#include "viewer/MappedDataFile.h"

#include <algorithm>
#include <cerrno>

#include <sys/mman.h>

// A shared mapping may reach past the file's end: those pages read as the file grows into
// them, and until then raise SIGBUS, which the guarded reads survive.
int MappedDataFile::map(qint64 size, qint64 room, const uchar **bytes, qint64 *mapped) const
{
    const qint64 length = std::max(size, room);
    void *at = ::mmap(nullptr, size_t(length), PROT_READ, MAP_SHARED, int(m_file.handle()), 0);
    if (at == MAP_FAILED)
        return errno;
    *bytes = static_cast<const uchar *>(at);
    *mapped = length;
    return 0;
}

void MappedDataFile::unmap(const uchar *bytes, qint64 mapped)
{
    ::munmap(const_cast<uchar *>(bytes), size_t(mapped));
}
