#pragma once

#include "link/SampleBlock.h"
#include "output/Sha256.h"

#include <QByteArrayView>
#include <QString>

// The data file of a recording: the raw sample blocks back to back, block b at
// byte offset 512 × b, nothing else. At most one is open at a time.
class DataFile
{
public:
    DataFile() = default;
    DataFile(const DataFile &) = delete;
    DataFile &operator=(const DataFile &) = delete;
    ~DataFile();

    // Replaces the regular file of this name, if there is one, with a new, empty one
    // and keeps it open. Anything else of that name (a folder, a named pipe, a device,
    // a socket) is refused without being opened. If it cannot, the message names the
    // file and the reason; an existing file is left as it was whenever it could not be
    // replaced. Never waits.
    bool createAfresh(const QString &path, QString *errorMessage);
    // Writes one block at offset 512 × blockIndex. On failure the file is cut back
    // to the blocks before it, so it always holds whole blocks; if even that fails,
    // the message says so.
    bool writeBlock(qint64 blockIndex, QByteArrayView block, QString *errorMessage);
    // Does nothing if no file is open. What was written is on the disk (synced) before
    // it returns true. The file is closed also when the system reports a failure to
    // sync or close, which can mean (on a full disk, on a network file system) that
    // written data was lost; the message, if asked for, names the file and the reason.
    bool close(QString *errorMessage = nullptr);
    bool isOpen() const;
    QString path() const;
    // The length of the file of the last createAfresh(), counted as it is written,
    // also after it is closed.
    qint64 size() const;
    // SHA-256 of what that file holds, in hexadecimal, taken from the blocks as they
    // are written and never by reading the file. Empty if it could not be computed,
    // or if a block was written elsewhere than right after the one before.
    QByteArray sha256() const;

private:
    // DataFile_unix.cpp and DataFile_win.cpp: the system's own calls on the file. Errors are
    // the system's error numbers (SystemErrorText::forSystemError).
    // Replaces what stands at m_path, if it is a regular file, with a new, empty one and keeps
    // it open; otherwise the message says why not and an existing file is left as it was.
    bool openAfresh(QString *errorMessage);
    // Writes up to count bytes at offset: how many it wrote, or -1 with the error.
    qint64 writeAt(qint64 offset, const char *bytes, qint64 count, int *error);
    // 0, or the error if the file could not be cut back.
    int cutBack(qint64 length);
    // Syncs and closes the file; each error, or 0.
    void syncAndClose(int *syncError, int *closeError);

    // Counts and hashes bytes that are now in the file from offset on.
    void takeIn(qint64 offset, QByteArrayView written);
    QString failure(const QString &what, int error) const;
    QString failure(const QString &what, const QString &reason) const;

    // The open file's descriptor (Linux) or handle (Windows); -1 when none is open.
    qintptr m_handle = -1;
    QString m_path;
    qint64 m_size = 0;
    Sha256 m_content;
    bool m_hashedInOrder = true;
};
