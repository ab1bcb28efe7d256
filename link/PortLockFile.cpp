#include "link/PortLockFile.h"

#include <QFileInfo>
#include <QSysInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <sys/stat.h>

namespace {

// Where Qt looks for a lock folder, in its order.
const char *const LockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                   "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};

QString lockFileName(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

bool processRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QString ownerOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const passwd *user = ::getpwuid(info.st_uid);
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(info.st_uid);
}

} // namespace

std::optional<PortLockFile::Holder> PortLockFile::of(const QString &device)
{
    const QString name = lockFileName(device);
    for (const char *folder : LockFolders) {
        const QString path = QString::fromLatin1(folder) + QLatin1Char('/') + name;
        if (!QFileInfo::exists(path))
            continue;
        Holder holder;
        holder.path = path;
        holder.owner = ownerOf(path);
        QString host;
        if (QLockFile(path).getLockInfo(&holder.pid, &host, &holder.program)) {
            // A lock taken on another machine (a shared folder) cannot be checked from here.
            holder.running = host != QSysInfo::machineHostName() || processRunning(holder.pid);
        }
        return holder;
    }
    return std::nullopt;
}
