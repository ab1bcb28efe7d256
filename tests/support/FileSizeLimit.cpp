#include "FileSizeLimit.h"

#include "platform/ProgramStart.h"

FileSizeLimit::FileSizeLimit(rlim_t limit)
{
    ProgramStart::prepare();
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit lowered = m_saved;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
}
