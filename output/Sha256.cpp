#include "output/Sha256.h"

#include <openssl/evp.h>

Sha256::Sha256()
    : m_context(EVP_MD_CTX_new())
{
    reset();
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_context);
}

void Sha256::reset()
{
    m_failed = !m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1;
}

void Sha256::add(const char *bytes, qint64 count)
{
    if (!m_failed && EVP_DigestUpdate(m_context, bytes, size_t(count)) != 1)
        m_failed = true;
}

QByteArray Sha256::hex() const
{
    if (m_failed)
        return {};
    EVP_MD_CTX *finished = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool done = finished && EVP_MD_CTX_copy_ex(finished, m_context) == 1
        && EVP_DigestFinal_ex(finished, digest, &length) == 1;
    EVP_MD_CTX_free(finished);
    return done ? QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex() : QByteArray();
}
