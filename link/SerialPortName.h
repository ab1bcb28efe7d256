#pragma once

#include <QString>

// The device that stands for serial port number N: the path in the environment
// variable LARVENTA_PORT<N> when set, otherwise /dev/ttyS<N-1>.
class SerialPortName
{
public:
    static QString forPort(int number);
};
