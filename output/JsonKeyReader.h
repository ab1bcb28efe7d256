#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// Reads the keys of a JSON object one by one, each of the type it must have, and keeps the
// first thing wrong with them, in Russian and naming the key; a value at fault reads as
// empty or zero.
class JsonKeyReader
{
public:
    explicit JsonKeyReader(const QJsonObject &object);

    // Empty while every key read so far was as it must be.
    QString failure() const;

    // nullable: the key may be null or absent, which reads as empty or zero; a key that is not
    // nullable must be there with a value of its type.
    QString text(const char *key, bool nullable = false);
    qint64 integer(const char *key, qint64 lowest, qint64 highest, bool nullable = false);
    // A number from 0 to highest, or null.
    double real(const char *key, double highest);
    // A local time with its offset from UTC, or null.
    QDateTime time(const char *key);

    // Notes that key's value must be as shouldBe says, unless something was wrong before.
    void fail(const char *key, const QString &shouldBe);

private:
    QJsonValue present(const char *key, bool nullable);

    QJsonObject m_object;
    QString m_failure;
};
