#include "platform/ReadOnlyFile.h"

#include "platform/WindowsFileName.h"

#include <windows.h>

namespace {

HANDLE fileOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_handle != -1)
        CloseHandle(fileOf(m_handle));
}

// Backup semantics open a folder too, so that it is refused by its kind. A file the recorder
// is still writing may be read along, and replaced meanwhile: the recorder replaces a recording's
// description whole (MoveFileEx), which Windows refuses while a reader holds the file without
// FILE_SHARE_DELETE, as the viewer following a recording does five times a second.
int ReadOnlyFile::open(const QString &path)
{
    const HANDLE file = CreateFileW(WindowsFileName::of(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return int(GetLastError());
    m_handle = reinterpret_cast<qintptr>(file);
    return 0;
}

int ReadOnlyFile::inspect(Kind *kind, qint64 *size) const
{
    const HANDLE file = fileOf(m_handle);
    if (GetFileType(file) != FILE_TYPE_DISK) {
        *kind = Kind::Other;
        *size = 0;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return int(GetLastError());
    *kind = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::Folder : Kind::Regular;
    *size = qint64((quint64(information.nFileSizeHigh) << 32) | information.nFileSizeLow);
    return 0;
}

qint64 ReadOnlyFile::read(char *buffer, qint64 count, int *error)
{
    DWORD got = 0;
    if (!ReadFile(fileOf(m_handle), buffer, DWORD(qMin<qint64>(count, 1 << 30)), &got, nullptr)) {
        *error = int(GetLastError());
        return -1;
    }
    return got;
}

qintptr ReadOnlyFile::handle() const
{
    return m_handle;
}

bool ReadOnlyFile::isNotFound(int error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}
