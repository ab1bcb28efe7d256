#pragma once

#include <QByteArray>
#include <QString>

// The names of a JSON object's own members as its text writes them: QJsonObject keeps one value
// of a name written twice and drops the other without a word.
class JsonMemberNames
{
public:
    // The first name written twice, or an empty string. objectText must be a JSON object that
    // QJsonDocument parses.
    static QString firstRepeated(const QByteArray &objectText);
};
