#include "link/TtyLine.h"

bool TtyLine::isCloseEnough(quint32 made, quint32 wanted)
{
    const qint64 off = qint64(made) - qint64(wanted);
    return off * 100 <= qint64(wanted) * 4 && -off * 100 <= qint64(wanted) * 4;
}
