#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

void ProgramEnd::now()
{
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}
