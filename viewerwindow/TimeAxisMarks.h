#pragma once

#include <QDateTime>
#include <QString>

// The time axis's marks: a step between them that leaves room for their labels, and the
// labels, as seconds from the start of the recording and as the clock time.
class TimeAxisMarks
{
public:
    // The smallest step of at least minimumSeconds among 1, 2 and 5 × 10ⁿ s below ten
    // seconds, then 10, 15 and 30 s, then whole minutes, hours and days that divide them.
    static double stepFor(double minimumSeconds);
    // "12.5 с" below a minute, "1:02:03" (h:mm:ss) from a minute on; with as many
    // decimals as the step needs.
    static QString sinceStart(double seconds, double step);
    // The clock time seconds after started, "14:03:07", with as many decimals as the step
    // needs, to the millisecond at most.
    static QString clockTime(const QDateTime &started, double seconds, double step);

private:
    static int decimalsFor(double step);
};
