#include "DescriptionCheck.h"

#include "TestFiles.h"

#include "platform/ReadOnlyFile.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QStringList>

// Read as the viewer reads it, which lets the recorder replace it meanwhile.
QJsonObject DescriptionCheck::read(const QString &dataFileName)
{
    ReadOnlyFile file;
    if (file.open(dataFileName + QStringLiteral(".json")) != 0)
        return {};
    QByteArray text;
    char chunk[4096];
    int error = 0;
    qint64 got = 0;
    while ((got = file.read(chunk, sizeof chunk, &error)) > 0)
        text.append(chunk, got);
    return got < 0 ? QJsonObject() : QJsonDocument::fromJson(text).object();
}

QString DescriptionCheck::mismatches(const QString &dataFileName, const QString &ending)
{
    const QJsonObject description = read(dataFileName);
    const QByteArray data = TestFiles::read(dataFileName);
    QStringList wrong;
    const auto expect = [&](const char *key, const QJsonValue &right) {
        const QJsonValue said = description.value(QLatin1String(key));
        if (said != right)
            wrong << QStringLiteral("%1 %2, not %3").arg(key, said.toVariant().toString(), right.toVariant().toString());
    };
    expect("ending", ending);
    expect("bytes", data.size());
    expect("blocks", data.size() / 512);
    expect("sha256", QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()));
    return wrong.join(QStringLiteral("; "));
}
