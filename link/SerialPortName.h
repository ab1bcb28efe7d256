#pragma once

#include <QString>

// The device that stands for serial port number N: the name in the environment variable
// LARVENTA_PORT<N> when set, otherwise the system's own name for it, /dev/ttyS<N-1> on Linux
// and COM<N> on Windows.
class SerialPortName
{
public:
    enum class System { Linux, Windows };

    // On the system this build is for.
    static QString forPort(int number);
    static QString forPort(int number, System system);
    // SerialPortName_unix.cpp, SerialPortName_win.cpp.
    static System thisSystem();
};
