#pragma once

#include <QObject>
#include <QString>

class Recording;

// Holds the data file against its description: the size and the SHA-256 of what the file
// holds now. It hashes on a thread of its own, so a large file is drawn before its hash is
// done, and reads the file through its own descriptor, safe against truncation.
class IntegrityCheck : public QObject
{
    Q_OBJECT

public:
    explicit IntegrityCheck(QObject *parent = nullptr);
    ~IntegrityCheck() override;

    // Starts checking the recording's data file; a check under way is dropped. A recording
    // without a description, or without a hash in it, finishes at once as unchecked.
    void start(const Recording &recording);

signals:
    // verified: size and hash agree. Otherwise message says in Russian what differs (the
    // size, the hash, or why the file could not be read), or that there is nothing to check
    // against.
    void finished(bool verified, const QString &message);
};
