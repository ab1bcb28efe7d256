#include "WhenTrue.h"

#include <QTimer>

void WhenTrue::then(QObject *context, std::function<bool()> condition, std::function<void()> action)
{
    auto *poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, condition, action] {
        if (condition()) {
            poll->stop();
            poll->deleteLater();
            action();
        }
    });
    poll->start(5);
}

void WhenTrue::inTurn(QObject *context, QList<Step> steps)
{
    if (steps.isEmpty())
        return;
    const Step first = steps.takeFirst();
    then(context, first.first, [context, action = first.second, rest = std::move(steps)] {
        action();
        inTurn(context, rest);
    });
}
