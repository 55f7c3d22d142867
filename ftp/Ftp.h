#pragma once
// TMFtp: an event-driven FTP client component over TMSocket. The inherited socket is the
// control connection; DataSocket and ListenSocket carry data connections. Operations
// return at once (transfers can be made to wait with Asynchronous = false) and report
// through the handler slots On...; the component never throws and never shows anything.
// A failed operation is reported once, through OnFtpError with its FtpError kind and a
// text (kept as LastErrorKind and LastErrorText); a socket's own failures are codes of
// SocketErrors.h in LastError. Everything here is in namespace ftp, under the names its
// users know (TMFtp, infoBusy, errTimedOut, ...).
//
// The conversation with the server is a chain of continuations: SendCommand sends one
// command line and registers the member function that receives its final reply line;
// that function sends the next command, and the last step posts the operation-done
// notification, whose handling raises OnFtpReady and the operation's own event. Every
// handler runs from the owning thread's event loop; waiting loops process events, so
// handlers may nest, and the component guards itself with flags, not locks.
//
// The component does not trust the server: a final reply answers a command only when it
// arrived after the command was sent; reply lines and replies are bounded; TimeOut bounds
// every wait for a reply and every stall of a data connection; no command carries a line
// end; data connections go only to (PASV, EPSV) and come only from (PORT, EPRT) the
// control connection's peer; a download changes the local file only once RETR is accepted; and a
// transfer that moved less than the whole file ends with an error, not OnFileReceived or
// OnFileStored. Notices about a data connection's address come as infoHostResolved.
//
// The session (connection, replies, retries, keep-alive) is in FtpSession.cpp, the login
// dialogue in FtpLogin.cpp, data connections, file transfers and name listings in
// FtpTransfer.cpp (folder making and the other one-command operations in FtpSession.cpp), FTP
// over TLS (AUTH TLS, PBSZ, PROT, protected data connections) in FtpTlsSession.cpp on the
// OpenSSL channel of FtpTls.h.

#include "FTPSock.h"
#include "FtpTypes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <iterator>
#include <memory>

namespace ftp {

class TMTlsContext;

enum TMFtpOperation : int {
    opNone = 0,
    opLogin = 1,
    opDownload = 10,
    opUpload = 12,
    opRename = 14,
    opDelete = 15,
    opListNames = 16,
    opMakeDirectory = 17,
    opKeepAlive = 19,
};

// Where the control connection is: one state, changed only through TMFtp::SetState (which
// traces each change when the environment variable DORVANTA_FTP_TRACE is set).
enum class TMFtpState : int {
    Idle = 0,        // no connection and none being made
    Connecting,      // looking up the server's name or connecting to its address
    TryingAddresses, // connecting to the further addresses of the looked-up name
    Connected,       // the connection is up: welcome, login dialogue, operations
    RetryWait,       // the connection closed during the login: waiting out RetryInterval
};
inline constexpr const char *stateNames[] = {"Idle", "Connecting", "TryingAddresses",
                                             "Connected", "RetryWait"};
inline const char *stateName(TMFtpState state)
{
    return stateNames[static_cast<int>(state)];
}

// How far the transfer command of the running transfer has got: one phase, changed only
// through TMFtp::SetTransferPhase (traced like the state). A download or a listing goes from
// Preparing to CommandSent (RETR or NLST went out) to Accepted (its 1xx or final reply, or its
// first data byte); an upload from Preparing to Accepted (STOR answered), through SendWaiting
// when the data connection was ready to send before that answer, and to AllSent once the whole
// local file went out.
enum class TMFtpTransferPhase : int {
    Preparing = 0, // the transfer command has not gone out
    CommandSent,   // RETR or NLST went out; data that comes now is the file
    SendWaiting,   // ready to send before the server answered STOR
    Accepted,      // the server took the command; an upload's data may flow
    AllSent,       // the whole local file went out
};
inline constexpr const char *transferPhaseNames[] = {"Preparing", "CommandSent", "SendWaiting",
                                                     "Accepted", "AllSent"};
static_assert(std::size(transferPhaseNames)
              == static_cast<size_t>(TMFtpTransferPhase::AllSent) + 1);
inline const char *transferPhaseName(TMFtpTransferPhase phase)
{
    return transferPhaseNames[static_cast<int>(phase)];
}

class TMFtp : public TMSocket
{
public:
    using NotifyEvent = std::function<void(TMFtp *sender)>;
    using InfoEvent = std::function<void(TMFtp *sender, FtpInfo info, const QString &addinfo)>;
    using ErrorEvent = std::function<void(TMFtp *sender, FtpError error, const QString &addinfo)>;
    using InfoNeededEvent =
        std::function<void(TMFtp *sender, TMFtpInfoNeeded need, QString &value)>;
    using FileFoundEvent = std::function<void(TMFtp *sender, const MFtpFileInfo &fileFound,
                                              const QString &location, bool directory)>;

