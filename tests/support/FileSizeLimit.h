#pragma once

#include <sys/resource.h>

// While it lives, the process may write no more than limit bytes into any file, as
// on a disk that fills up: writes beyond fail with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
};
