#include "output/JsonKeyReader.h"

#include <QJsonValue>

#include <cmath>

namespace {

// Null, or not there at all: both read as empty or zero where a key may be null.
bool isNull(const QJsonValue &value)
{
    return value.isNull() || value.isUndefined();
}

} // namespace

JsonKeyReader::JsonKeyReader(const QJsonObject &object)
    : m_object(object)
{
}

QString JsonKeyReader::failure() const
{
    return m_failure;
}

QString JsonKeyReader::text(const char *key, bool nullable)
{
    const QJsonValue value = present(key, nullable);
    if (value.isString())
        return value.toString();
    if (!nullable || !isNull(value))
        fail(key, nullable ? QStringLiteral("строкой или null") : QStringLiteral("строкой"));
    return QString();
}

qint64 JsonKeyReader::integer(const char *key, qint64 lowest, qint64 highest, bool nullable)
{
    const QJsonValue value = present(key, nullable);
    if (nullable && isNull(value))
        return 0;
    const double number = value.toDouble(-1.0);
    if (!value.isDouble() || number != std::floor(number) || number < double(lowest) || number > double(highest)) {
        fail(key, QStringLiteral("целым числом от %1 до %2%3")
                      .arg(lowest)
                      .arg(highest)
                      .arg(nullable ? QStringLiteral(" или null") : QString()));
        return 0;
    }
    return qint64(number);
}

double JsonKeyReader::real(const char *key, double highest)
{
    const QJsonValue value = present(key, true);
    if (isNull(value))
        return 0;
    if (!value.isDouble() || !(value.toDouble() >= 0 && value.toDouble() <= highest)) {
        fail(key, QStringLiteral("числом от 0 до %1 или null").arg(highest, 0, 'g', 12));
        return 0;
    }
    return value.toDouble();
}

QDateTime JsonKeyReader::time(const char *key)
{
    const QString written = text(key, true);
    if (written.isEmpty())
        return QDateTime();
    const QDateTime time = QDateTime::fromString(written, Qt::ISODateWithMs);
    if (!time.isValid())
        fail(key, QStringLiteral("временем вида 2026-12-08T14:03:58.563+03:00 или null"));
    return time;
}

void JsonKeyReader::fail(const char *key, const QString &shouldBe)
{
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("значение ключа «%1» должно быть %2").arg(QLatin1String(key), shouldBe);
}

QJsonValue JsonKeyReader::present(const char *key, bool nullable)
{
    const QJsonValue value = m_object.value(QLatin1String(key));
    if (value.isUndefined() && !nullable && m_failure.isEmpty())
        m_failure = QStringLiteral("в нём нет ключа «%1»").arg(QLatin1String(key));
    return value;
}