    // Notifications the component posts to its own notification window.
    static constexpr unsigned MsgDisconnected = TMNotifyWindow::WM_USER + 2;   // 1026
    static constexpr unsigned MsgOperationDone = TMNotifyWindow::WM_USER + 4;  // 1028

    explicit TMFtp(QObject *owner = nullptr);
    ~TMFtp() override;

    // Operations.
    void Login();
    void DownloadFile(const QString &remoteFile, const QString &localFile);
    void UploadFile(const QString &localFile, const QString &remoteFile);
    // Renames a remote file (RNFR, RNTO), replacing a file of the new name where the server
    // allows it. Ends with OnFtpReady and OnFileRenamed, after an error it reported too.
    void RenameFile(const QString &from, const QString &to);
    // Deletes a remote file (DELE). Ends with OnFtpReady and OnFileDeleted, after an error
    // it reported too.
    void DeleteFile(const QString &remoteFile);
    // Lists the names in a remote folder (NLST; the current one when empty) over a data
    // connection set up as for a download, into NameList(): base names (a server that
    // answers "folder/name" has the folder taken off), without "." and "..". An empty folder
    // lists as no names, also where the server refuses NLST with "No files found". Ends with
    // OnFtpReady and OnListingDone; waits for the end when Asynchronous is false.
    void ListNames(const QString &remoteFolder);
    QStringList NameList() const { return m_nameList; }
    // Makes a remote folder (MKD). With existingIsFine, a refused MKD is no error when the
    // folder is there (a CWD into it works; the current folder is entered again after it).
    // Ends with OnFtpReady and OnDirectoryCreated; waits for the end when Asynchronous is
    // false.
    void MakeDirectory(const QString &remoteFolder, bool existingIsFine = false);
    void Quit();
    // Close() (inherited) closes the control connection at once.

    // Published properties.
    bool Asynchronous() const { return m_asynchronous; }
    void SetAsynchronous(bool value);
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool value) { m_multiThreaded = value; }
    quint16 NoopInterval() const { return static_cast<quint16>(m_noopTimer.interval() / 1000); }
    void SetNoopInterval(quint16 seconds);
    QString Username() const { return m_username; }
    void SetUsername(const QString &value) { m_username = value; }
    QString Password() const { return m_password; }
    void SetPassword(const QString &value) { m_password = value; }
    QString Account() const { return m_account; }
    void SetAccount(const QString &value) { m_account = value; }
    QString ProxyUsername() const { return m_proxyUsername; }
    void SetProxyUsername(const QString &value) { m_proxyUsername = value; }
    QString ProxyPassword() const { return m_proxyPassword; }
    void SetProxyPassword(const QString &value) { m_proxyPassword = value; }
    int Retries() const { return m_retries; }
    void SetRetries(int value) { m_retries = value; }
    quint16 RetryInterval() const { return m_retryInterval; }
    void SetRetryInterval(quint16 seconds) { m_retryInterval = seconds; }
    TMFtpServerType ServerType() const { return m_serverType; }
    void SetServerType(TMFtpServerType value) { m_serverType = value; }
    QString InitialDirectory() const { return m_initialDirectory; }
    void SetInitialDirectory(const QString &value) { m_initialDirectory = value; }
    QString FileMask() const { return m_fileMask; }
    void SetFileMask(const QString &value) { m_fileMask = value; }
    bool Cache() const { return m_cache; }
    void SetCache(bool value) { m_cache = value; }
    int CacheExpire() const { return m_cacheExpire; }
    void SetCacheExpire(int days) { m_cacheExpire = days; }
    TMFtpTransferType TransferMode() const { return m_transferMode; }
    void SetTransferMode(TMFtpTransferType value) { m_transferMode = value; }
    TMFtpProxyType ProxyType() const { return m_proxyType; }
    void SetProxyType(TMFtpProxyType value) { m_proxyType = value; }
    QString ProxyServer() const { return m_proxyServer; }
    void SetProxyServer(const QString &value) { m_proxyServer = value; }
    int ProxyPort() const { return m_proxyPort; }
    void SetProxyPort(int value) { m_proxyPort = value; }
    bool Passive() const { return m_passive; }
    void SetPassive(bool value) { m_passive = value; }
    QString Version() const { return QStringLiteral("Vantor FTP 0.4.7"); }
    void SetVersion(const QString &value) { m_writtenVersion = value; }
    // Port, Server (SetServer) and TimeOut are the socket's fields.

