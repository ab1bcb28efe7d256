#include "viewer/ExportTarget.h"

#include "platform/WindowsFileName.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

// Shared for writing, so that a writer that opens the file by its name (EDFlib) may, and for
// deleting, so that a stop request can remove it while it is open.
int ExportTarget::createTemporary(const QString &candidate)
{
    const HANDLE file = CreateFileW(WindowsFileName::of(candidate).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return int(GetLastError());
    m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (m_fd < 0) {
        CloseHandle(file);
        DeleteFileW(WindowsFileName::of(candidate).c_str());
        return ERROR_TOO_MANY_OPEN_FILES;
    }
    m_removalOnStop = std::make_unique<RemovalOnStopSignal>(candidate);
    return 0;
}

bool ExportTarget::alreadyExists(int error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool ExportTarget::write(const char *bytes, qint64 count, int *error) const
{
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(m_fd));
    qint64 done = 0;
    while (done < count) {
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, DWORD(qMin<qint64>(count - done, 1 << 30)), &written, nullptr)) {
            *error = int(GetLastError());
            return false;
        }
        if (written == 0) {
            *error = ERROR_DISK_FULL;
            return false;
        }
        done += written;
    }
    return true;
}

// Closing the descriptor closes the file's handle; the C runtime keeps Windows' own error.
int ExportTarget::closeDescriptor()
{
    const int closed = _close(m_fd) == 0 ? 0 : int(_doserrno);
    m_fd = -1;
    return closed;
}

int ExportTarget::putInPlace()
{
    return MoveFileExW(WindowsFileName::of(m_temporaryPath).c_str(), WindowsFileName::of(m_path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
        ? 0
        : int(GetLastError());
}

void ExportTarget::remove(const QString &path)
{
    DeleteFileW(WindowsFileName::of(path).c_str());
}
