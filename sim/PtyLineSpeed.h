#pragma once

#include <QtGlobal>

// The line speed the host set on a pseudo-terminal, read through its master; 0 if unreadable.
quint32 ptyLineSpeed(int masterFd);