    // TLS (FtpTlsSession.cpp). Tls: tlsNone after construction; choosing tlsImplicit moves
    // a Port of 21 to 990 and back. TlsVerify: the chain is checked against the system's
    // trusted certificates (and TlsCaFile's) and the host name is matched. TlsPinnedSha256:
    // empty, or the server key's fingerprint ("sha256//" + Base64), trusted instead of the
    // chain.
    TMFtpTlsMode Tls() const { return m_tls; }
    void SetTls(TMFtpTlsMode value);
    bool TlsVerify() const { return m_tlsVerify; }
    void SetTlsVerify(bool value) { m_tlsVerify = value; }
    QString TlsPinnedSha256() const { return m_tlsPinned; }
    void SetTlsPinnedSha256(const QString &value) { m_tlsPinned = value; }
    QString TlsCaFile() const { return m_tlsCaFile; }
    void SetTlsCaFile(const QString &value) { m_tlsCaFile = value; }
    // The key fingerprint the server showed in the last handshake (also when it was not
    // trusted), and the protocol and cipher negotiated; empty before.
    QString TlsFingerprint() const { return m_tlsFingerprint; }
    QString TlsProtocol() const { return m_tlsProtocol; }
    QString TlsCipher() const { return m_tlsCipher; }
    // Whether the control connection is protected now.
    bool TlsActive() const { return m_tlsActive; }

    // Public state.
    quint64 BytesTransferred() const { return m_bytesTransferred; }
    qint64 ElapsedTicks() const { return m_elapsedTicks; }
    QString CurrentDirectory() const { return m_currentDirectory; }
    QString LastReply() const { return m_lastReply; }
    QStringList ReplyLines() const { return m_replyLines; }
    FtpError LastErrorKind() const { return m_lastErrorKind; }
    QString LastErrorText() const { return m_lastErrorText; }

    // State of the control connection, for the application's and the tests' eyes.
    bool Busy() const { return m_busy; }
    bool LoggedIn() const { return m_loggedIn; }
    // Also through a retry wait that began on an established connection.
    bool ControlConnected() const
    {
        return m_state == TMFtpState::Connected
               || (m_state == TMFtpState::RetryWait && m_waitFromConnected);
    }
    TMFtpState State() const { return m_state; }
    // Whether the attempts of the last Login go on: looking up, connecting, waiting to
    // retry or in the login dialogue. False once it logged in or failed for good.
    bool LoginRunning() const
    {
        return LookupPending() || Connecting() || m_state == TMFtpState::RetryWait
               || (ControlConnected() && m_currentOperation == opLogin);
    }
    TMFtpOperation CurrentOperation() const { return m_currentOperation; }
    bool OperationOk() const { return m_operationOk; }
    bool ResumeSupported() const { return m_resumeSupported; }
    bool SizeSupported() const { return m_sizeSupported; }
    bool NoopSupported() const { return m_noopSupported; }
    QString CurrentType() const { return m_currentType; }
    TMSocket *DataSocket() { return &m_dataSocket; }
    TMSocket *ListenSocket() { return &m_listenSocket; }

