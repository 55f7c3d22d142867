// Sealing and opening off-site copies with AES-256-GCM, and the key's recovery text.
#include "SealedBackup.h"

#include "engine/EngineError.h"
#include "engine/Sha256.h"
#include "platform/AtomicFile.h"

#include <QFile>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstring>
#include <memory>

namespace desk::sealed {

namespace {

using engine::EngineError;

constexpr char Magic[] = "DVRREZ\r\n";
constexpr int MagicSize = 8;
constexpr char PlainVersion = 1;
constexpr char LabelledVersion = 2;
constexpr int LabelLengthSize = 4;
constexpr quint32 MaxLabel = 65536;
constexpr int KeyIdSize = 8;
constexpr int NonceSize = 12;
constexpr qint64 Chunk = 4 << 20;
// Crockford's base 32: no I, L, O, U, so that a written text reads back the same.
constexpr char Alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int KeyChars = 52;   // 256 bits, 5 to a character
constexpr int CheckChars = 4;  // 20 bits of the key's SHA-256

struct CipherFree
{
    void operator()(EVP_CIPHER_CTX *c) const { EVP_CIPHER_CTX_free(c); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

QByteArray sha256(const QByteArray &data)
{
    engine::Sha256 digest;
    digest.start();
    digest.add(data);
    QByteArray out(engine::Sha256::Size, '\0');
    digest.finish(reinterpret_cast<unsigned char *>(out.data()));
    return out;
}

QString base32(const QByteArray &bytes, int chars)
{
    QString text;
    quint32 buffer = 0;
    int bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | quint8(c);
        bits += 8;
        while (bits >= 5 && text.size() < chars) {
            text += QLatin1Char(Alphabet[(buffer >> (bits - 5)) & 31]);
            bits -= 5;
        }
    }
    if (bits > 0 && text.size() < chars)
        text += QLatin1Char(Alphabet[(buffer << (5 - bits)) & 31]);
    return text;
}

void requireKey(const QByteArray &key)
{
    if (key.size() != KeySize)
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Kljuc rezerve mora imati %1 bajta").arg(KeySize));
}

Cipher cipher(const QByteArray &key, const QByteArray &nonce, bool encrypt)
{
    Cipher c(EVP_CIPHER_CTX_new());
    const auto init = encrypt ? EVP_EncryptInit_ex : EVP_DecryptInit_ex;
    if (!c || init(c.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(c.get(), EVP_CTRL_GCM_SET_IVLEN, NonceSize, nullptr) != 1 ||
        init(c.get(), nullptr, nullptr, reinterpret_cast<const unsigned char *>(key.constData()),
             reinterpret_cast<const unsigned char *>(nonce.constData())) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("AES-256-GCM nije dostupan"));
    return c;
}

} // namespace

QByteArray newKey()
{
    QByteArray key(KeySize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(key.data()), KeySize) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("Slucajni kljuc nije napravljen (OpenSSL RAND_bytes)"));
    return key;
}

QByteArray keyId(const QByteArray &key)
{
    return sha256(key).left(KeyIdSize);
}

QString recoveryText(const QByteArray &key)
{
    requireKey(key);
    const QString text = base32(key, KeyChars) + base32(sha256(key), CheckChars);
    QStringList groups;
    for (int i = 0; i < text.size(); i += 4)
        groups += text.mid(i, 4);
    return groups.join(u'-');
}

QByteArray keyFromRecoveryText(const QString &text)
{
    QString chars;
    for (const QChar c : text.toUpper()) {
        if (c == u' ' || c == u'-' || c == u'\t' || c == u'\n' || c == u'\r')
            continue;
        chars += c == u'O' ? QChar(u'0') : (c == u'I' || c == u'L') ? QChar(u'1') : c;
    }
    // A text that is not a key is Refused, not Crypto: nothing failed in OpenSSL, the caller
    // shows it as typed wrong and asks for the text again; retrying the same text is useless.
    if (chars.size() != KeyChars + CheckChars)
        throw EngineError(EngineError::Kind::Refused, QStringLiteral("Tekst kljuca ima %1 znakova umesto %2")
                              .arg(chars.size())
                              .arg(KeyChars + CheckChars));
    QByteArray key;
    quint32 buffer = 0;
    int bits = 0;
    for (int i = 0; i < KeyChars; ++i) {
        const char *at = std::strchr(Alphabet, chars.at(i).toLatin1());
        if (chars.at(i).unicode() > 127 || !at || !*at)
            throw EngineError(EngineError::Kind::Refused, QStringLiteral("Tekst kljuca: znak '%1' nije dozvoljen").arg(chars.at(i)));
        buffer = (buffer << 5) | quint32(at - Alphabet);
        bits += 5;
        if (bits >= 8) {
            key += char((buffer >> (bits - 8)) & 0xff);
            bits -= 8;
        }
    }
    if (base32(sha256(key), CheckChars) != chars.right(CheckChars))
        throw EngineError(EngineError::Kind::Refused, QStringLiteral("Tekst kljuca nije ispravan (provera se ne slaze: "
                                         "pogresno prepisana grupa?)"));
    return key;
}

QByteArray Label::encode() const
{
    QByteArray text;
    text += "VREME " + sealedAt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
    text += "IDENTITET " + identity.toUtf8() + '\n';
    text += "GLAVA " + chainHead + '\n';
    text += "ZAPISA " + QByteArray::number(records) + '\n';
    text += "DOKUMENT " + lastDocument.toUtf8() + '\n';
    return text;
}

Label Label::decode(const QByteArray &text)
{
    Label label;
    bool sawTime = false;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype space = line.indexOf(' ');
        const QByteArray name = space < 0 ? line : line.left(space);
        const QByteArray value = space < 0 ? QByteArray() : line.mid(space + 1);
        bool ok = true;
        if (name == "VREME") {
            label.sealedAt = QDateTime::fromString(QString::fromLatin1(value),
                                                   QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
            ok = sawTime = label.sealedAt.isValid();
        } else if (name == "IDENTITET") {
            label.identity = QString::fromUtf8(value);
        } else if (name == "GLAVA") {
            label.chainHead = value;
        } else if (name == "ZAPISA") {
            label.records = value.toLongLong(&ok);
        } else if (name == "DOKUMENT") {
            label.lastDocument = QString::fromUtf8(value);
        } // a line of a later version is passed over
        if (!ok)
            throw EngineError(EngineError::Kind::Damaged, QStringLiteral("Zaglavlje kopije nije ispravno: %1")
                                  .arg(QString::fromUtf8(line.left(80))));
    }
    if (!sawTime)
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("Zaglavlje kopije nema vreme"));
    return label;
}

void seal(const QString &plainPath, const QString &sealedPath, const QByteArray &key,
          const std::optional<Label> &label)
{
    requireKey(key);
    QFile in(plainPath);
    if (!in.open(QIODevice::ReadOnly))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(plainPath, in.errorString()));
    QByteArray nonce(NonceSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(nonce.data()), NonceSize) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("Slucajni broj nije napravljen (OpenSSL RAND_bytes)"));
    QByteArray header = QByteArray(Magic, MagicSize) + (label ? LabelledVersion : PlainVersion) +
                        keyId(key) + nonce;
    if (label) {
        const QByteArray text = label->encode();
        if (quint32(text.size()) > MaxLabel)
            throw EngineError(EngineError::Kind::Value, QStringLiteral("Zaglavlje kopije je preveliko"));
        const quint32 n = quint32(text.size());
        header += char(n >> 24);
        header += char(n >> 16);
        header += char(n >> 8);
        header += char(n);
        header += text;
    }
    const Cipher c = cipher(key, nonce, true);
    int n = 0;
    if (EVP_EncryptUpdate(c.get(), nullptr, &n, reinterpret_cast<const unsigned char *>(header.constData()),
                          int(header.size())) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("AES-256-GCM nije uspeo"));
    platform::AtomicWriter out(sealedPath);
    if (!out.write(header))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(sealedPath, out.errorString()));
    QByteArray buffer(Chunk, '\0');
    QByteArray encrypted(Chunk + 16, '\0');
    for (;;) {
        const qint64 got = in.read(buffer.data(), Chunk);
        if (got < 0)
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(plainPath, in.errorString()));
        if (got == 0)
            break;
        if (EVP_EncryptUpdate(c.get(), reinterpret_cast<unsigned char *>(encrypted.data()), &n,
                              reinterpret_cast<const unsigned char *>(buffer.constData()), int(got)) != 1)
            throw EngineError(EngineError::Kind::Crypto, QStringLiteral("AES-256-GCM nije uspeo"));
        if (!out.write(encrypted.constData(), n))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(sealedPath, out.errorString()));
    }
    QByteArray tag(TagSize, '\0');
    if (EVP_EncryptFinal_ex(c.get(), reinterpret_cast<unsigned char *>(encrypted.data()), &n) != 1 ||
        EVP_CIPHER_CTX_ctrl(c.get(), EVP_CTRL_GCM_GET_TAG, TagSize, tag.data()) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("AES-256-GCM nije uspeo"));
    if (!out.write(encrypted.constData(), n) || !out.write(tag) || !out.commit())
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(sealedPath, out.errorString()));
}

