#include "viewer/NarrowFileName.h"

#include <QFile>

bool NarrowFileName::of(const QString &path, QByteArray *name, QString *)
{
    *name = QFile::encodeName(path);
    return true;
}
