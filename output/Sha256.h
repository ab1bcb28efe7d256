#pragma once

#include <QByteArray>

#include <memory>

// A SHA-256 digest of bytes given piece by piece, by the system's own code that uses the
// processor's SHA instructions where it has them: OpenSSL on Linux, CNG on Windows
// (Sha256_unix.cpp, Sha256_win.cpp). About nine times the speed of QCryptographicHash
// here, so that hashing every block costs a flood little.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // Starts again on no bytes.
    void reset();
    void add(const char *bytes, qint64 count);
    // In lower-case hexadecimal, of everything added since the last reset; adding may go
    // on. Empty if the library failed on the way (it has no reason to), never a wrong digest.
    QByteArray hex() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_failed = false;
};
