#include "FileCallFault.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>

// <unistd.h> is left out: its declarations of close() and ftruncate() would clash
// with the replacements below.

namespace {

constexpr int Disarmed = -1;

std::atomic<int> armedCall{Disarmed};
dev_t faultDevice = 0;
ino_t faultInode = 0;
int faultError = 0;
std::atomic<int> failureCount{0};

bool hits(FileCallFault::Call call, int fd)
{
    if (armedCall.load() != int(call))
        return false;
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_dev == faultDevice && info.st_ino == faultInode;
}

int fail()
{
    ++failureCount;
    errno = faultError;
    return -1;
}

template <typename Function>
Function *systemCall(const char *name)
{
    return reinterpret_cast<Function *>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int close(int fd)
{
    static const auto systemClose = systemCall<int(int)>("close");
    if (!hits(FileCallFault::Call::Close, fd))
        return systemClose(fd);
    systemClose(fd);
    return fail();
}

extern "C" int ftruncate(int fd, off_t length)
{
    static const auto systemTruncate = systemCall<int(int, off_t)>("ftruncate");
    if (hits(FileCallFault::Call::Truncate, fd))
        return fail();
    return systemTruncate(fd, length);
}

FileCallFault::FileCallFault(Call call, const QString &path, int errorNumber)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        qFatal("FileCallFault: no file %s", qPrintable(path));
    faultDevice = info.st_dev;
    faultInode = info.st_ino;
    faultError = errorNumber;
    failureCount = 0;
    armedCall = int(call);
}

FileCallFault::~FileCallFault()
{
    armedCall = Disarmed;
}

int FileCallFault::failures() const
{
    return failureCount.load();
}
