#include "viewer/RemovalOnStopSignal.h"

#include <QDir>

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
    const QString native = QDir::toNativeSeparators(path);
    m_path = QByteArray(reinterpret_cast<const char *>(native.utf16()), (native.size() + 1) * 2);
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
