#include "FileCallFault.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>

// <unistd.h> is left out: its declarations of close(), ftruncate(), fsync() and
// fdatasync() would clash with the replacements below.
extern "C" ssize_t readlink(const char *path, char *buffer, size_t size);

namespace {

constexpr int Disarmed = -1;

std::atomic<int> armedCall{Disarmed};
dev_t faultDevice = 0;
ino_t faultInode = 0;
int faultError = 0;
std::atomic<int> failureCount{0};

QByteArray faultName;

bool hits(FileCallFault::Call call, int fd)
{
    if (armedCall.load() != int(call))
        return false;
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_dev == faultDevice && info.st_ino == faultInode;
}

bool syncHits(int fd)
{
    const int call = armedCall.load();
    if (call != int(FileCallFault::Call::Sync) && call != int(FileCallFault::Call::SyncOfReplacement))
        return false;
    char name[4096];
    const ssize_t length = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), name,
                                      sizeof name);
    if (length <= 0)
        return false;
    const QByteArrayView named(name, length);
    if (call == int(FileCallFault::Call::Sync))
        return named == faultName;
    // Linux names a file opened with O_TMPFILE "#inode (deleted)" in its folder.
    const QByteArrayView folder = QByteArrayView(faultName).first(faultName.lastIndexOf('/') + 1);
    const bool unnamed = named.startsWith(folder) && named.sliced(folder.size()).startsWith('#')
        && named.endsWith(" (deleted)") && !named.sliced(folder.size()).contains('/');
    const bool namedAfter = named.size() == faultName.size() + 7 && named.startsWith(faultName)
        && named[faultName.size()] == '.';
    return unnamed || namedAfter;
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

extern "C" int fsync(int fd)
{
    static const auto systemSync = systemCall<int(int)>("fsync");
    return syncHits(fd) ? fail() : systemSync(fd);
}

extern "C" int fdatasync(int fd)
{
    static const auto systemSync = systemCall<int(int)>("fdatasync");
    return syncHits(fd) ? fail() : systemSync(fd);
}

FileCallFault::FileCallFault(Call call, const QString &path, int errorNumber)
{
    const QFileInfo file(path);
    faultName = QFile::encodeName(QFileInfo(file.absolutePath()).canonicalFilePath() + QLatin1Char('/') + file.fileName());
    struct stat info;
    if (call == Call::Close || call == Call::Truncate) {
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            qFatal("FileCallFault: no file %s", qPrintable(path));
        faultDevice = info.st_dev;
        faultInode = info.st_ino;
    }
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
