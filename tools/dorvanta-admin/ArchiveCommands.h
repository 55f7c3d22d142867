#pragma once

// The yearly archive an inspector can check without the program:
//   archive --year YYYY --output DIR   writes into DIR (new or empty):
//     promet-YYYY.csv            the year's journal in the export-csv form
//     izvestaj-YYYY-MM-DD.pdf    the daily cash report of every closed day of the year
//     dnevnik-YYYY.csv           the audit log's entries of the year
//     zakljucci-YYYY.csv         the year's day closes with their figures
//     brojaci-YYYY.csv           the document counters of the year
//     potpis-javni.pem           the shop's public signing key
//     MANIFEST                   "<sha256>  <name>" per file (the sha256sum form), after
//                                "#" lines naming the year, the chain head at the year's last
//                                record and each file's size
//     MANIFEST.sig               the Ed25519 signature of MANIFEST (64 bytes)
//   verify-archive DIR --fingerprint HEX   checks MANIFEST against its signature and the
//     public key against the fingerprint first (a name in MANIFEST with "/" or ".." is refused
//     and nothing is opened), then every file against MANIFEST; anything else in DIR, also in
//     a subfolder, is named as extra. Without --fingerprint the signer is not checked, which
//     the report says, and the status is 1.

#include <QString>

namespace admin {

// Writes the archive of `year` of the data directory `dir` into `output`; the reason it could
// not, empty on success (`summary` then names the files).
QString writeArchive(const QString &dir, int year, const QString &output, QString &summary);

// 0 when every file is as MANIFEST says, the signature fits and the key's fingerprint is the
// one given; 1 otherwise (also when none was given), `report` naming each changed, missing or
// added file; the fingerprint is in `report` either way.
int verifyArchive(const QString &archive, const QString &fingerprint, QString &report);

} // namespace admin
