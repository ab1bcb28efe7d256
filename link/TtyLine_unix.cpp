#include "link/TtyLine.h"

#include <cstring>
#include <thread>

// termios2 lives in the kernel's headers, which clash with <termios.h>: this file includes only them.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

constexpr std::chrono::milliseconds DrainLook{1};

bool readSettings(int fd, termios2 &settings)
{
    return ::ioctl(fd, TCGETS2, &settings) == 0;
}

void makeRawSettings(termios2 &settings)
{
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB);
    settings.c_cflag |= CS8;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

} // namespace

bool TtyLine::makeRaw(int fd)
{
    termios2 settings {};
    if (!readSettings(fd, settings))
        return false;
    makeRawSettings(settings);
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

quint32 TtyLine::setUp(int fd, quint32 rate)
{
    termios2 settings {};
    if (!readSettings(fd, settings))
        return 0;
    makeRawSettings(settings);
    settings.c_iflag &= ~(IXOFF | IXANY);
    // BOTHER: the rate is the number in c_ospeed. Input at the output's rate: CIBAUD zero.
    settings.c_cflag &= ~(CBAUD | CIBAUD | CSTOPB | CRTSCTS);
    settings.c_cflag |= BOTHER | CREAD | CLOCAL;
    settings.c_ispeed = settings.c_ospeed = rate;
    if (::ioctl(fd, TCSETS2, &settings) != 0 || !readSettings(fd, settings))
        return 0;
    return settings.c_ospeed;
}

quint32 TtyLine::rate(int fd)
{
    termios2 settings {};
    return readSettings(fd, settings) ? settings.c_ospeed : 0;
}

QByteArray TtyLine::save(int fd)
{
    termios2 settings {};
    if (!readSettings(fd, settings))
        return {};
    return QByteArray(reinterpret_cast<const char *>(&settings), sizeof settings);
}

bool TtyLine::restore(int fd, const QByteArray &saved)
{
    termios2 settings {};
    if (saved.size() != qsizetype(sizeof settings))
        return false;
    std::memcpy(&settings, saved.constData(), sizeof settings);
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

bool TtyLine::drain(int fd, std::chrono::milliseconds limit)
{
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
            return false;
        if (queued == 0)
            return true;
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(DrainLook);
    }
}

void TtyLine::discardOutput(int fd)
{
    ::ioctl(fd, TCFLSH, TCOFLUSH);
}
