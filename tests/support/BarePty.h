#pragma once

#include <QString>

// A pseudo-terminal with no instrument behind it: nobody reads what the host sends.
class BarePty
{
public:
    BarePty();
    ~BarePty();
    BarePty(const BarePty &) = delete;
    BarePty &operator=(const BarePty &) = delete;

    // The host's end, to open as a serial port; empty if no pty could be had.
    QString device() const;
    int master() const;
    // Stops the tty's output, as a device that takes no more data holds its line: the host can
    // write nothing more.
    void stopTakingCommands();
    // The instrument's end: what the host has sent since the last look, and bytes to the host.
    QByteArray takeSent();
    bool sendToHost(const QByteArray &bytes);
    // Sends bytes to the host and, once the host's tty has taken them in, returns what the host's
    // side has sent since the last look: whatever it sent before, and its echo of them if the tty
    // echoes. A mark sent from the host's side after the bytes arrived there follows any echo.
    QByteArray sentUntilTakenIn(const QByteArray &bytes);

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_device;
};
