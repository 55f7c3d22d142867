#pragma once

// The shop's signing key: an Ed25519 key pair (OpenSSL) that signs the yearly archive's
// MANIFEST, so that an inspector can tell the archive is the one the shop wrote. Kept in the
// data directory:
//   podaci/potpis-kljuc.pem   the private key (PKCS#8 PEM), readable by its owner only
//   podaci/potpis-javni.pem   the public key (SubjectPublicKeyInfo PEM), copied into archives
// Its fingerprint is SHA-256 of the public key's DER form (what `openssl pkey -pubin -in
// potpis-javni.pem -outform DER | sha256sum` prints), 64 hex digits; the daily report and
// `dorvanta-admin verify` print it.
//
// Failures throw engine::EngineError with a text ready to be shown.

#include <QByteArray>
#include <QDate>
#include <QString>

namespace desk::signing {

// Makes the key pair of the data directory `dir` when it has none (dorvanta-init, the first
// start of an older data directory); true when one was made. A key made is logged ("NOV KLJUC
// POTPISA" with its fingerprint) and its day kept in podaci/potpis-novi.txt, so that the daily
// reports say from when their fingerprint holds; a restore that brings the shop's key back
// removes that file.
bool ensureKey(const QString &dir);
// What a daily report of `day` prints as the key's fingerprint: the fingerprint, and after a key
// made on or before `day`, " (NOV KLJUC od DD/MM/YYYY)"; empty when there is no key.
QString reportedFingerprint(const QString &dir, const QDate &day);
// The file that keeps a new key's day.
QString newKeyFile(const QString &dir);
bool hasKey(const QString &dir);
// The public key's PEM text.
QByteArray publicKey(const QString &dir);
// The fingerprint of a public key's PEM text; throws when it is not an Ed25519 key.
QString fingerprint(const QByteArray &publicPem);
// The fingerprint of the data directory's key; empty when it has none.
QString fingerprintOf(const QString &dir);
// The 64-byte Ed25519 signature of `data` with the data directory's private key.
QByteArray sign(const QString &dir, const QByteArray &data);
// Whether `signature` is the signature of `data` by the public key `publicPem`.
bool verify(const QByteArray &publicPem, const QByteArray &data, const QByteArray &signature);

} // namespace desk::signing
