#pragma once

#include <QObject>

class QTimer;

// The window's one-second timer. Enabling it starts a fresh interval; ticks that
// fall due while the thread is busy are not queued up, and none arrives after it
// is disabled.
class Timer : public QObject
{
    Q_OBJECT

public:
    explicit Timer(QObject *parent = nullptr);

    void setInterval(int milliseconds);
    void setEnabled(bool enabled);
    bool isEnabled() const;

signals:
    void tick();

private:
    QTimer *m_timer;
};
