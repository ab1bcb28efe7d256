#include "recording/RecordingTime.h"

#include <QRegularExpression>

std::optional<qint32> RecordingTime::parse(const QString &text, QString *errorMessage)
{
    static const QRegularExpression number(QStringLiteral("^([+-]?)(?:([0-9]+)(?:[.,]([0-9]*))?|[.,]([0-9]+))$"));
    const QString trimmed = text.trimmed();
    const QString longest = QString::number(Longest);
    const QRegularExpressionMatch match = number.match(trimmed);
    if (!match.hasMatch()) {
        *errorMessage = trimmed.isEmpty()
            ? QStringLiteral("Время записи не задано. Введите число секунд от 1 до %1.").arg(longest)
            : QStringLiteral("Время записи «%1» не является числом. Введите число секунд от 1 до %2.")
                  .arg(trimmed, longest);
        return std::nullopt;
    }

    // Digit by digit rather than through a double, whose precision would round a fraction
    // such as 0.50000000000000001 the wrong way; beyond Longest the value is held at Longest + 1.
    qint64 seconds = 0;
    for (const QChar digit : match.capturedView(2))
        seconds = qMin(seconds * 10 + digit.digitValue(), qint64(Longest) + 1);
    QString fraction = match.captured(3) + match.captured(4);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    // Against one half: to the nearest second, halves to the even one.
    const int comparedWithHalf = fraction.compare(QLatin1String("5"));
    if (comparedWithHalf > 0 || (comparedWithHalf == 0 && seconds % 2 == 1))
        ++seconds;

    if (match.capturedView(1) == QLatin1String("-") || seconds < 1 || seconds > Longest) {
        *errorMessage = QStringLiteral("Время записи должно быть от 1 до %1 секунд, а введено «%2».")
                            .arg(longest, trimmed);
        return std::nullopt;
    }
    return qint32(seconds);
}
