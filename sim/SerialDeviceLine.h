#pragma once

#include <QtGlobal>

// The instrument's end of its line on a serial device: 56000 bit/s, 8 data bits, no parity, 1 stop
// bit, no flow control, raw (no echo, no translation of line ends, every byte passed as it comes).
class SerialDeviceLine
{
public:
    static constexpr quint32 Rate = 56000;

    // Sets the line up on an open device and returns the rate the driver reads back, or 0 with errno
    // set when the driver refuses.
    static quint32 setUp(int fd);
    // Whether a rate the driver made still carries an 8N1 frame at Rate: within 4 % either way.
    static bool carriesTheLine(quint32 made);
};
