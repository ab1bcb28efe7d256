#include "link/SerialPortName.h"

SerialPortName::System SerialPortName::thisSystem()
{
    return System::Windows;
}