    // Events.
    InfoEvent OnFtpInfo;
    InfoNeededEvent OnFtpNeedInfo;
    NotifyEvent OnFtpReady;
    ErrorEvent OnFtpError;
    NotifyEvent OnLoggedIn;
    NotifyEvent OnDirectoryChanged;
    NotifyEvent OnDirectoryCreated;
    NotifyEvent OnDirectoryDeleted;
    NotifyEvent OnFileDeleted;
    FileFoundEvent OnFileFound;
    NotifyEvent OnIndexFileReceived;
    NotifyEvent OnFileReceived;
    NotifyEvent OnFileStored;
    NotifyEvent OnListingDone;
    NotifyEvent OnFileRenamed;
    NotifyEvent OnFtpQuit;
    NotifyEvent OnFileTransferred;
    NotifyEvent OnFtpBusy;
    NotifyEvent OnAborted;
    NotifyEvent OnResolvedLinks;

protected:
    // A step of the dialogue: receives a final reply line.
    using Continuation = void (TMFtp::*)(const QString &reply);

    // Session engine (FtpSession.cpp).
    void HostResolved() override;
    void StartConnect();
    bool ConnectNextAddress();
    void HandleConnected();
    void HandleClosed();
    void HandleReadable();
    void HandleTimeout();
    void ProcessReplyLine(const QString &line);
    void SendCommand(const QString &command, Continuation handler);
    void RefuseCommand();
    void TouchActivity() { m_lastActivity.start(); }
    void WatchdogTick();
    bool BeginOperation();
    // The start both transfers share: begins operation with the two file names, or ends
    // it with an error when one is empty. Returns whether the transfer goes on.
    bool BeginTransfer(TMFtpOperation operation, const QString &remoteFile,
                       const QString &localFile);
    void FinishOperation();
    void HandleNotification(TMMessage &message);
    void ReportInfo(FtpInfo kind, const QString &text = QString());
    void ReportError(FtpError kind);
    // Reports the error and ends the operation (OnFtpReady follows).
    void EndWithError(FtpError kind) { ReportError(kind); FinishOperation(); }
    void EndWithTransferRefused(const QString &reply);
    void Fail(FtpError kind);
    bool CheckSocketError();
    enum class RetryOutcome { RetriesUsedUp, Retried, Nothing };
    RetryOutcome RetryConnect();
    void ReportDisconnected();
    void NoopTick();
    void HandleNoopReply(const QString &reply);
    void HandleQuitReply(const QString &reply);
    void HandleRnfrReply(const QString &reply);
    void HandleCompletionReply(const QString &reply);
    void HandleMkdReply(const QString &reply);
    void HandleMkdProbeReply(const QString &reply);
    void PumpMessages();
    void WaitForEvents();
    void StartNoopTimer();
    void StopNoopTimer();
    QString AskFor(TMFtpInfoNeeded need, const QString &current);

    // Login dialogue (FtpLogin.cpp).
    void HandleWelcome(const QString &reply);
    void HandleHostReply(const QString &reply);
    void HandleOpenReply(const QString &reply);
    void HandleProxyUserReply(const QString &reply);
    void HandleProxyPassReply(const QString &reply);
    void HandleSiteReply(const QString &reply);
    void HandleUserReply(const QString &reply);
    void HandlePassReply(const QString &reply);
    void HandleAcctReply(const QString &reply);
    void BeginClosingStages();
    void HandleSystReply(const QString &reply);
    void SendRestProbe(const QString &reply);
    void HandleRestProbeReply(const QString &reply);
    void EnterInitialDirectory(const QString &reply);
    void HandleInitialCwdReply(const QString &reply);
    void HandlePwdReply(const QString &reply);
    void RestoreRealServer();

