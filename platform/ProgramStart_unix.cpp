#include "platform/ProgramStart.h"

#include <csignal>

void ProgramStart::prepare()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
