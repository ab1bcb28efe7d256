#pragma once

#include <QList>
#include <QString>

// The signals that end a program from outside: Ctrl+C, a kill, the terminal closed.
class StopSignals
{
public:
    struct Signal {
        QString name;
        int number = 0;
    };
    static QList<Signal> all();
    static bool send(qint64 processId, int number);
};
