#pragma once
// The component's socket error codes and how each is reported. A socket leaves one of
// these numbers in LastError; they keep the numbering of the Windows Sockets error table
// (10000 plus the BSD errno, 11001 and up for host lookups), since applications store and
// compare them. This header and SocketErrors.cpp are the only place that knows which
// POSIX errno gives which code and which code becomes which FtpError.

#include "FtpTypes.h"

#include <QString>

namespace ftp {

enum SocketError : quint16 {
    sockNoError = 0,
    sockInterrupted = 10004,
    sockAccessDenied = 10013, // also: a connection from a peer other than the expected one
    sockBadAddress = 10014,
    sockInvalidArgument = 10022,
    sockTooManyFiles = 10024,
    sockWouldBlock = 10035,
    sockAlreadyInProgress = 10037,
    sockNotSocket = 10038,
    sockDestinationRequired = 10039,
    sockMessageTooLong = 10040,
    sockWrongProtocolType = 10041,
    sockBadProtocolOption = 10042,
    sockProtocolNotSupported = 10043,
    sockSocketTypeNotSupported = 10044,
    sockOperationNotSupported = 10045,
    sockProtocolFamilyNotSupported = 10046,
    sockAddressFamilyNotSupported = 10047,
    sockAddressInUse = 10048,
    sockAddressNotAvailable = 10049,
    sockNetworkDown = 10050,
    sockNetworkUnreachable = 10051,
    sockNetworkReset = 10052,
    sockConnectionAborted = 10053,
    sockConnectionReset = 10054,
    sockNoBufferSpace = 10055,
    sockAlreadyConnected = 10056,
    sockNotConnected = 10057,
    sockShutDown = 10058,
    sockTimedOut = 10060,
    sockConnectionRefused = 10061,
    sockHostDown = 10064,
    sockHostUnreachable = 10065,
    sockHostNotFound = 11001,
    sockTryAgain = 11002,
    sockLookupFailed = 11003,
    sockNoAddress = 11004, // the name is known but has no IPv4 address
    // TLS outcomes, beyond the socket codes.
    sockTlsHandshake = 12100, // the handshake failed
    sockTlsUntrusted = 12101, // the server is not trusted
    sockTlsIo = 12102,        // a protected read or write failed
};

// The code of a POSIX errno value (0 for 0). A value the table does not know keeps the
// shape 10000 + errno, so that it still reads as an unexpected socket error.
quint16 SocketErrorFromErrno(int err);

// The code of a failed host lookup (a getaddrinfo result; 0 for success).
quint16 SocketErrorFromLookup(int result);

// How the component reports a socket error code other than a TLS one: the FtpError kind
// and the text of the error notice.
struct SocketErrorReport
{
    FtpError kind;
    QString text;
};
SocketErrorReport ReportForSocketError(quint16 code);

} // namespace ftp
