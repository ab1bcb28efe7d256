#pragma once

#include <QString>

// A file opened for reading by the system's own calls (ReadOnlyFile_unix.cpp,
// ReadOnlyFile_win.cpp): a named pipe of that name is not waited on, a terminal does not
// become the program's own, and other programs may go on writing the file. Errors are the
// system's numbers (SystemErrorText::forSystemError).
class ReadOnlyFile
{
public:
    enum class Kind { Regular, Folder, Other };

    ReadOnlyFile() = default;
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;
    ~ReadOnlyFile();

    // 0, or the error.
    int open(const QString &path);
    // Opens path as a regular file, its length now in *size; false, with the reason in Russian
    // and without the file's name, if it cannot be opened or is a folder or another kind of file.
    bool openRegular(const QString &path, qint64 *size, QString *reason);
    // What is open, and its length now; 0, or the error.
    int inspect(Kind *kind, qint64 *size) const;
    // Up to count bytes from where the last read ended: how many (0 at the end), or -1 with
    // the error.
    qint64 read(char *buffer, qint64 count, int *error);
    // The descriptor (Linux) or handle (Windows) while open, otherwise -1.
    qintptr handle() const;
    // Whether the error says there is no file of that name.
    static bool isNotFound(int error);

private:
    qintptr m_handle = -1;
};
