#include "sim/PtyLineSpeed.h"

// termios2 lives in the kernel's headers, which clash with <termios.h>: this file includes only them.
#include <asm/termbits.h>
#include <sys/ioctl.h>

quint32 ptyLineSpeed(int masterFd)
{
    struct termios2 settings {};
    if (::ioctl(masterFd, TCGETS2, &settings) != 0)
        return 0;
    return settings.c_ospeed;
}
