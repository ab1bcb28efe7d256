#include "platform/ReadOnlyFile.h"

#include "platform/SystemErrorText.h"

bool ReadOnlyFile::openRegular(const QString &path, qint64 *size, QString *reason)
{
    if (const int error = open(path); error != 0) {
        // Qt stands a replacement character for each byte of a name that is not UTF-8: such a
        // name cannot be found again.
        *reason = isNotFound(error) && path.contains(QChar::ReplacementCharacter)
            ? QStringLiteral("имя файла не в кодировке UTF-8, и программа не может его прочитать; "
                             "переименуйте файл")
            : SystemErrorText::forSystemError(error);
        return false;
    }
    Kind kind = Kind::Other;
    if (const int error = inspect(&kind, size); error != 0) {
        *reason = SystemErrorText::forSystemError(error);
        return false;
    }
    if (kind == Kind::Folder) {
        *reason = SystemErrorText::wording(SystemErrorText::Meaning::IsFolder);
        return false;
    }
    if (kind != Kind::Regular) {
        *reason = QStringLiteral("это не обычный файл");
        return false;
    }
    return true;
}
