#pragma once

#include <QString>

// Another program's hold on a serial port, for as long as the holder lives: on Linux the
// port's device open and locked with flock, as terminal programs lock it; on Windows the COM
// port open, which Windows gives to one opener at a time.
class PortHolder
{
public:
    explicit PortHolder(const QString &port);
    PortHolder(const PortHolder &) = delete;
    PortHolder &operator=(const PortHolder &) = delete;
    ~PortHolder();

    bool holds() const;
    // Whether a second opener is refused the port as the program should be: Wine gives a COM
    // port to any number of openers, where Windows' serial drivers give it to one.
    bool keepsOthersOut() const;

private:
    QString m_port;
    qintptr m_handle = -1;
};
