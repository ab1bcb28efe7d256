#include "platform/DiskSync.h"

#include <io.h>
#include <windows.h>

int DiskSync::file(int fd)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    return FlushFileBuffers(handle) ? 0 : int(GetLastError());
}

// NTFS keeps a folder's entries in its journal: a name given with MoveFileEx (as QSaveFile
// does) survives a crash without the folder being flushed, and Windows opens no folder for it.
int DiskSync::folder(const QString &)
{
    return 0;
}
