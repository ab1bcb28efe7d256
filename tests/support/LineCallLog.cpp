#include "LineCallLog.h"

#include <QFile>
#include <QMutex>

#include <atomic>
#include <cstdarg>
#include <ctime>
#include <dlfcn.h>

// <sys/ioctl.h> and <termios.h> are left out: their declarations of ioctl() and
// tcsetattr() would clash with the replacements below.
#include <asm/ioctls.h>
#include <sys/stat.h>

struct termios;

namespace {

std::atomic<bool> armed{false};
dev_t watchedDevice = 0;
int stuck = 0;
QMutex logged;
QList<LineCallLog::Call> callLog;

qint64 now()
{
    timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void record(LineCallLog::Call::Kind kind, int queued)
{
    QMutexLocker lock(&logged);
    callLog.append({kind, now(), queued});
}

bool watches(int fd)
{
    struct stat info;
    return armed.load() && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == watchedDevice;
}

template <typename Function>
Function *systemCall(const char *name)
{
    return reinterpret_cast<Function *>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    static const auto systemIoctl = systemCall<int(int, unsigned long, void *)>("ioctl");
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    if (request != TIOCOUTQ || !watches(fd))
        return systemIoctl(fd, request, argument);
    int result = 0;
    if (stuck > 0)
        *static_cast<int *>(argument) = stuck;
    else
        result = systemIoctl(fd, request, argument);
    record(LineCallLog::Call::OutputQueued, *static_cast<int *>(argument));
    return result;
}

extern "C" int tcsetattr(int fd, int action, const struct termios *settings)
{
    static const auto systemTcsetattr = systemCall<int(int, int, const struct termios *)>("tcsetattr");
    if (watches(fd))
        record(LineCallLog::Call::SettingsSet, 0);
    return systemTcsetattr(fd, action, settings);
}

LineCallLog::LineCallLog(const QString &device, int stuckBytes)
{
    struct stat info;
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        qFatal("LineCallLog: no device %s", qPrintable(device));
    QMutexLocker lock(&logged);
    callLog.clear();
    stuck = stuckBytes;
    watchedDevice = info.st_rdev;
    armed = true;
}

LineCallLog::~LineCallLog()
{
    armed = false;
}

QList<LineCallLog::Call> LineCallLog::calls() const
{
    QMutexLocker lock(&logged);
    return callLog;
}
