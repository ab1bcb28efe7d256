#pragma once

#include <QtGlobal>

// While it lives, the process may write no more than limit bytes into any file, as
// on a disk that fills up: writes beyond fail with EFBIG. It sets the process up
// with the program's own start-up (ProgramStart::prepare), not on its own: should
// that start-up stop ignoring the signal SIGXFSZ, the signal ends the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    quint64 m_savedCurrent = 0;
    quint64 m_savedMaximum = 0;
};
