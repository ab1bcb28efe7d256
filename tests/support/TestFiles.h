#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TestFiles
{
public:
    // Empty if the file cannot be read.
    static QByteArray read(const QString &path);
    static bool write(const QString &path, const QByteArray &bytes);
    // Every file under dir with its size and modification time, to tell whether anything changed.
    static QStringList listing(const QString &dir);
};
