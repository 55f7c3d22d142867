// Sha256: SHA-256 over libcrypto's EVP interface.

#include "engine/Sha256.h"

#include "engine/EngineError.h"

#include <openssl/evp.h>

namespace engine {

namespace {

[[noreturn]] void failed()
{
    throw EngineError(QStringLiteral("SHA-256 nije uspeo"));
}

} // namespace

Sha256::Sha256() : m_md(EVP_MD_fetch(nullptr, "SHA256", nullptr)), m_ctx(EVP_MD_CTX_new())
{
    if (!m_md || !m_ctx) {
        EVP_MD_free(m_md);
        EVP_MD_CTX_free(m_ctx);
        throw EngineError(QStringLiteral("SHA-256 nije dostupan"));
    }
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_ctx);
    EVP_MD_free(m_md);
}

void Sha256::start()
{
    if (EVP_DigestInit_ex2(m_ctx, m_md, nullptr) != 1)
        failed();
}

void Sha256::add(QByteArrayView data)
{
    if (EVP_DigestUpdate(m_ctx, data.data(), size_t(data.size())) != 1)
        failed();
}

void Sha256::finish(unsigned char *out)
{
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(m_ctx, out, &size) != 1 || size != Size)
        failed();
}

QByteArray Sha256::finish()
{
    QByteArray out(Size, Qt::Uninitialized);
    finish(reinterpret_cast<unsigned char *>(out.data()));
    return out;
}

} // namespace engine
