#pragma once

// The FTP target of the off-site copies: the server of the data directory's upload option
// (podaci/ftpop.txt: its server, user, password, port, passive mode, "FTPS" and the trusted
// key), copies in the folder dorvanta-rezerva/ under the login folder there. One FTP session
// per target, opened at its first use and ended with the target, run synchronously (the
// caller's thread processes events while it waits: the window's progress dialog keeps being
// drawn). A copy is stored as NAME.part and renamed to NAME once whole; a failed store
// deletes the .part. Failures throw engine::EngineError naming the server and its reply.
//
// The program and dorvanta-admin register it at their start: registerFtpTarget().

#include "desk/Offsite.h"

#include <QString>

#include <memory>

namespace offsite_ftp {

// The folder of the copies on the server, relative to the login folder.
inline const QString Folder = QStringLiteral("dorvanta-rezerva");

// The FTP target of the data directory `dir`. Reads nothing and connects nowhere until used:
// an upload option that is not set up fails the first operation, saying so.
std::unique_ptr<desk::offsite::Target> target(const QString &dir);

// desk::offsite::setFtpTargetFactory(target).
void registerFtpTarget();

} // namespace offsite_ftp
