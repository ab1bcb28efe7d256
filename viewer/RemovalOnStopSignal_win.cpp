#include "viewer/RemovalOnStopSignal.h"

#include "platform/WindowsFileName.h"

#include <atomic>

#include <windows.h>

namespace {

std::atomic<const wchar_t *> g_path{nullptr};

// Runs in a thread of the system's own. The file is shared for deleting, so it goes even while
// open; the handlers after this one, by default ending the program, then do the rest.
BOOL WINAPI onConsoleEvent(DWORD)
{
    if (const wchar_t *path = g_path.load())
        DeleteFileW(path);
    return FALSE;
}

} // namespace

RemovalOnStopSignal::RemovalOnStopSignal(const QString &path)
{
    const std::wstring native = WindowsFileName::of(path);
    m_path = QByteArray(reinterpret_cast<const char *>(native.c_str()), qsizetype((native.size() + 1) * sizeof(wchar_t)));
    g_path = reinterpret_cast<const wchar_t *>(m_path.constData());
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

RemovalOnStopSignal::~RemovalOnStopSignal()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_path = nullptr;
}

void RemovalOnStopSignal::holdBack(bool)
{
}
