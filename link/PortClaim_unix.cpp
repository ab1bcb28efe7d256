#include "link/PortClaim.h"

#include "link/PortLockFile.h"
#include "link/PortRefusal.h"
#include "link/TtyLine.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

PortClaim::~PortClaim()
{
    release();
}

bool PortClaim::take(const QString &device, QString *whyHeld)
{
    release();
    // A live holder's port is not opened; Qt would open one whose lock only minicom or cu wrote,
    // and hang reading a pipe put in the lock's place.
    if (const std::optional<PortLockFile::Holder> lock = PortLockFile::of(device);
        lock && (lock->state == PortLockFile::State::Live || lock->state == PortLockFile::State::NotAFile)) {
        *whyHeld = PortRefusal::lockReason(*lock);
        return false;
    }
    m_handle = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_handle < 0)
        return true;
    // Only a process allowed to open it anyway gets this far into a tty in exclusive mode.
    int exclusive = 0;
    if (::ioctl(m_handle, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        *whyHeld = QStringLiteral("порт занят: его держит другая программа, открывшая его монопольно. "
                                  "Закройте её и повторите.");
        release();
        return false;
    }
    if (::flock(m_handle, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        *whyHeld = QStringLiteral("порт занят: его заблокировала другая программа (flock). Закройте её и повторите.");
        release();
        return false;
    }
    m_found = TtyLine::save(m_handle);
    return true;
}

void PortClaim::makeRaw()
{
    if (m_handle >= 0 && !m_found.isEmpty())
        TtyLine::makeRaw(m_handle);
}

void PortClaim::putBack()
{
    if (m_handle >= 0 && !m_found.isEmpty())
        TtyLine::restore(m_handle, m_found);
}

void PortClaim::release()
{
    if (m_handle >= 0)
        ::close(m_handle);
    m_handle = -1;
    m_found.clear();
}
