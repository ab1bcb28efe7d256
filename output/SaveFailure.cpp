#include "output/SaveFailure.h"

#include "platform/SystemErrorText.h"

#include <QFileInfo>
#include <QSaveFile>

QString SaveFailure::reason(const QSaveFile &file)
{
    QString what;
    if (QFileInfo(file.fileName()).isDir()) {
        what = SystemErrorText::wording(SystemErrorText::Meaning::IsFolder);
    } else {
        switch (file.error()) {
        case QFileDevice::PermissionsError: what = QStringLiteral("доступ запрещён"); break;
        case QFileDevice::WriteError: what = QStringLiteral("ошибка записи"); break;
        case QFileDevice::RenameError: what = QStringLiteral("не удалось заменить прежний файл"); break;
        default: what = QStringLiteral("не удалось создать файл"); break;
        }
    }
    return QStringLiteral("%1 (%2)").arg(what, file.errorString());
}
