#pragma once

#include <QByteArray>
#include <QStringList>

// The names of a JSON object's own members as its text writes them, in order: a name written
// twice is listed twice, where QJsonObject keeps one of the two values and drops the other.
class JsonMemberNames
{
public:
    // objectText must be a JSON object that QJsonDocument parses.
    static QStringList of(const QByteArray &objectText);
    // The first name written twice, or an empty string.
    static QString firstRepeated(const QByteArray &objectText);
};
