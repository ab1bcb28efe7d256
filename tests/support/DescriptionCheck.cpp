#include "DescriptionCheck.h"

#include "TestFiles.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QStringList>

QJsonObject DescriptionCheck::read(const QString &dataFileName)
{
    return QJsonDocument::fromJson(TestFiles::read(dataFileName + QStringLiteral(".json"))).object();
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
