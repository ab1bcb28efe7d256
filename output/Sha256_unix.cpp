#include "output/Sha256.h"

#include <openssl/evp.h>

struct Sha256::State
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256()
    : m_state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    m_failed = !m_state->context || EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr) != 1;
}

void Sha256::add(const char *bytes, qint64 count)
{
    if (!m_failed && EVP_DigestUpdate(m_state->context, bytes, size_t(count)) != 1)
        m_failed = true;
}

QByteArray Sha256::hex() const
{
    if (m_failed)
        return {};
    EVP_MD_CTX *finished = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool done = finished && EVP_MD_CTX_copy_ex(finished, m_state->context) == 1
        && EVP_DigestFinal_ex(finished, digest, &length) == 1;
    EVP_MD_CTX_free(finished);
    return done ? QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex() : QByteArray();
}
