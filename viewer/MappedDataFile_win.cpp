#include "viewer/MappedDataFile.h"

#include <windows.h>

// Windows truncates and replaces no file while it is mapped (ERROR_USER_MAPPED_FILE): the
// recorder is refused a recording made afresh into this file while the viewer shows it, and
// says why, so nothing shown here is lost. A read-only mapping cannot reach past the file's
// end, so no room is kept: a file that grows is mapped again. Windows maps no empty file: a
// recording followed from its start has nothing mapped until its first bytes.
int MappedDataFile::map(qint64 size, qint64, const uchar **bytes, qint64 *mapped) const
{
    if (size == 0) {
        *bytes = nullptr;
        *mapped = 0;
        return 0;
    }
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
    *bytes = static_cast<const uchar *>(view);
    *mapped = size;
    return 0;
}

void MappedDataFile::unmap(const uchar *bytes, qint64)
{
    if (bytes)
        UnmapViewOfFile(bytes);
}
