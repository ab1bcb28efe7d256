#include "WindowsSuite.h"

#include <QtGlobal>

void linuxOnlyStep(const char *step)
{
    qFatal("%s has no Windows counterpart: a case that takes it belongs on the Windows suite's list of "
           "cases left out (tests/windows.cmake)",
           step);
}
