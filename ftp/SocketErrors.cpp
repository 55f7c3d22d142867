// The one table of socket errors: which POSIX errno values give a code, and which FtpError
// and text the code is reported with.

#include "SocketErrors.h"

#include <netdb.h>

#include <cerrno>

namespace ftp {

namespace {

// A text of nullptr reports the code as an unexpected internal error that names it.
struct SocketErrorRow
{
    SocketError code;
    int errnos[2]; // the errno values that give this code (0: none)
    FtpError kind;
    const char *text;
};

constexpr const char *GeneralError = "General Winsock Error";
constexpr const char *ResolutionError = "Address resolution error";

constexpr SocketErrorRow Rows[] = {
    {sockInterrupted, {EINTR, 0}, errInternal, nullptr},
    {sockAccessDenied, {EACCES, EPERM}, errInvalidAddress, "Invalid address specified"},
    {sockBadAddress, {EFAULT, 0}, errInternal, nullptr},
    {sockInvalidArgument, {EINVAL, 0}, errInternal, ""},
    {sockTooManyFiles, {EMFILE, ENFILE}, errOutOfSockets, "Out of sockets"},
    {sockWouldBlock, {EAGAIN, EINPROGRESS}, errInternal, nullptr},
    {sockAlreadyInProgress, {EALREADY, 0}, errInternal, nullptr},
    {sockNotSocket, {EBADF, ENOTSOCK}, errInternal, nullptr},
    {sockDestinationRequired, {EDESTADDRREQ, 0}, errInternal, nullptr},
    {sockMessageTooLong, {EMSGSIZE, 0}, errInternal, nullptr},
    {sockWrongProtocolType, {EPROTOTYPE, 0}, errInternal, nullptr},
    {sockBadProtocolOption, {ENOPROTOOPT, 0}, errInternal, nullptr},
    {sockProtocolNotSupported, {EPROTONOSUPPORT, 0}, errInternal, nullptr},
    {sockSocketTypeNotSupported, {ESOCKTNOSUPPORT, 0}, errInternal, nullptr},
    {sockOperationNotSupported, {EOPNOTSUPP, 0}, errInternal, nullptr},
    {sockProtocolFamilyNotSupported, {EPFNOSUPPORT, 0}, errInternal, nullptr},
    {sockAddressFamilyNotSupported, {EAFNOSUPPORT, 0}, errInternal, nullptr},
    {sockAddressInUse, {EADDRINUSE, 0}, errInternal, nullptr},
    {sockAddressNotAvailable, {EADDRNOTAVAIL, 0}, errAddressNotAvailable, "Address not available"},
    {sockNetworkDown, {ENETDOWN, 0}, errNetworkDown, "Network down"},
    {sockNetworkUnreachable, {ENETUNREACH, 0}, errNetworkUnreachable, "Network unreachable"},
    {sockNetworkReset, {ENETRESET, 0}, errWinsock, GeneralError},
    {sockConnectionAborted, {ECONNABORTED, 0}, errConnectionAborted,
     "Connection aborted due to timeout or other failure"},
    {sockConnectionReset, {ECONNRESET, EPIPE}, errConnectionReset, "Connection reset by remote side"},
    {sockNoBufferSpace, {ENOBUFS, ENOMEM}, errWinsock, GeneralError},
    {sockAlreadyConnected, {EISCONN, 0}, errInternal, nullptr},
    {sockNotConnected, {ENOTCONN, 0}, errInternal, nullptr},
    {sockShutDown, {ESHUTDOWN, 0}, errInternal, nullptr},
    {sockTimedOut, {ETIMEDOUT, 0}, errTimedOut, "Connection timed out"},
    {sockConnectionRefused, {ECONNREFUSED, 0}, errConnectionRefused, "Connection Refused"},
    {sockHostDown, {EHOSTDOWN, 0}, errInternal, nullptr},
    {sockHostUnreachable, {EHOSTUNREACH, 0}, errHostUnreachable, "Host unreachable"},
    {sockHostNotFound, {0, 0}, errHostNotFound, ResolutionError},
    {sockTryAgain, {0, 0}, errHostNotFound, ResolutionError},
    {sockLookupFailed, {0, 0}, errHostNotFound, ResolutionError},
    {sockNoAddress, {0, 0}, errHostNotFound, ResolutionError},
};

} // namespace

quint16 SocketErrorFromErrno(int err)
{
    if (err == 0)
        return sockNoError;
    for (const SocketErrorRow &row : Rows) {
        if (row.errnos[0] == err || row.errnos[1] == err)
            return row.code;
    }
    return static_cast<quint16>(10000 + (err & 0x3FFF));
}

quint16 SocketErrorFromLookup(int result)
{
    switch (result) {
    case 0:
        return sockNoError;
    case EAI_NONAME:
    case EAI_FAIL:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return sockHostNotFound;
    default:
        return sockLookupFailed;
    }
}

SocketErrorReport ReportForSocketError(quint16 code)
{
    for (const SocketErrorRow &row : Rows) {
        if (row.code == code && row.text)
            return {row.kind, QString::fromLatin1(row.text)};
    }
    return {errInternal,
            QStringLiteral("Unexpected internal error in component (WinSock Error Code: %1)")
                .arg(code)};
}

} // namespace ftp
