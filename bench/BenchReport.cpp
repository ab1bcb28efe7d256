#include "BenchReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Three significant digits, never in exponent form; whole numbers as they are.
QString number(double value)
{
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    const int magnitude = value == 0 ? 0 : int(std::floor(std::log10(std::abs(value))));
    return QString::number(value, 'f', std::clamp(2 - magnitude, 0, 6));
}

void printLine(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

} // namespace

void BenchReport::add(const QString &name, double value, const QString &unit, Goal goal, double goalValue)
{
    m_figures.append({name, value, unit, goal, goalValue, std::nullopt, {}});
    printLine(QStringLiteral("%1 %2 %3").arg(name, number(value), unit));
}

void BenchReport::setBaseline(const QString &name, double value)
{
    Figure *figure = find(name);
    if (!figure)
        return;
    figure->baseline = value;
    printLine(QStringLiteral("%1.baseline %2 %3").arg(name, number(value), figure->unit));
}

void BenchReport::fail(const QString &name, const QString &reason)
{
    m_figures.append({name, 0, {}, Goal::Information, 0, std::nullopt, reason});
    printLine(QStringLiteral("%1 not measured: %2").arg(name, reason));
}

void BenchReport::printVerdicts() const
{
    printLine(QString());
    printLine(QStringLiteral("verdicts (ratio = program / baseline):"));
    int width = 0;
    for (const Figure &figure : m_figures)
        width = std::max(width, int(figure.name.size()));
    for (const Figure &figure : m_figures) {
        QString verdict;
        QString detail;
        if (!figure.failure.isEmpty()) {
            verdict = QStringLiteral("FAILED");
            detail = figure.failure;
        } else if (figure.goal == Goal::Information) {
            verdict = QStringLiteral("info");
            detail = QStringLiteral("%1 %2").arg(number(figure.value), figure.unit);
        } else {
            const bool met = figure.goal == Goal::AtLeast ? figure.value >= figure.goalValue
                                                          : figure.value <= figure.goalValue;
            verdict = met ? QStringLiteral("met") : QStringLiteral("MISSED");
            detail = QStringLiteral("%1 %2, goal %3 %4")
                         .arg(number(figure.value), figure.unit,
                              figure.goal == Goal::AtLeast ? QStringLiteral(">=") : QStringLiteral("<="),
                              number(figure.goalValue));
        }
        if (figure.baseline) {
            detail += QStringLiteral("; baseline %1 %2").arg(number(*figure.baseline), figure.unit);
            if (*figure.baseline != 0 && figure.value != 0)
                detail += QStringLiteral(", ratio %1").arg(number(figure.value / *figure.baseline));
        }
        printLine(QStringLiteral("  %1  %2  %3").arg(figure.name, -width).arg(verdict, -6).arg(detail));
    }
}

bool BenchReport::anyFailed() const
{
    for (const Figure &figure : m_figures) {
        if (!figure.failure.isEmpty())
            return true;
    }
    return false;
}

BenchReport::Figure *BenchReport::find(const QString &name)
{
    for (Figure &figure : m_figures) {
        if (figure.name == name)
            return &figure;
    }
    return nullptr;
}
