#include "link/PortLockFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <limits>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where Qt looks for a lock folder, in its order.
const char *const LockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                   "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};
// A lock holds a few short lines; anything longer is not one.
constexpr qsizetype MostLockBytes = 512;

// Qt's choice: the first folder it may read that holds the file or that it may write to.
QString lockPath(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name = QStringLiteral("/LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : LockFolders) {
        const QFileInfo info(QString::fromLatin1(folder));
        const QString path = info.filePath() + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

QString ownerOf(const struct stat &info)
{
    const passwd *user = ::getpwuid(info.st_uid);
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(info.st_uid);
}

// Without following a link, without waiting on a pipe, and no more than a lock can hold.
std::optional<QByteArray> readLock(const QString &path, PortLockFile::Holder &holder)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        holder.state = fd < 0 && errno != ELOOP ? PortLockFile::State::Unreadable : PortLockFile::State::NotAFile;
        return std::nullopt;
    }
    holder.owner = ownerOf(info);
    QByteArray content(MostLockBytes, Qt::Uninitialized);
    const ssize_t count = ::read(fd, content.data(), content.size());
    ::close(fd);
    content.truncate(count > 0 ? count : 0);
    return content;
}

// The running program's file name, as Qt compares it with the lock's; empty if it cannot be read.
QString programOf(qint64 pid)
{
    QString target = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (target.endsWith(QLatin1String(" (deleted)")))
        target.chop(10);
    return QFileInfo(target).fileName();
}

void judge(PortLockFile::Holder &holder)
{
    if (!holder.host.isEmpty() && holder.host != QSysInfo::machineHostName()) {
        holder.state = PortLockFile::State::Elsewhere;
        return;
    }
    if (::kill(pid_t(holder.pid), 0) != 0 && errno == ESRCH) {
        holder.state = PortLockFile::State::Ended;
        return;
    }
    const QString running = programOf(holder.pid);
    // Qt takes a lock that names no program for a reused number; such a lock comes from a
    // program that does not check Qt's and may still have the port, so it counts as live.
    if (!holder.program.isEmpty() && !running.isEmpty() && running != QFileInfo(holder.program).fileName()) {
        holder.state = PortLockFile::State::Reused;
        holder.nowRunning = running;
        return;
    }
    if (holder.program.isEmpty())
        holder.program = running;
    holder.state = PortLockFile::State::Live;
}

// Qt's lines: process number, program, host. minicom, cu and lockdev: the number alone on the
// first line, right-aligned, minicom's followed by its name and the user's.
bool parse(const QByteArray &content, PortLockFile::Holder &holder)
{
    const QList<QByteArray> lines = content.split('\n');
    const QList<QByteArray> first = lines.value(0).simplified().split(' ');
    bool isNumber = false;
    holder.pid = first.value(0).toLongLong(&isNumber);
    if (!isNumber || holder.pid <= 0 || holder.pid > std::numeric_limits<pid_t>::max())
        return false;
    holder.program = QString::fromUtf8(lines.size() > 2 ? lines.value(1) : first.value(1));
    holder.host = QString::fromUtf8(lines.value(2));
    return true;
}

std::optional<PortLockFile::Holder> lockOf(const QString &device)
{
    const QString path = lockPath(device);
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    PortLockFile::Holder holder;
    holder.path = path;
    holder.owner = ownerOf(info);
    const std::optional<QByteArray> content = readLock(path, holder);
    if (!content)
        return holder;
    if (!parse(*content, holder)) {
        holder.pid = 0;
        holder.state = PortLockFile::State::Unreadable;
        return holder;
    }
    judge(holder);
    return holder;
}

} // namespace

std::optional<PortLockFile::Holder> PortLockFile::of(const QString &device)
{
    if (std::optional<Holder> lock = lockOf(device))
        return lock;
    // A holder that opened the port by another name, such as its /dev/serial/by-id link.
    const QString target = QFileInfo(device).canonicalFilePath();
    if (!target.isEmpty() && target != device)
        return lockOf(target);
    return std::nullopt;
}
