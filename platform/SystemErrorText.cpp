#include "platform/SystemErrorText.h"

#include <cerrno>
#include <cstring>

QString SystemErrorText::forErrno(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT: return QStringLiteral("нет такого файла или папки");
    case EACCES:
    case EPERM: return QStringLiteral("доступ запрещён");
    case ENOSPC: return QStringLiteral("на диске нет места");
    case EDQUOT: return QStringLiteral("исчерпана дисковая квота");
    case EFBIG: return QStringLiteral("файл превысил допустимый размер");
    case EROFS: return QStringLiteral("носитель доступен только для чтения");
    case EISDIR: return QStringLiteral("это папка, а не файл");
    case ENOTDIR: return QStringLiteral("часть пути не является папкой");
    case ENAMETOOLONG: return QStringLiteral("слишком длинное имя");
    case EBUSY: return QStringLiteral("устройство или файл заняты");
    case EIO: return QStringLiteral("ошибка ввода-вывода");
    case ENODEV:
    case ENXIO: return QStringLiteral("устройство отсутствует");
    case EMFILE:
    case ENFILE: return QStringLiteral("открыто слишком много файлов");
    default:
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(QString::number(errorNumber), QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}