namespace {

// Checks the copy `sealedPath` whole and decrypts it into `plainPath` (nowhere when empty).
Label openCopy(const QString &sealedPath, const QString &plainPath, const QByteArray &key)
{
    requireKey(key);
    QFile in(sealedPath);
    if (!in.open(QIODevice::ReadOnly))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(sealedPath, in.errorString()));
    const qint64 size = in.size();
    QByteArray header = in.read(HeaderSize);
    if (header.size() < MagicSize || !header.startsWith(QByteArray(Magic, MagicSize)))
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1 nije kopija rezerve").arg(sealedPath));
    if (header.size() < MagicSize + 1 ||
        (header.at(MagicSize) != PlainVersion && header.at(MagicSize) != LabelledVersion))
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1: nepoznata verzija kopije").arg(sealedPath));
    const bool labelled = header.at(MagicSize) == LabelledVersion;
    if (size < HeaderSize + TagSize)
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1 je odsecena (%2 bajtova)").arg(sealedPath).arg(size));
    if (header.mid(MagicSize + 1, KeyIdSize) != keyId(key))
        throw EngineError(EngineError::Kind::Refused, 
            QStringLiteral("%1 je sifrovana drugim kljucem (pogresan kljuc)").arg(sealedPath));
    QByteArray labelText;
    if (labelled) {
        const QByteArray length = in.read(LabelLengthSize);
        if (length.size() != LabelLengthSize)
            throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1 je odsecena (%2 bajtova)").arg(sealedPath).arg(size));
        const quint32 m = quint32(quint8(length[0])) << 24 | quint32(quint8(length[1])) << 16 |
                          quint32(quint8(length[2])) << 8 | quint32(quint8(length[3]));
        if (m > MaxLabel || qint64(HeaderSize) + LabelLengthSize + m + TagSize > size)
            throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1 je izmenjena ili odsecena (zaglavlje)").arg(sealedPath));
        labelText = in.read(m);
        if (labelText.size() != qsizetype(m))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(sealedPath, in.errorString()));
        header += length + labelText;
    }
    const QByteArray nonce = header.mid(MagicSize + 1 + KeyIdSize, NonceSize);
    const Cipher c = cipher(key, nonce, false);
    int n = 0;
    if (EVP_DecryptUpdate(c.get(), nullptr, &n, reinterpret_cast<const unsigned char *>(header.constData()),
                          int(header.size())) != 1)
        throw EngineError(EngineError::Kind::Crypto, QStringLiteral("AES-256-GCM nije uspeo"));
    std::optional<platform::AtomicWriter> out;
    if (!plainPath.isEmpty())
        out.emplace(plainPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray buffer(Chunk, '\0');
    QByteArray decrypted(Chunk + 16, '\0');
    qint64 left = size - header.size() - TagSize;
    while (left > 0) {
        const qint64 got = in.read(buffer.data(), std::min(left, Chunk));
        if (got <= 0)
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(sealedPath, in.errorString()));
        left -= got;
        if (EVP_DecryptUpdate(c.get(), reinterpret_cast<unsigned char *>(decrypted.data()), &n,
                              reinterpret_cast<const unsigned char *>(buffer.constData()), int(got)) != 1)
            throw EngineError(EngineError::Kind::Crypto, QStringLiteral("AES-256-GCM nije uspeo"));
        if (out && !out->write(decrypted.constData(), n))
            throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(plainPath, out->errorString()));
    }
    QByteArray tag = in.read(TagSize);
    if (tag.size() != TagSize ||
        EVP_CIPHER_CTX_ctrl(c.get(), EVP_CTRL_GCM_SET_TAG, TagSize, tag.data()) != 1 ||
        EVP_DecryptFinal_ex(c.get(), reinterpret_cast<unsigned char *>(decrypted.data()), &n) != 1)
        throw EngineError(EngineError::Kind::Damaged, QStringLiteral("%1 je izmenjena ili odsecena: provera kopije (GCM) nije "
                                         "prosla, nista nije promenjeno")
                              .arg(sealedPath));
    // Only now, the whole file checked, is the label believed.
    Label label;
    if (labelled)
        label = Label::decode(labelText);
    else
        label.version = 1;
    if (out && (!out->write(decrypted.constData(), n) || !out->commit()))
        throw EngineError(EngineError::Kind::File, QStringLiteral("%1: %2").arg(plainPath, out->errorString()));
    return label;
}

} // namespace

Label unseal(const QString &sealedPath, const QString &plainPath, const QByteArray &key)
{
    return openCopy(sealedPath, plainPath, key);
}

Label inspect(const QString &sealedPath, const QByteArray &key)
{
    return openCopy(sealedPath, QString(), key);
}

} // namespace desk::sealed
