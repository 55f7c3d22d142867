#pragma once

// Sha256: SHA-256 digests, the one way the program computes them (password records, the
// journal's chain). Over OpenSSL's libcrypto, with the digest looked up once per object:
// looking it up costs more than hashing a short text, and the chain hashes one per record.
// Throws EngineError "SHA-256 nije dostupan" when libcrypto offers none, and "SHA-256 nije
// uspeo" when a digest fails.

#include <QByteArray>
#include <QByteArrayView>

struct evp_md_st;
struct evp_md_ctx_st;

namespace engine {

class Sha256
{
public:
    static constexpr int Size = 32;

    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // Starts a digest; add() feeds it, finish() ends it.
    void start();
    void add(QByteArrayView data);
    // The digest of what was added since start(), into `out` (Size bytes).
    void finish(unsigned char *out);
    QByteArray finish();

private:
    evp_md_st *m_md;
    evp_md_ctx_st *m_ctx;
};

} // namespace engine
