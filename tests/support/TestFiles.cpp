#include "TestFiles.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>

QByteArray TestFiles::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestFiles::write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList TestFiles::listing(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << QStringLiteral("%1 %2 %3")
                     .arg(it.filePath())
                     .arg(it.fileInfo().size())
                     .arg(it.fileInfo().lastModified().toMSecsSinceEpoch());
    }
    files.sort();
    return files;
}
