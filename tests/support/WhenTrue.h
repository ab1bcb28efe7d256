#pragma once

#include <QList>

#include <functional>
#include <utility>

class QObject;

// Runs an action from the event loop once a condition holds. A recording pumps the
// event loop, so this is how a test steps in while one runs.
class WhenTrue
{
public:
    using Step = std::pair<std::function<bool()>, std::function<void()>>;

    static void then(QObject *context, std::function<bool()> condition, std::function<void()> action);
    // Each step's action once its condition holds, the steps one after another: a step's
    // condition is looked at only after the step before has acted.
    static void inTurn(QObject *context, QList<Step> steps);
};
