#include "ReadOnlyDisk.h"

#include <QFileInfo>

QString ReadOnlyDisk::folder()
{
    const QString mounted = QStringLiteral("Z:/run/larventa-wine/read-only");
    return QFileInfo(mounted).isDir() ? mounted : QString();
}
