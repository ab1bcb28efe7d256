#pragma once

#include <functional>

class QObject;

// Runs an action from the event loop once a condition holds. A recording pumps the
// event loop, so this is how a test steps in while one runs.
class WhenTrue
{
public:
    static void then(QObject *context, std::function<bool()> condition, std::function<void()> action);
};
