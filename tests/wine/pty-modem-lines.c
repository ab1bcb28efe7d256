/* Preloaded into Wine's processes by tests/wine/run, never part of the programs: a pseudo-terminal
 * has no modem lines, and Linux answers their ioctls with ENOTTY there. Wine 10 polls them while a
 * program waits in WaitCommEvent, and takes ENOTTY as the end of the wait (error 995, which
 * QSerialPort reports as a resource error). Here a Unix98 pseudo-terminal answers as a UART with
 * its lines up and no line events would; every other device and request gets the kernel's answer. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int isPseudoTerminal(int fd)
{
    struct stat status;
    return fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && major(status.st_rdev) >= 136 &&
           major(status.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*kernels)(int, unsigned long, void *);
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    if (!kernels)
        kernels = (int (*)(int, unsigned long, void *))dlsym(RTLD_NEXT, "ioctl");
    int answer = kernels(fd, request, argument);
    if (answer == 0 || errno != ENOTTY)
        return answer;
    if (!isPseudoTerminal(fd)) {
        errno = ENOTTY;
        return answer;
    }
    switch (request) {
    case TIOCMGET:
        *(int *)argument = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_DTR | TIOCM_RTS;
        return 0;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 0;
    case TIOCGICOUNT:
        memset(argument, 0, sizeof(struct serial_icounter_struct));
        return 0;
    }
    errno = ENOTTY;
    return answer;
}
