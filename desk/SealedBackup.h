#pragma once

// The off-site copy of a backup: a backup file encrypted with AES-256-GCM (OpenSSL) under the
// shop's backup key, so that a copy on a USB disk or an FTP server gives away nothing of the
// journal and any change to it is found before it is used. The format (all of it documented
// in doc/guide.md, "Off-site backups"):
//
//   offset  size  what
//   0       8     magic "DVRREZ\r\n"
//   8       1     version: 1 (a journal backup alone) or 2 (the whole shop, with a label)
//   9       8     key id: the first 8 bytes of SHA-256 of the key (tells a wrong key from a
//                 changed file)
//   17      12    nonce (random, never used twice with one key)
//   version 2 only:
//   29      4     m, the label's length (big-endian, at most 65536)
//   33      m     the label: UTF-8 lines "NAME value" (Label below)
//   h       n     the payload encrypted (AES-256-GCM, n bytes for n bytes); h is 29 or 33+m
//   h+n     16    GCM tag
//
// The header (the first h bytes, label included) is the GCM's additional data: a change to
// any byte of the file, header included, fails the tag, so the label is as trustworthy as the
// payload, and only after the whole file was checked is it believed. The key is 32 random bytes; the recovery text writes
// it as 52 letters and digits (base 32 without I, L, O, U) and a four-character check, in
// groups of four, for the owner to write down.
//
// Failures throw engine::EngineError with a text ready to be shown; a file is written whole
// (through a temporary file renamed over it) or not at all.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace desk::sealed {

constexpr int KeySize = 32;
constexpr int HeaderSize = 29;
constexpr int TagSize = 16;

// 32 bytes from OpenSSL's random generator.
QByteArray newKey();
// The key as recovery text: "ABCD-EFGH-..." (14 groups of 4).
QString recoveryText(const QByteArray &key);
// The key a recovery text stands for. Case, spaces and dashes do not matter, and O, I and L
// are read as 0, 1 and 1; a text that is not one (a wrong length, a character outside the
// alphabet, a check that does not fit: a mistyped group) throws saying so.
QByteArray keyFromRecoveryText(const QString &text);
// The key's id as the header carries it.
QByteArray keyId(const QByteArray &key);

// What a version 2 copy says of itself, sealed in its header:
//   VREME      the backup's moment, yyyy-MM-ddTHH:mm:ss (the copy's name gives the same)
//   IDENTITET  the identity of the data directory it was made of (DataDirectory::identity)
//   GLAVA      the journal's chain head at the backup (hex); ZAPISA its record count
//   DOKUMENT   the journal's last document number (empty when none)
struct Label
{
    int version = 2; // 1 for an older copy: nothing below is known
    QDateTime sealedAt;
    QString identity;
    QByteArray chainHead;
    qint64 records = 0;
    QString lastDocument;
    QByteArray encode() const;
    static Label decode(const QByteArray &text); // throws when a line is not one of its own
};

// Encrypts the file `plainPath` into `sealedPath` with `key`: version 2 with `label`, or
// version 1 (the older form, a journal backup alone) without one.
void seal(const QString &plainPath, const QString &sealedPath, const QByteArray &key,
          const std::optional<Label> &label = std::nullopt);
// Checks and decrypts the file `sealedPath` into `plainPath` with `key`; returns its label
// (version 1: only `version` set). A file that is not such a copy, one of another key, a
// changed byte or a cut file is refused and `plainPath` is left as it was.
Label unseal(const QString &sealedPath, const QString &plainPath, const QByteArray &key);
// unseal() without writing anything: the label of a copy checked whole.
Label inspect(const QString &sealedPath, const QByteArray &key);

} // namespace desk::sealed
