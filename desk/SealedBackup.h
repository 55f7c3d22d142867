#pragma once

// The off-site copy of a backup: a backup file encrypted with AES-256-GCM (OpenSSL) under the
// shop's backup key, so that a copy on a USB disk or an FTP server gives away nothing of the
// journal and any change to it is found before it is used. The format (all of it documented
// in the README, "Off-site backups"):
//
//   offset  size  what
//   0       8     magic "DVRREZ\r\n"
//   8       1     version, 1
//   9       8     key id: the first 8 bytes of SHA-256 of the key (tells a wrong key from a
//                 changed file)
//   17      12    nonce (random, never used twice with one key)
//   29      n     the backup file encrypted (AES-256-GCM, n bytes for n bytes)
//   29+n    16    GCM tag
//
// The first 29 bytes (the header) are the GCM's additional data: a change to any byte of the
// file, header included, fails the tag. The key is 32 random bytes; the recovery text writes
// it as 52 letters and digits (base 32 without I, L, O, U) and a four-character check, in
// groups of four, for the owner to write down.
//
// Failures throw engine::EngineError with a text ready to be shown; a file is written whole
// (through a temporary file renamed over it) or not at all.

#include <QByteArray>
#include <QString>

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

// Encrypts the file `plainPath` into `sealedPath` with `key`.
void seal(const QString &plainPath, const QString &sealedPath, const QByteArray &key);
// Checks and decrypts the file `sealedPath` into `plainPath` with `key`. A file that is not
// such a copy, one of another key, a changed byte or a cut file is refused and `plainPath` is
// left as it was.
void unseal(const QString &sealedPath, const QString &plainPath, const QByteArray &key);

} // namespace desk::sealed
