#pragma once

#include <QtGlobal>

// The line rate a serial driver actually made of the one asked for. Some USB
// adapters cannot make 56000 bit/s and fall back to another rate without an error;
// what they receive is then garbage.
class DriverLineRate
{
public:
    // Within 4 % either way, which an 8N1 frame survives: a PC UART's 57600 for
    // 56000 (+2.9 %) records, a fallback to 9600 does not.
    static bool isCloseEnough(quint32 made, quint32 wanted);
    // As the driver writes it back on the open port's handle; 0 if it does not tell.
    static quint32 madeOn(int handle);
};
