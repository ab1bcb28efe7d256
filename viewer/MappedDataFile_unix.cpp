#include "viewer/MappedDataFile.h"

#include <cerrno>

#include <sys/mman.h>

int MappedDataFile::map(qint64 size)
{
    void *mapped = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, int(m_file.handle()), 0);
    if (mapped == MAP_FAILED)
        return errno;
    m_bytes = static_cast<const uchar *>(mapped);
    return 0;
}

void MappedDataFile::unmap()
{
    ::munmap(const_cast<uchar *>(m_bytes), size_t(m_size));
}
