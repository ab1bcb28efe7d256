#include "sim/StopRequest.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>

#include <windows.h>

namespace {

// Runs in a thread of the system's own: the quit is handed to the event loop's thread.
BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

void StopRequest::prepare()
{
}

bool StopRequest::watch()
{
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        std::fprintf(stderr, "larventa-sim: SetConsoleCtrlHandler failed (%lu)\n", GetLastError());
        return false;
    }
    return true;
}
