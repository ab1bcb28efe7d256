#pragma once

#include <QByteArray>

typedef struct evp_md_ctx_st EVP_MD_CTX;

// A SHA-256 digest of bytes given piece by piece. OpenSSL's, which uses the processor's
// SHA instructions where it has them: about nine times the speed of QCryptographicHash
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
    // on. Empty if OpenSSL failed on the way (it has no reason to), never a wrong digest.
    QByteArray hex() const;

private:
    EVP_MD_CTX *m_context;
    bool m_failed = false;
};