    // TLS (FtpTlsSession.cpp).
    bool TlsWanted() const { return m_tls != tlsNone; }
    void ResetTlsState();
    void HandleAuthTlsReply(const QString &reply);
    TMTlsSettings TlsSettings() const;
    void StartControlTls();
    void ControlTlsDone();
    bool ProtectionPending() const { return m_tlsActive && !m_dataProtected; }
    void SendPbsz();
    void HandlePbszReply(const QString &reply);
    void HandleProtReply(const QString &reply);
    void ArmDataTls();
    void DataTlsDone();
    void FailTls(FtpError kind, const QString &text, bool retry);

    // Data connections and transfers (FtpTransfer.cpp).
    void ResetDataSockets();
    void CloseLocalFile();
    bool LocalFileAtEnd() const;
    void SetTransferType(const QString &type, Continuation next);
    void OpenDataConnection(const QString &reply);
    void HandlePasvReply(const QString &reply);
    bool ParsePasvReply(const QString &reply);
    QString BuildPortArgument();
    void DecideDownloadResume(const QString &reply);
    void HandleDownloadSizeReply(const QString &reply);
    void SendDownloadRest(const QString &reply);
    void SendRetr(const QString &reply);
    void SendRetrCommand();
    void HandleDownloadRestReply(const QString &reply);
    void HandleRetrReply(const QString &reply);
    void SendNlst(const QString &reply);
    void HandleNlstReply(const QString &reply);
    void TakeNameList();
    void StartUpload(const QString &reply);
    void HandleUploadSizeReply(const QString &reply);
    void SendUploadRest(const QString &reply);
    void SendStor(const QString &reply);
    void HandleUploadRestReply(const QString &reply);
    void HandleStorReply(const QString &reply);
    void HandleStorFinalReply(const QString &reply);
    void InstallDownloadHandlers();
    void InstallUploadHandlers();
    void DownloadConnected();
    void UploadConnected();
    void ReceiveData();
    void SendData();
    void DataClosed();
    void FinishTransfer();
    QString IncompleteTransfer() const;
    void AcceptRetr();
    void AcceptStor();
    bool AcceptDataConnection();
    void CancelTransfer();
    void WaitWhileBusy();

    // Properties.
    bool m_asynchronous = true;
    bool m_multiThreaded = false;
    QString m_username;
    QString m_password;
    QString m_account;
    QString m_proxyUsername;
    QString m_proxyPassword;
    int m_retries = 3;
    quint16 m_retryInterval = 15;
    TMFtpServerType m_serverType = ftpstAutoDetect;
    QString m_initialDirectory;
    QString m_fileMask;
    bool m_cache = true;
    int m_cacheExpire = 7;
    TMFtpTransferType m_transferMode = BinaryTransfer;
    TMFtpProxyType m_proxyType = proxyNone;
    QString m_proxyServer;
    int m_proxyPort = 21;
    bool m_passive = false;
    QString m_writtenVersion;

    // Public state.
    quint64 m_bytesTransferred = 0;
    qint64 m_elapsedTicks = 0;
    QString m_currentDirectory;
    QString m_lastReply;
    QStringList m_replyLines;
    FtpError m_lastErrorKind = errUnspecified;
    QString m_lastErrorText;

