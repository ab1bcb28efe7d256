#pragma once

#include <QtGlobal>

class QFile;

// While it lives, fstat() of one file reports the size it is given, whatever the file's
// length: a size check that another program's truncation overtakes, as when the file is cut
// short between the check and the read. A test program that uses this class gets its own
// fstat(), which passes every other call on.
class StaleFileSize
{
public:
    // Of the file open as file, under whatever name, or none.
    StaleFileSize(const QFile &file, qint64 size);
    ~StaleFileSize();
    StaleFileSize(const StaleFileSize &) = delete;
    StaleFileSize &operator=(const StaleFileSize &) = delete;
};
