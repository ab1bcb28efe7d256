#include "link/DriverLineRate.h"

// termios2 lives in the kernel's headers, which clash with <termios.h>: this file includes only them.
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool DriverLineRate::isCloseEnough(quint32 made, quint32 wanted)
{
    const qint64 off = qint64(made) - qint64(wanted);
    return off * 100 <= qint64(wanted) * 4 && -off * 100 <= qint64(wanted) * 4;
}

quint32 DriverLineRate::madeOn(int handle)
{
    struct termios2 settings {};
    if (::ioctl(handle, TCGETS2, &settings) != 0)
        return 0;
    return settings.c_ospeed;
}
