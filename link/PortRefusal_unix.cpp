#include "link/PortRefusal.h"

#include "link/PortLockFile.h"

#include <QFile>

#include <cerrno>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString accessDenied(const QString &device)
{
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        return QStringLiteral("доступ запрещён.");
    const group *owner = ::getgrgid(info.st_gid);
    const QString groupName = owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
    return PortRefusal::accessAdvice(device, info.st_mode, info.st_gid, groupName);
}

} // namespace

QString PortRefusal::reason(const QString &device)
{
    if (const std::optional<PortLockFile::Holder> lock = PortLockFile::of(device))
        return lockReason(*lock);
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return accessDenied(device);
    return QStringLiteral("порт занят другой программой. Закройте её и повторите.");
}

QString PortRefusal::lockReason(const PortLockFile::Holder &lock)
{
    const QString program = lock.program.isEmpty() ? QStringLiteral("без имени") : lock.program;
    const QString removal = QStringLiteral("удалить его может только пользователь %1 или администратор (sudo rm %2).")
                                .arg(lock.owner, lock.path);
    switch (lock.state) {
    case PortLockFile::State::Live:
        return QStringLiteral("порт занят: его держит программа «%1» (процесс %2). Закройте её и повторите.")
            .arg(program, QString::number(lock.pid));
    case PortLockFile::State::Elsewhere:
        return QStringLiteral("порт занят: по файлу блокировки %1 его держит программа «%2» (процесс %3) на компьютере "
                              "%4, что отсюда не проверить. Если она там не работает, %5")
            .arg(lock.path, program, QString::number(lock.pid), lock.host, removal);
    case PortLockFile::State::Ended:
        return QStringLiteral("порт заблокирован файлом %1: его оставила программа «%2» (процесс %3), которая уже "
                              "завершилась, и %4")
            .arg(lock.path, program, QString::number(lock.pid), removal);
    case PortLockFile::State::Reused:
        return QStringLiteral("порт заблокирован файлом %1: его оставила программа «%2» (процесс %3), которая уже "
                              "завершилась (этот номер процесса теперь у программы «%4»), и %5")
            .arg(lock.path, program, QString::number(lock.pid), lock.nowRunning, removal);
    case PortLockFile::State::Unreadable:
        return QStringLiteral("порт заблокирован файлом %1, из которого не удаётся прочитать, кто держит порт "
                              "(файл пуст, испорчен или закрыт для чтения). Если порт никто не использует, %2")
            .arg(lock.path, removal);
    case PortLockFile::State::NotAFile:
        return QStringLiteral("на месте файла блокировки %1 лежит не обычный файл (канал, ссылка или каталог), и "
                              "программа не станет его читать. Узнайте, откуда он взялся; %2")
            .arg(lock.path, removal);
    }
    return {};
}

QString PortRefusal::accessAdvice(const QString &device, quint32 mode, quint32 group, const QString &groupName)
{
    const bool groupMayUse = (mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (groupMayUse && group != 0) {
        return QStringLiteral("доступ запрещён. Пользователь должен входить в группу «%1», которой принадлежит "
                              "устройство (sudo usermod -aG %1 $USER, затем войти в систему заново).")
            .arg(groupName);
    }
    return QStringLiteral("доступ запрещён: права устройства %1 (%2, группа «%3») не дают его открыть ни одной "
                          "группе пользователей. Попросите администратора дать доступ к нему.")
        .arg(device, QString::number(mode & 07777, 8).rightJustified(4, QLatin1Char('0')), groupName);
}
