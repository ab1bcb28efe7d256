#pragma once

#include <QList>
#include <QString>

#include <optional>

// Prints each figure as it is measured, one line "name value unit", and at the end
// a verdict per figure against its goal, with the baseline and the ratio to it.
class BenchReport {
public:
    enum class Goal { AtLeast, AtMost, Information };

    void add(const QString &name, double value, const QString &unit, Goal goal = Goal::Information,
             double goalValue = 0);
    // The same figure measured on the baseline; the ratio printed is program / baseline.
    void setBaseline(const QString &name, double value);
    // A figure that could not be measured.
    void fail(const QString &name, const QString &reason);
    void printVerdicts() const;
    bool anyFailed() const;

private:
    struct Figure {
        QString name;
        double value = 0;
        QString unit;
        Goal goal = Goal::Information;
        double goalValue = 0;
        std::optional<double> baseline;
        QString failure;
    };

    Figure *find(const QString &name);

    QList<Figure> m_figures;
};
