#include "platform/SystemErrorText.h"

#include <cerrno>
#include <cstring>

namespace {

SystemErrorText::Meaning meaningOf(int errorNumber)
{
    using Meaning = SystemErrorText::Meaning;
    switch (errorNumber) {
    case ENOENT: return Meaning::NoSuchFile;
    case EACCES:
    case EPERM: return Meaning::AccessDenied;
    case ENOSPC: return Meaning::DiskFull;
    case EDQUOT: return Meaning::QuotaExceeded;
    case EFBIG: return Meaning::FileTooLarge;
    case EROFS: return Meaning::ReadOnly;
    case EISDIR: return Meaning::IsFolder;
    case ENOTDIR: return Meaning::NotAFolder;
    case ENAMETOOLONG: return Meaning::NameTooLong;
    case EBUSY: return Meaning::Busy;
    case EIO: return Meaning::InputOutput;
    case ENODEV:
    case ENXIO: return Meaning::NoDevice;
    case EMFILE:
    case ENFILE: return Meaning::TooManyFiles;
    default: return Meaning::Other;
    }
}

} // namespace

QString SystemErrorText::forSystemError(int error)
{
    const Meaning meaning = meaningOf(error);
    if (meaning != Meaning::Other)
        return wording(meaning);
    return QStringLiteral("системная ошибка %1 (%2)")
        .arg(QString::number(error), QString::fromLocal8Bit(std::strerror(error)));
}
