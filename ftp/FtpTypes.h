#pragma once
// Enumerations and plain records shared by the FTP component and its users: the kinds of
// informational notices and errors, the values the component may ask for, proxy kinds,
// server kinds and transfer types. The numeric values are part of the component's
// interface (applications store and compare them) and never change.

#include <QString>

namespace ftp {

enum FtpInfo : int {
    infoConnected = 0,
    infoDisconnected = 1,
    infoResolvingHost = 2,
    infoReplyReceived = 3,
    infoCommandSent = 4,
    infoBusy = 5,
    infoResumeSupported = 6,
    infoUnused7 = 7,
    infoTransferProgress = 8,
    infoUnused9 = 9,
    infoTransferComplete = 10,
    infoUnused11 = 11,
    infoLoggedIn = 12,
    infoFileSize = 13,
    infoUnused14 = 14,
    infoUnused15 = 15,
    infoMultiLineReply = 16,
    infoResumeNotSupported = 17,
    infoRetrying = 18,
    infoHostResolved = 19,
    infoNothingToDo = 20,
    infoRetryFinished = 21,
    infoUnused22 = 22,
    infoTlsEstablished = 23, // protocol, cipher and the server's key fingerprint
};

enum FtpError : int {
    errUnspecified = 0,
    errNetworkDown = 1,
    errInvalidAddress = 2,
    errInternal = 3,
    errWinsock = 4,
    errConnectionAborted = 5,
    errConnectionReset = 6,
    errTimedOut = 7,
    errOutOfSockets = 8,
    errNetworkUnreachable = 9,
    errAddressNotAvailable = 10,
    errConnectionRefused = 11,
    errCommandFailed = 12,
    errUnused13 = 13,
    errUnused14 = 14,
    errHostNotFound = 15,
    errUnused16 = 16,
    errHostUnreachable = 17,
    errNoServer = 18,
    errUnused19 = 19,
    errLocalFileOpen = 20,
    errLocalFileWrite = 21,
    errLocalFileRead = 22,
    errNoRemoteFile = 23,
    errUnused24 = 24,
    errConnectRejected = 25,
    errLoginFailed = 26,
    errDataConnection = 27,
    errResumeFailed = 28,
    errAccessDenied = 29,
    errTlsRefused = 30,   // the server refused AUTH TLS (or PBSZ/PROT)
    errTlsHandshake = 31, // the TLS handshake or a protected read or write failed
    errTlsUntrusted = 32, // the server's certificate or key is not trusted
};

// Whether and how the connections are protected with TLS: not at all, explicitly ("AUTH
// TLS" after the welcome), or implicitly (TLS from the first byte, port 990).
enum TMFtpTlsMode : int {
    tlsNone = 0,
    tlsExplicit = 1,
    tlsImplicit = 2,
};

enum TMFtpInfoNeeded : int {
    needAccount = 0,
    needServer = 1,
    needLocalFile = 2,
    needResumeChoice = 3,
    needPassword = 4,
    needUsername = 5,
};

enum TMFtpProxyType : int {
    proxyNone = 0,
    proxyHost = 1,
    proxyHostUser = 2,
    proxyOpen = 3,
    proxySite = 4,
    proxyUserSite = 5,
};

enum TMFtpServerType : int {
    ftpstAutoDetect = 0,
    ftpstDefault = 1,
    ftpstUNIX = 2,
    ftpstULTRIX = 3,
    ftpstClix = 4,
    ftpstChameleon = 5,
    ftpstNCSA = 6,
    ftpstQVT = 7,
    ftpstBSD = 8,
    ftpstSunOS = 9,
    ftpstVmsMultinet = 10,
    ftpstVmsUcx = 11,
    ftpstMVS = 12,
    ftpstVM = 13,
    ftpstVMVPS = 14,
    ftpstMSFTP = 15,
    ftpstNetTerm = 16,
    ftpstServU = 17,
    ftpstWFTPD = 18,
    ftpWarFTPD = 19,
    ftpstNetware = 20,
    ftpstNetPresenz = 21,
};

enum TMFtpTransferType : int {
    AsciiTransfer = 0,
    BinaryTransfer = 1,
};

// One remote directory entry as a listing would describe it. No operation of the
// component fills one; the type exists for the OnFileFound event's signature.
struct MFtpFileInfo
{
    QString Attributes;
    QString DateTime;
    QString Size;
    QString Description;
    QString Name;
    QString Owner;
    QString Group;
    QString Links;
    QString Extra;
};

} // namespace ftp
