#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <chrono>

// A tty's line as the kernel keeps it, read and set through termios2, which carries any rate
// (56000 bit/s has no Bxxxx step): the one way the program, the simulator and the tests make a
// line raw, read its rate back, and let go of what it still holds to send. The calls on a
// descriptor are Linux's (TtyLine_unix.cpp); whether a rate carries the line holds everywhere.
class TtyLine
{
public:
    // Every byte passed on as it comes: no echo, no translation of line ends, no signals, 8 bits
    // without parity. The rate and flow control stay as they are. False, with errno, if refused.
    static bool makeRaw(int fd);
    // The instrument's end of its line: raw, 8N1, no flow control, the modem lines ignored, at
    // the rate given. Returns the rate the driver reads back, or 0 with errno when it refuses.
    static quint32 setUp(int fd, quint32 rate);
    // The rate as the driver writes it back; 0 if it does not tell.
    static quint32 rate(int fd);
    // Within 4 % either way, which an 8N1 frame survives: a PC UART's 57600 for 56000 (+2.9 %)
    // carries the line, an adapter's fallback to 9600 does not.
    static bool isCloseEnough(quint32 made, quint32 wanted);

    // The line's whole settings, its rate included, for restore(); empty if fd is no tty.
    static QByteArray save(int fd);
    static bool restore(int fd, const QByteArray &saved);

    // Waits until the driver has sent everything queued for the line, for at most the limit.
    // False if something is still queued then (or the line cannot tell).
    static bool drain(int fd, std::chrono::milliseconds limit);
    // Throws away what the driver still holds to send.
    static void discardOutput(int fd);
};
