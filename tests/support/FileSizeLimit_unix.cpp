#include "FileSizeLimit.h"

#include "platform/ProgramStart.h"

#include <sys/resource.h>

FileSizeLimit::FileSizeLimit(qint64 limit)
{
    ProgramStart::prepare();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    m_savedCurrent = saved.rlim_cur;
    m_savedMaximum = saved.rlim_max;
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(limit);
    setrlimit(RLIMIT_FSIZE, &lowered);
}

FileSizeLimit::~FileSizeLimit()
{
    const rlimit saved{rlim_t(m_savedCurrent), rlim_t(m_savedMaximum)};
    setrlimit(RLIMIT_FSIZE, &saved);
}
