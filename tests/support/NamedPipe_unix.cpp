#include "NamedPipe.h"

#include <QFile>

#include <sys/stat.h>

bool NamedPipe::make(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0666) == 0;
}

bool NamedPipe::isPipe(const QString &path)
{
    struct stat status{};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}
