#include "output/Sha256.h"

#include <windows.h>
#include <bcrypt.h>

namespace {

constexpr ULONG DigestBytes = 32;

// Opened once for the program: opening the provider is the costly step.
BCRYPT_ALG_HANDLE algorithm()
{
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        return BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? opened
                                                                                                          : nullptr;
    }();
    return provider;
}

} // namespace

struct Sha256::State
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() { drop(); }
    void drop()
    {
        if (hash)
            BCryptDestroyHash(hash);
        hash = nullptr;
    }
};

Sha256::Sha256()
    : m_state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    m_state->drop();
    // CNG keeps the hash object itself when given no buffer for it (Windows 7 and later).
    m_failed = !algorithm()
        || !BCRYPT_SUCCESS(BCryptCreateHash(algorithm(), &m_state->hash, nullptr, 0, nullptr, 0, 0));
}

void Sha256::add(const char *bytes, qint64 count)
{
    // BCryptHashData takes at most 4 GiB - 1 at a time.
    while (!m_failed && count > 0) {
        const ULONG piece = ULONG(qMin<qint64>(count, 0x40000000));
        PUCHAR input = reinterpret_cast<PUCHAR>(const_cast<char *>(bytes));
        if (!BCRYPT_SUCCESS(BCryptHashData(m_state->hash, input, piece, 0)))
            m_failed = true;
        bytes += piece;
        count -= piece;
    }
}

QByteArray Sha256::hex() const
{
    if (m_failed)
        return {};
    // Finishing ends a hash: a copy is finished, so that adding may go on.
    BCRYPT_HASH_HANDLE finished = nullptr;
    UCHAR digest[DigestBytes];
    const bool done = BCRYPT_SUCCESS(BCryptDuplicateHash(m_state->hash, &finished, nullptr, 0, 0))
        && BCRYPT_SUCCESS(BCryptFinishHash(finished, digest, DigestBytes, 0));
    if (finished)
        BCryptDestroyHash(finished);
    return done ? QByteArray(reinterpret_cast<const char *>(digest), int(DigestBytes)).toHex() : QByteArray();
}
