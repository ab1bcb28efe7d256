#include "platform/Timer.h"

#include <QTimer>

Timer::Timer(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &Timer::tick);
}

void Timer::setInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds);
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    if (enabled)
        m_timer->start();
    else
        m_timer->stop();
}

bool Timer::isEnabled() const
{
    return m_timer->isActive();
}
