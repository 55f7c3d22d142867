#pragma once
// Small text helpers of the FTP component that need no connection: the directory quoted
// in a 257-style reply, the drive-letter path conversion for servers that answer PWD with
// a DOS path, the address and port of a passive-mode reply and the arguments of PORT and
// EPRT. All are pure functions.

#include <QString>

namespace ftp::misc {

// The text between the first and the second double quote of a reply (at most 999
// characters); empty when the reply has fewer than two double quotes.
QString QuotedDirectory(const QString &reply);

// "/C:/dir" -> "/dir"; "C:\dir\sub" -> "/dir/sub". At most 999 characters.
QString StripDrivePrefix(const QString &directory);

// The address and port of a reply to PASV: the six comma-separated numbers between the
// first "(" and the ")" after it. Returns false (and leaves host and port alone) when the
// parenthesised part is missing, or does not hold exactly six numbers from 0 to 255.
bool ParsePasvAddress(const QString &reply, QString &host, quint16 &port);

// The argument of PORT for a dotted IPv4 address and a port: "192,168,1,5,4,210".
QString PortArgument(const QString &dottedAddress, quint16 port);

// The port of a reply to EPSV: "(|||6446|)", the delimiter being the character after "("
// (one of the printable characters 33 to 126). Returns false (port left alone) when the
// parenthesised part does not have that form or the port is not 1 to 65535.
bool ParseEpsvPort(const QString &reply, quint16 &port);

// The argument of EPRT for an address of either family and a port: "|2|::1|6446|".
QString EprtArgument(const QString &address, quint16 port);

} // namespace ftp::misc
