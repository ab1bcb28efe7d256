#include "LineCallLog.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdarg>
#include <dlfcn.h>
#include <sys/stat.h>

// <sys/ioctl.h> and <termios.h> are left out: their declarations of ioctl() and
// tcsetattr() would clash with the replacements below.
#include <asm/ioctls.h>

struct termios;

namespace {

// Calls come from the test's own thread only, by way of the link or Qt's serial port.
bool armed = false;
dev_t watchedDevice = 0;
int stuck = 0;
QList<LineCallLog::Call> callLog;
QElapsedTimer sinceArmed;

bool watches(int fd)
{
    struct stat info;
    return armed && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == watchedDevice;
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
    auto *argument = va_arg(arguments, int *);
    va_end(arguments);
    if (request != TIOCOUTQ || !watches(fd))
        return systemIoctl(fd, request, argument);
    const int result = stuck > 0 ? (*argument = stuck, 0) : systemIoctl(fd, request, argument);
    callLog.append({LineCallLog::Call::OutputQueued, sinceArmed.nsecsElapsed(), *argument});
    return result;
}

extern "C" int tcsetattr(int fd, int action, const struct termios *settings)
{
    static const auto systemTcsetattr = systemCall<int(int, int, const struct termios *)>("tcsetattr");
    if (watches(fd))
        callLog.append({LineCallLog::Call::SettingsSet, sinceArmed.nsecsElapsed(), 0});
    return systemTcsetattr(fd, action, settings);
}

LineCallLog::LineCallLog(const QString &device, int stuckBytes)
{
    struct stat info;
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        qFatal("LineCallLog: no device %s", qPrintable(device));
    callLog.clear();
    sinceArmed.start();
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
    return callLog;
}
