#include "platform/SystemErrorText.h"

namespace {

// Windows' system error codes (winerror.h), by number: this file is built on every platform.
enum WindowsError : quint32 {
    FileNotFound = 2,
    PathNotFound = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    InvalidDrive = 15,
    WriteProtect = 19,
    NotReady = 21,
    Crc = 23,
    Seek = 25,
    WriteFault = 29,
    ReadFault = 30,
    GenFailure = 31,
    SharingViolation = 32,
    LockViolation = 33,
    HandleDiskFull = 39,
    BadNetPath = 53,
    DevNotExist = 55,
    UnexpectedNetError = 59,
    NetNameDeleted = 64,
    NetworkAccessDenied = 65,
    BadNetName = 67,
    DiskFull = 112,
    Busy = 170,
    FilenameExceedsRange = 206,
    FileTooLarge = 223,
    Directory = 267,
    IoDevice = 1117,
    DeviceNotConnected = 1167,
    UserMappedFile = 1224,
    DiskQuotaExceeded = 1295,
    PrivilegeNotHeld = 1314,
};

} // namespace

SystemErrorText::Meaning SystemErrorText::ofWindowsError(quint32 code)
{
    switch (code) {
    case FileNotFound:
    case PathNotFound:
    case InvalidDrive:
    case BadNetPath:
    case BadNetName: return Meaning::NoSuchFile;
    case AccessDenied:
    case NetworkAccessDenied:
    case PrivilegeNotHeld: return Meaning::AccessDenied;
    case HandleDiskFull:
    case DiskFull: return Meaning::DiskFull;
    case DiskQuotaExceeded: return Meaning::QuotaExceeded;
    case FileTooLarge: return Meaning::FileTooLarge;
    case WriteProtect: return Meaning::ReadOnly;
    case Directory: return Meaning::NotAFolder;
    case FilenameExceedsRange: return Meaning::NameTooLong;
    case LockViolation:
    case Busy: return Meaning::Busy;
    // A file another program holds without sharing it for writing, or maps.
    case SharingViolation:
    case UserMappedFile: return Meaning::OpenElsewhere;
    case Crc:
    case Seek:
    case WriteFault:
    case ReadFault:
    case GenFailure:
    case UnexpectedNetError:
    case NetNameDeleted:
    case IoDevice: return Meaning::InputOutput;
    case NotReady:
    case DevNotExist:
    case DeviceNotConnected: return Meaning::NoDevice;
    case TooManyOpenFiles: return Meaning::TooManyFiles;
    default: return Meaning::Other;
    }
}

QString SystemErrorText::wording(Meaning meaning)
{
    switch (meaning) {
    case Meaning::Other: break;
    case Meaning::NoSuchFile: return QStringLiteral("нет такого файла или папки");
    case Meaning::AccessDenied: return QStringLiteral("доступ запрещён");
    case Meaning::DiskFull: return QStringLiteral("на диске нет места");
    case Meaning::QuotaExceeded: return QStringLiteral("исчерпана дисковая квота");
    case Meaning::FileTooLarge: return QStringLiteral("файл превысил допустимый размер");
    case Meaning::ReadOnly: return QStringLiteral("носитель доступен только для чтения");
    case Meaning::IsFolder: return QStringLiteral("это папка, а не файл");
    case Meaning::NotAFolder: return QStringLiteral("часть пути не является папкой");
    case Meaning::NameTooLong: return QStringLiteral("слишком длинное имя");
    case Meaning::Busy: return QStringLiteral("устройство или файл заняты");
    case Meaning::OpenElsewhere:
        return QStringLiteral("файл открыт в другой программе (например, в программе просмотра записей), и Windows не "
                              "даёт изменить или заменить его, пока он там открыт; закройте его там и повторите");
    case Meaning::InputOutput: return QStringLiteral("ошибка ввода-вывода");
    case Meaning::NoDevice: return QStringLiteral("устройство отсутствует");
    case Meaning::TooManyFiles: return QStringLiteral("открыто слишком много файлов");
    }
    return {};
}
