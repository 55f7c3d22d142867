// PasswordRecord: HASH = SHA-256 applied 64 times, starting from SALT + password (UTF-8), each
// round hashing SALT + the previous digest. Comparison runs over the whole digest.

#include "engine/PasswordRecord.h"

#include "engine/Sha256.h"

#include <QRandomGenerator>

namespace engine {

namespace {
constexpr int rounds = 64;
constexpr int saltSize = 16;
} // namespace

PasswordRecord::PasswordRecord(QByteArray salt, QByteArray hash)
    : m_salt(std::move(salt)), m_hash(std::move(hash))
{
}

PasswordRecord PasswordRecord::create(const QString &password)
{
    QByteArray salt(saltSize, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()),
                                          saltSize / int(sizeof(quint32)));
    QByteArray hash = hashOf(salt, password);
    return PasswordRecord(std::move(salt), std::move(hash));
}

bool PasswordRecord::matches(const QString &password) const
{
    if (m_salt.isEmpty() || m_hash.isEmpty())
        return false;
    const QByteArray candidate = hashOf(m_salt, password);
    if (candidate.size() != m_hash.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < candidate.size(); ++i)
        difference |= static_cast<unsigned char>(candidate[i] ^ m_hash[i]);
    return difference == 0;
}

QByteArray PasswordRecord::hashOf(const QByteArray &salt, const QString &password)
{
    Sha256 sha;
    sha.start();
    sha.add(salt);
    sha.add(password.toUtf8());
    QByteArray digest = sha.finish();
    for (int i = 1; i < rounds; ++i) {
        sha.start();
        sha.add(salt);
        sha.add(digest);
        sha.finish(reinterpret_cast<unsigned char *>(digest.data()));
    }
    return digest;
}

} // namespace engine
