#include "viewer/MappedDataFile.h"

#include <windows.h>

// Windows truncates and replaces no file while it is mapped (ERROR_USER_MAPPED_FILE): the
// recorder is refused a recording made afresh into this file while the viewer shows it, and
// says why, so nothing shown here is lost.
int MappedDataFile::map(qint64 size)
{
    const HANDLE mapping = CreateFileMappingW(reinterpret_cast<HANDLE>(m_file.handle()), nullptr, PAGE_READONLY,
                                              DWORD(quint64(size) >> 32), DWORD(quint64(size) & 0xFFFFFFFFu), nullptr);
    if (!mapping)
        return int(GetLastError());
    // The view keeps the mapping alive once it is made.
    const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SIZE_T(size));
    const DWORD error = view ? ERROR_SUCCESS : GetLastError();
    CloseHandle(mapping);
    if (!view)
        return int(error);
    m_bytes = static_cast<const uchar *>(view);
    return 0;
}

void MappedDataFile::unmap()
{
    UnmapViewOfFile(m_bytes);
}
