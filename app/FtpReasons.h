#pragma once

// Why an FTP step failed, in the words shown to the cashier and the administrator: the
// upload's status line and the off-site copy's message. The two differ only where the file
// and the right refused are theirs.

#include "ftp/FtpTypes.h"

#include <QString>

struct FtpReasonWords
{
    QString accessRefused; // the server refused the file or the folder
    QString localFile;     // the local file could not be read or written
};

inline QString ftpFailureReason(ftp::FtpError error, const FtpReasonWords &words)
{
    using namespace ftp;
    switch (error) {
    case errConnectionRefused:
    case errConnectRejected:
    case errNoServer:
        return QStringLiteral("server ne prihvata vezu");
    case errHostNotFound:
    case errInvalidAddress:
        return QStringLiteral("server nije pronadjen");
    case errTimedOut:
        return QStringLiteral("server ne odgovara");
    case errConnectionAborted:
    case errConnectionReset:
        return QStringLiteral("veza sa serverom je prekinuta");
    case errNetworkDown:
    case errNetworkUnreachable:
    case errHostUnreachable:
    case errAddressNotAvailable:
        return QStringLiteral("mreza ili server nisu dostupni");
    case errLoginFailed:
        return QStringLiteral("server je odbio korisnicko ime ili lozinku");
    case errAccessDenied:
    case errNoRemoteFile:
        return words.accessRefused;
    case errCommandFailed:
        return QStringLiteral("server je odbio komandu");
    case errDataConnection:
        return QStringLiteral("veza za prenos podataka nije uspostavljena");
    case errLocalFileOpen:
    case errLocalFileRead:
    case errLocalFileWrite:
        return words.localFile;
    case errTlsRefused:
        return QStringLiteral("server ne podrzava sifrovanu vezu (FTPS)");
    case errTlsHandshake:
        return QStringLiteral("sifrovana veza nije uspostavljena");
    case errTlsUntrusted:
        return QStringLiteral("sertifikat servera nije potvrden (PROVERI VEZU na strani za back-up)");
    default:
        return QStringLiteral("greska pri prenosu");
    }
}
