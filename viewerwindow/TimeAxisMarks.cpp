#include "viewerwindow/TimeAxisMarks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<double, 12> LongSteps{10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800};
constexpr std::array<double, 3> ShortMantissas{1, 2, 5};
constexpr std::array<double, 4> HourMultiples{6, 12, 24, 48};

// "05.25" for 5.25 with two decimals: the seconds of a clock reading.
QString secondsOfMinute(double seconds, int decimals)
{
    return QString::number(seconds, 'f', decimals).rightJustified(decimals > 0 ? 3 + decimals : 2, QLatin1Char('0'));
}

} // namespace

double TimeAxisMarks::stepFor(double minimumSeconds)
{
    if (minimumSeconds < LongSteps.front()) {
        const double power = std::pow(10.0, std::floor(std::log10(std::max(minimumSeconds, 1e-9))));
        for (double mantissa : ShortMantissas) {
            if (mantissa * power >= minimumSeconds)
                return mantissa * power;
        }
        return 10 * power;
    }
    for (double step : LongSteps) {
        if (step >= minimumSeconds)
            return step;
    }
    for (double hours : HourMultiples) {
        if (hours * 3600 >= minimumSeconds)
            return hours * 3600;
    }
    return std::ceil(minimumSeconds / 86400) * 86400;
}

QString TimeAxisMarks::sinceStart(double seconds, double step)
{
    const int decimals = decimalsFor(step);
    // Rounded once, so that 59.9996 reads as 1:00:00.000 and not as 0:00:60.000.
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(seconds * scale) / scale;
    if (std::fabs(rounded) < 60)
        return QStringLiteral("%1 с").arg(QString::number(rounded, 'f', decimals));
    const QString sign = rounded < 0 ? QStringLiteral("−") : QString();
    const double magnitude = std::fabs(rounded);
    const qint64 wholeMinutes = qint64(magnitude / 60 + 1e-9);
    const double inMinute = std::max(0.0, magnitude - double(wholeMinutes) * 60);
    return QStringLiteral("%1%2:%3:%4")
        .arg(sign)
        .arg(wholeMinutes / 60)
        .arg(wholeMinutes % 60, 2, 10, QLatin1Char('0'))
        .arg(secondsOfMinute(inMinute, decimals));
}

// The clock goes to the millisecond, cut rather than rounded, like a clock's reading.
QString TimeAxisMarks::clockTime(const QDateTime &started, double seconds, double step)
{
    const int decimals = std::min(decimalsFor(step), 3);
    const QDateTime at = started.addMSecs(qint64(std::floor(seconds * 1000 + 1e-6)));
    QString text = at.toString(QStringLiteral("HH:mm:ss"));
    if (decimals > 0)
        text += QLatin1Char('.') + QString::number(at.time().msec()).rightJustified(3, QLatin1Char('0')).left(decimals);
    return text;
}

int TimeAxisMarks::decimalsFor(double step)
{
    if (step >= 1)
        return 0;
    return int(std::ceil(-std::log10(step) - 1e-9));
}
