#pragma once

#include <QByteArray>
#include <QString>

class TestFiles
{
public:
    // Empty if the file cannot be read.
    static QByteArray read(const QString &path);
    static bool write(const QString &path, const QByteArray &bytes);
};
