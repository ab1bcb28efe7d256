#pragma once

#include <QString>

#include <optional>

// The recording time the operator typed, in whole seconds.
class RecordingTime
{
public:
    static constexpr qint32 Longest = 2147483647;

    // Accepts blanks around the number, a sign, and "." or "," before a fraction;
    // a fraction is rounded to the nearest second, halves to the even one. Anything
    // that is not a number, or that rounds to less than 1 second or more than
    // Longest, gives no value and a message for the operator.
    static std::optional<qint32> parse(const QString &text, QString *errorMessage);
};
