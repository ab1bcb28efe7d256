#include "sim/SerialDeviceLine.h"

// termios2 lives in the kernel's headers, which clash with <termios.h>: this file includes only them.
#include <asm/termbits.h>
#include <sys/ioctl.h>

quint32 SerialDeviceLine::setUp(int fd)
{
    struct termios2 line {};
    if (::ioctl(fd, TCGETS2, &line) != 0)
        return 0;
    line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // BOTHER: the rate is the number in c_ospeed, not one of the Bxxxx steps, which have no 56000.
    // Input at the output's rate: CIBAUD zero.
    line.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= BOTHER | CS8 | CREAD | CLOCAL;
    line.c_ispeed = line.c_ospeed = Rate;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (::ioctl(fd, TCSETS2, &line) != 0 || ::ioctl(fd, TCGETS2, &line) != 0)
        return 0;
    return line.c_ospeed;
}

bool SerialDeviceLine::carriesTheLine(quint32 made)
{
    const qint64 off = qint64(made) - qint64(Rate);
    return off * 100 <= qint64(Rate) * 4 && -off * 100 <= qint64(Rate) * 4;
}
