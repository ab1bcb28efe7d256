#include "link/PortRefusal.h"

// Windows opens a COM port for one program at a time, and refuses it to every other
// (ERROR_ACCESS_DENIED) until that one closes it; it keeps no lock files.
QString PortRefusal::reason(const QString &)
{
    return QStringLiteral("порт занят: его уже открыла другая программа, а Windows даёт порт только одной "
                          "программе сразу. Закройте её и повторите.");
}
