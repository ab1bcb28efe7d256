#include "output/DataFile.h"

#include "platform/SystemErrorText.h"
#include "platform/WindowsFileName.h"

#include <windows.h>

// The file is emptied in place: Windows replaces no file that another program holds, and
// truncates none that one maps (the viewer does), so such a file is refused whole and kept.
bool DataFile::openAfresh(QString *errorMessage)
{
    const std::wstring name = WindowsFileName::of(m_path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *errorMessage = failure(QStringLiteral("создать"), SystemErrorText::wording(SystemErrorText::Meaning::IsFolder));
        return false;
    }
    // CREATE_ALWAYS opens and empties an existing file in one step, or fails and leaves it as it
    // was: held by another program without sharing (ERROR_SHARING_VIOLATION) or mapped by one
    // (ERROR_USER_MAPPED_FILE). Others may read along, as on Linux.
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *errorMessage = failure(QStringLiteral("создать"), int(GetLastError()));
        return false;
    }
    // A device name (NUL, COM1) or a pipe opens too, and is no file to record into.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        *errorMessage = failure(QStringLiteral("создать"), QStringLiteral("это устройство, а не обычный файл"));
        return false;
    }
    m_handle = reinterpret_cast<qintptr>(file);
    return true;
}

qint64 DataFile::writeAt(qint64 offset, const char *bytes, qint64 count, int *error)
{
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(m_handle), bytes, DWORD(count), &written, &at)) {
        *error = int(GetLastError());
        return -1;
    }
    if (written == 0) {
        *error = ERROR_DISK_FULL;
        return -1;
    }
    return written;
}

int DataFile::cutBack(qint64 length)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = length;
    return SetFileInformationByHandle(reinterpret_cast<HANDLE>(m_handle), FileEndOfFileInfo, &end, sizeof end)
        ? 0
        : int(GetLastError());
}

void DataFile::syncAndClose(int *syncError, int *closeError)
{
    const HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    *syncError = FlushFileBuffers(file) ? 0 : int(GetLastError());
    *closeError = CloseHandle(file) ? 0 : int(GetLastError());
}
