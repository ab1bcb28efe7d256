#include "recording/RecordingTime.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

std::optional<qint32> RecordingTime::parse(const QString &text, QString *errorMessage)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+([.,][0-9]*)?|[.,][0-9]+)$"));
    const QString trimmed = text.trimmed();
    const QString longest = QString::number(Longest);
    if (!number.match(trimmed).hasMatch()) {
        *errorMessage = trimmed.isEmpty()
            ? QStringLiteral("Время записи не задано. Введите число секунд от 1 до %1.").arg(longest)
            : QStringLiteral("Время записи «%1» не является числом. Введите число секунд от 1 до %2.")
                  .arg(trimmed, longest);
        return std::nullopt;
    }

    bool converted = false;
    const double value = QLocale::c().toDouble(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')), &converted);
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double seconds = converted ? std::nearbyint(value) : HUGE_VAL;
    if (!(seconds >= 1 && seconds <= Longest)) {
        *errorMessage = QStringLiteral("Время записи должно быть от 1 до %1 секунд, а введено «%2».")
                            .arg(longest, trimmed);
        return std::nullopt;
    }
    return qint32(seconds);
}