    // The control connection.
    bool m_busy = false;
    bool m_loggedIn = false;
    TMFtpState m_state = TMFtpState::Idle;
    bool m_waitFromConnected = false; // the retry wait began with the connection up
    void SetState(TMFtpState state);
    int m_retriesLeft = 0;
    bool m_reportDisconnection = false;
    Continuation m_replyHandler = nullptr;
    // A final reply answers the last command only when it was sent and the reply began
    // after it: offsets count the bytes received on this connection.
    bool m_awaitingReply = false;
    qint64 m_receivedTotal = 0;   // bytes received on the control connection
    qint64 m_commandOffset = 0;   // m_receivedTotal when the last command went out
    qint64 m_pendingOffset = 0;   // offset of m_pendingText's first byte
    qint64 m_lineOffset = 0;      // offset of the line being processed
    qsizetype m_scanFrom = 0;     // m_pendingText before this holds no line end
    QByteArray m_pendingText;
    bool m_inReplyHandler = false;
    bool m_inMultiLine = false;
    QString m_multiCode;
    QString m_multiText;
    TMFtpOperation m_currentOperation = opNone;
    bool m_operationOk = false;
    bool m_resumeSupported = false;
    bool m_sizeSupported = true;
    bool m_noopSupported = true;
    QString m_currentType;
    bool m_extendedPassive = false; // the server refused PASV: EPSV from then on
    QTimer m_noopTimer;
    bool m_noopTimerEnabled = false;
    // TimeOut bounds every wait for a reply and every stall of a data connection: the
    // watchdog ends the connection when nothing moved for that long.
    QTimer m_watchdog;
    QElapsedTimer m_lastActivity;
    int m_dataPending = 0; // bytes waiting on the data socket at the last watchdog tick
    quint64 m_tlsStepsSeen = 0; // TLS handshake steps of both connections at that tick
    // Bounds on what a server may make the client hold or read in one go.
    static constexpr int MaxReplyLine = 8 * 1024;
    static constexpr int MaxReplyText = 1024 * 1024;
    static constexpr int MaxControlReadPerEvent = 64 * 1024;
    static constexpr int MaxDataReadPerEvent = 1024 * 1024;
    // The real server while the connection goes to a proxy.
    bool m_serverSwapped = false;
    QString m_realServer;
    quint16 m_realPort = 0;

    // The transfer in progress. Sizes and offsets are 64-bit.
    QString m_localFileName;
    QString m_remoteFileName;
    QFile m_localStream;
    bool m_localFileOpen = false;
    Continuation m_transferStep = nullptr;
    bool m_dataDone = false;
    bool m_replyDone = false;
    bool m_transferFinished = false;
    bool m_inSendData = false;
    // A download changes the local file only once the server has accepted RETR; an upload
    // sends only once the server has accepted STOR.
    TMFtpTransferPhase m_transferPhase = TMFtpTransferPhase::Preparing;
    void SetTransferPhase(TMFtpTransferPhase phase);
    bool m_truncateOnAccept = false; // an overwrite: the file is cut when RETR is accepted
    bool m_localCreated = false;     // the download created the file; removed if refused
    qint64 m_announcedSize = -1;     // the size the 150 reply announced
    qint64 m_restOffset = 0;         // where a resumed download started
    qint64 m_downloadRemoteSize = 0;
    qint64 m_uploadRemoteSize = 0;
    qint64 m_uploadSize = 0;
    QElapsedTimer m_startTick;
    QElapsedTimer m_pumpClock; // when the send loop last processed messages
    // Both buffers live as long as the component; no block allocates. A plain upload reads
    // the file and hands it to the system a large block at a time (a read and a send per
    // small block would cost more than the bytes themselves); a protected one a TLS record
    // at a time.
    static constexpr int ReceiveBufferSize = 4096;
    static constexpr int SendBlockSize = 256 * 1024;
    static constexpr int TlsSendBlockSize = 16384; // one full TLS record
    char m_receiveBuffer[ReceiveBufferSize];
    std::unique_ptr<char[]> m_sendBuffer; // SendBlockSize bytes, made by the first upload
    // A name listing: the bytes as they come (bounded), the names once it is whole.
    static constexpr int MaxListing = 16 * 1024 * 1024;
    QByteArray m_listing;
    QStringList m_nameList;
    // MakeDirectory: whether a folder that is there already will do, and the refusal of MKD
    // that is the error when it is not there.
    bool m_existingIsFine = false;
    QString m_mkdRefusal;

    TMSocket m_dataSocket;
    TMSocket m_listenSocket;

    // TLS.
    TMFtpTlsMode m_tls = tlsNone;
    bool m_tlsVerify = true;
    QString m_tlsPinned;
    QString m_tlsCaFile;
    QString m_tlsFingerprint;
    QString m_tlsProtocol;
    QString m_tlsCipher;
    QString m_tlsHost;
    QString m_tlsWelcome;
    bool m_tlsActive = false;
    bool m_dataProtected = false;
    std::shared_ptr<TMTlsContext> m_tlsContext;
};

} // namespace ftp
