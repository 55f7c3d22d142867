// The shop's Ed25519 signing key: made, read, signing and verifying.
#include "SigningKey.h"

#include "DeskTables.h"
#include "AuditLog.h"

#include "engine/EngineError.h"
#include "engine/Sha256.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace desk::signing {

namespace {

using engine::EngineError;

struct Free
{
    void operator()(EVP_PKEY *k) const { EVP_PKEY_free(k); }
    void operator()(EVP_PKEY_CTX *c) const { EVP_PKEY_CTX_free(c); }
    void operator()(EVP_MD_CTX *c) const { EVP_MD_CTX_free(c); }
    void operator()(BIO *b) const { BIO_free(b); }
};
template <typename T> using Owned = std::unique_ptr<T, Free>;

QString privatePath(const QString &dir) { return QDir(dir).filePath(QStringLiteral("podaci/potpis-kljuc.pem")); }
QString publicPath(const QString &dir) { return QDir(dir).filePath(QStringLiteral("podaci/potpis-javni.pem")); }

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(path, f.errorString()));
    return f.readAll();
}

QByteArray bioText(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, int(size));
}

Owned<BIO> bioOf(const QByteArray &text)
{
    return Owned<BIO>(BIO_new_mem_buf(text.constData(), int(text.size())));
}

Owned<EVP_PKEY> readPublic(const QByteArray &pem)
{
    Owned<BIO> bio = bioOf(pem);
    Owned<EVP_PKEY> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("Javni kljuc nije Ed25519 kljuc"));
    return key;
}

void write(const QString &path, const QByteArray &data, QFileDevice::Permissions permissions)
{
    QString error;
    if (!platform::writeFileAtomically(path, data, &error, permissions))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(path, error));
}

} // namespace

bool hasKey(const QString &dir)
{
    return QFileInfo::exists(privatePath(dir)) && QFileInfo::exists(publicPath(dir));
}

bool ensureKey(const QString &dir)
{
    if (hasKey(dir))
        return false;
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY *made = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &made) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("Kljuc za potpis nije napravljen (OpenSSL Ed25519)"));
    Owned<EVP_PKEY> key(made);
    Owned<BIO> priv(BIO_new(BIO_s_mem()));
    Owned<BIO> pub(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_PrivateKey(priv.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        PEM_write_bio_PUBKEY(pub.get(), key.get()) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("Kljuc za potpis nije zapisan (OpenSSL PEM)"));
    // The public key last: a key pair counts as there only when both files are.
    write(privatePath(dir), bioText(priv.get()), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    write(publicPath(dir), bioText(pub.get()),
          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
              QFileDevice::ReadOther);
    const QString print = fingerprintOf(dir);
    write(newKeyFile(dir), QDate::currentDate().toString(Qt::ISODate).toLatin1() + '\n',
          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Best effort: a directory whose journal is not made yet has no log to say it in.
    (void)chain::logDirectory(dir, tablePassword(), QStringLiteral("NOV KLJUC POTPISA"),
                              QStringLiteral("Napravljen nov kljuc za potpis, otisak %1; "
                                             "izvestaji i arhive odsada nose ovaj otisak")
                                  .arg(print));
    return true;
}

QString newKeyFile(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("podaci/potpis-novi.txt"));
}

QString reportedFingerprint(const QString &dir, const QDate &day)
{
    const QString print = fingerprintOf(dir);
    QFile f(newKeyFile(dir));
    if (print.isEmpty() || !f.open(QIODevice::ReadOnly))
        return print;
    const QDate made = QDate::fromString(QString::fromLatin1(f.readLine().trimmed()), Qt::ISODate);
    if (!made.isValid() || day < made)
        return print;
    return print + QStringLiteral(" (NOV KLJUC od %1)").arg(made.toString(QStringLiteral("dd/MM/yyyy")));
}

QByteArray publicKey(const QString &dir)
{
    return readFile(publicPath(dir));
}

QString fingerprint(const QByteArray &publicPem)
{
    const Owned<EVP_PKEY> key = readPublic(publicPem);
    unsigned char *der = nullptr;
    const int size = i2d_PUBKEY(key.get(), &der);
    if (size <= 0)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("Javni kljuc se ne moze procitati"));
    engine::Sha256 digest;
    digest.start();
    digest.add(QByteArrayView(der, size));
    OPENSSL_free(der);
    return QString::fromLatin1(digest.finish().toHex());
}

QString fingerprintOf(const QString &dir)
{
    if (!hasKey(dir))
        return {};
    try {
        return fingerprint(publicKey(dir));
    } catch (const EngineError &) {
        return {};
    }
}

QByteArray sign(const QString &dir, const QByteArray &data)
{
    const QByteArray pem = readFile(privatePath(dir));
    Owned<BIO> bio = bioOf(pem);
    Owned<EVP_PKEY> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1 nije Ed25519 kljuc").arg(privatePath(dir)));
    Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    QByteArray signature(64, '\0');
    size_t size = size_t(signature.size());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                       reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size())) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("Potpis nije napravljen (OpenSSL Ed25519)"));
    signature.resize(qsizetype(size));
    return signature;
}

bool verify(const QByteArray &publicPem, const QByteArray &data, const QByteArray &signature)
{
    const Owned<EVP_PKEY> key = readPublic(publicPem);
    Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    return ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()),
                            reinterpret_cast<const unsigned char *>(data.constData()),
                            size_t(data.size())) == 1;
}

} // namespace desk::signing
