#include "platform/WindowsFileName.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

std::wstring WindowsFileName::of(const QString &path)
{
    QString native = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    // A folder's name may take 12 characters less than a file's (room for an 8.3 name).
    if (native.size() >= MAX_PATH - 12 && !native.startsWith(QLatin1String("\\\\?\\"))) {
        if (native.startsWith(QLatin1String("\\\\")))
            native = QLatin1String("\\\\?\\UNC\\") + native.mid(2);
        else
            native.prepend(QLatin1String("\\\\?\\"));
    }
    return native.toStdWString();
}
