// Data connections and file transfers of TMFtp: DownloadFile (RETR), UploadFile (STOR) and
// ListNames (NLST, its data connection set up and read as a download's, into memory),
// with TYPE sent only when it changes, active (PORT, ListenSocket) or passive (PASV) data
// connections, SIZE and REST for resumed transfers chosen through OnFtpNeedInfo, and the
// data moved in 4096-byte reads and in sends of blocks of the file (256 KiB, or a TLS
// record on a protected connection) driven by socket notifications.
// Guarantees: sizes, offsets and byte counts are 64-bit; a download changes the local file
// only once the server has accepted RETR, and one from offset 0 then replaces the whole
// file; a refused download of a new file leaves no file behind; data connections go only
// to and come only from the control connection's peer (a PASV reply gives just the port,
// and the listener takes one connection and closes); a resumed upload never sends from
// past the local file's end; no buffer is allocated per block. A transfer ends when both
// its final reply and the end of the data connection have been seen (an upload answered
// 1xx ends on the final reply); one that moved fewer bytes than the file holds (an upload
// not sent whole, a download shorter than the size the server announced) ends with
// errDataConnection and without OnFileReceived or OnFileStored.

#include "Ftp.h"
#include "FtpMisc.h"

namespace ftp {

namespace {

bool positive(const QString &reply) { return reply.startsWith(QLatin1Char('2')); }
bool preliminary(const QString &reply) { return reply.startsWith(QLatin1Char('1')); }
bool intermediate(const QString &reply) { return reply.startsWith(QLatin1Char('3')); }

const QString StepGoesOn = QStringLiteral("299");

// The number after a reply code ("213 5000" -> 5000); 0 when it is not a number.
qint64 replyNumber(const QString &reply)
{
    bool ok = false;
    const qint64 v = reply.mid(4, 999).trimmed().toLongLong(&ok);
    return ok && v >= 0 ? v : 0;
}

} // namespace

// ---- operations -------------------------------------------------------------------------

void TMFtp::DownloadFile(const QString &remoteFile, const QString &localFile)
{
    if (!BeginTransfer(opDownload, remoteFile, localFile))
        return;
    Continuation next;
    m_localStream.setFileName(m_localFileName);
    if (QFile::exists(m_localFileName)) {
        // Opened without cutting it: a resume appends, an overwrite truncates once the
        // server has accepted RETR.
        if (!m_localStream.open(QIODevice::ReadWrite)) {
            EndWithError(errLocalFileOpen);
            return;
        }
        next = &TMFtp::DecideDownloadResume;
    } else {
        if (!m_localStream.open(QIODevice::WriteOnly)) {
            EndWithError(errLocalFileOpen);
            return;
        }
        m_localCreated = true;
        m_transferStep = &TMFtp::SendRetr;
        next = &TMFtp::OpenDataConnection;
    }
    m_localFileOpen = true;
    m_dataDone = false;
    m_replyDone = false;
    SetTransferType(m_transferMode == BinaryTransfer ? QStringLiteral("I") : QStringLiteral("A"),
                    next);
    WaitWhileBusy();
}

void TMFtp::UploadFile(const QString &localFile, const QString &remoteFile)
{
    if (!BeginTransfer(opUpload, remoteFile, localFile))
        return;
    m_localStream.setFileName(m_localFileName);
    if (!m_localStream.open(QIODevice::ReadOnly)) {
        EndWithError(errLocalFileOpen);
        return;
    }
    m_localFileOpen = true;
    SetTransferType(m_transferMode == BinaryTransfer ? QStringLiteral("I") : QStringLiteral("A"),
                    &TMFtp::StartUpload);
    WaitWhileBusy();
}

void TMFtp::ListNames(const QString &remoteFolder)
{
    if (!BeginOperation())
        return;
    m_currentOperation = opListNames;
    ResetDataSockets();
    m_remoteFileName = remoteFolder;
    m_localFileName.clear();
    m_listing.clear();
    m_nameList.clear();
    m_transferStep = &TMFtp::SendNlst;
    // A listing is text: it comes in the ASCII type.
    SetTransferType(QStringLiteral("A"), &TMFtp::OpenDataConnection);
    WaitWhileBusy();
}

bool TMFtp::BeginTransfer(TMFtpOperation operation, const QString &remoteFile,
                          const QString &localFile)
{
    if (!BeginOperation())
        return false;
    m_currentOperation = operation;
    ResetDataSockets();
    m_remoteFileName = remoteFile;
    m_localFileName = localFile;
    if (m_remoteFileName.isEmpty()) {
        EndWithError(errNoRemoteFile);
        return false;
    }
    if (m_localFileName.isEmpty()) {
        EndWithError(errLocalFileOpen);
        return false;
    }
    return true;
}

void TMFtp::WaitWhileBusy()
{
    if (m_asynchronous)
        return;
    while (m_busy)
        WaitForEvents();
}

// ---- shared steps ---------------------------------------------------------------------------

void TMFtp::ResetDataSockets()
{
    // Leftovers of an earlier transfer go quietly.
    for (TMSocket *s : {&m_dataSocket, &m_listenSocket}) {
        s->OnReadable = nullptr;
        s->OnWritable = nullptr;
        s->OnClosed = nullptr;
        s->OnConnected = nullptr;
        s->OnAcceptable = nullptr;
        s->Close();
    }
    CloseLocalFile();
    m_transferStep = nullptr;
    m_transferFinished = false;
    SetTransferPhase(TMFtpTransferPhase::Preparing);
    m_truncateOnAccept = false;
    m_localCreated = false;
    m_announcedSize = -1;
    m_restOffset = 0;
}

void TMFtp::SetTransferPhase(TMFtpTransferPhase phase)
{
    if (phase == m_transferPhase)
        return;
    static const bool trace = qEnvironmentVariableIsSet("DORVANTA_FTP_TRACE");
    if (trace)
        qDebug("TMFtp %p: transfer %s -> %s", static_cast<const void *>(this),
               transferPhaseName(m_transferPhase), transferPhaseName(phase));
    m_transferPhase = phase;
}

void TMFtp::CloseLocalFile()
{
    if (!m_localFileOpen)
        return;
    m_localFileOpen = false;
    m_localStream.close();
}

bool TMFtp::LocalFileAtEnd() const
{
    if (!m_localFileOpen || !m_localStream.isOpen())
        return true;
    // UploadSize is the file's size taken when the data connection opened; asking the
    // file system for the size before every block would cost a call per block.
    return m_localStream.pos() >= m_uploadSize;
}

void TMFtp::SetTransferType(const QString &type, Continuation next)
{
    if (type == m_currentType) {
        (this->*next)(StepGoesOn);
        return;
    }
    m_currentType = type;
    SendCommand(QStringLiteral("TYPE ") + type, next);
}

// Expects: a positive reply to the step before (TYPE, SIZE, or the chain going on).
void TMFtp::OpenDataConnection(const QString &reply)
{
    m_dataDone = false;
    m_replyDone = false;
    if (!positive(reply)) {
        EndWithError(errCommandFailed);
        return;
    }
    // A server may connect to the listener as soon as it has the PORT command, before
    // its reply; the data handlers are in place from the start so that neither that
    // connection nor the ready-to-send notification after it goes unheard.
    if (m_currentOperation == opUpload)
        InstallUploadHandlers();
    else
        InstallDownloadHandlers();
    ArmDataTls();
    // Over IPv6 the extended commands (EPSV, EPRT) are the only ones that can name the
    // connection; over IPv4 PASV and PORT, and EPSV once a server refused PASV.
    const bool extended = IsIpv6();
    if (m_passive)
        SendCommand(extended || m_extendedPassive ? QStringLiteral("EPSV") : QStringLiteral("PASV"),
                    &TMFtp::HandlePasvReply);
    else if (extended)
        SendCommand(QStringLiteral("EPRT ") + BuildPortArgument(), m_transferStep);
    else
        SendCommand(QStringLiteral("PORT ") + BuildPortArgument(), m_transferStep);
}

// Expects: 227 naming the address and port to connect to, or 229 naming the port (EPSV).
// A refused PASV is asked again as EPSV.
void TMFtp::HandlePasvReply(const QString &reply)
{
    if (!positive(reply) && !m_extendedPassive && !IsIpv6() && reply.startsWith(QLatin1Char('5'))
        && m_transferStep) {
        m_extendedPassive = true;
        SendCommand(QStringLiteral("EPSV"), &TMFtp::HandlePasvReply);
        return;
    }
    if (positive(reply) && m_transferStep) {
        if (!ParsePasvReply(reply)) {
            EndWithError(errCommandFailed);
            return;
        }
        if (m_dataSocket.LastError != 0) {
            m_lastErrorText = QStringLiteral("Cannot open the data connection");
            Fail(errDataConnection);
            return;
        }
        (this->*m_transferStep)(StepGoesOn);
    } else {
        EndWithError(errCommandFailed);
    }
}

bool TMFtp::ParsePasvReply(const QString &reply)
{
    QString named;
    quint16 port = 0;
    const QString host = AddressText();
    if (reply.startsWith(QLatin1String("229"))) {
        if (!misc::ParseEpsvPort(reply, port))
            return false;
        named = host; // EPSV names no host: the control connection's peer
    } else if (!misc::ParsePasvAddress(reply, named, port)) {
        return false;
    }
    // Only the port is taken: the data connection goes to the host the control connection
    // talks to, never to a third host named by the server or by someone on the way.
    if (named != host)
        ReportInfo(infoHostResolved,
                   QStringLiteral("The PASV reply named %1; the data connection goes to %2")
                       .arg(named, host));
    m_dataSocket.HostAddress = host;
    m_dataSocket.Port = port;
    m_dataSocket.SetAddress(host);
    m_dataSocket.SetPort(port);
    m_dataSocket.CreateSocket();
    m_dataSocket.Connect();
    return true;
}

QString TMFtp::BuildPortArgument()
{
    const QString local = LocalAddressText();
    m_listenSocket.HostAddress = local;
    m_listenSocket.Port = 0;
    m_listenSocket.SetAddress(local);
    m_listenSocket.SetPort(0);
    m_listenSocket.CreateSocket();
    m_listenSocket.Listen();
    const QString address = m_listenSocket.LocalAddressText();
    const quint16 port = m_listenSocket.LocalPort();
    return IsIpv6() ? misc::EprtArgument(address, port) : misc::PortArgument(address, port);
}

void TMFtp::FinishTransfer()
{
    if (m_transferFinished)
        return;
    m_transferFinished = true;
    if (m_currentOperation == opListNames && m_operationOk)
        TakeNameList();
    const QString incomplete = m_operationOk ? IncompleteTransfer() : QString();
    if (!incomplete.isEmpty()) {
        m_lastErrorText = incomplete;
        ReportError(errDataConnection);
        m_currentOperation = opNone; // neither OnFileReceived nor OnFileStored
        for (TMSocket *s : {&m_dataSocket, &m_listenSocket}) {
            s->OnClosed = nullptr;
            s->Close();
        }
    }
    FinishOperation();
}

// Empty when the transfer moved the whole file; else why it did not.
QString TMFtp::IncompleteTransfer() const
{
    if (m_currentOperation == opUpload) {
        if (m_transferPhase == TMFtpTransferPhase::AllSent)
            return QString();
        return QStringLiteral("Transfer incomplete: %1 of %2 bytes sent")
            .arg(m_uploadRemoteSize + static_cast<qint64>(m_bytesTransferred))
            .arg(m_uploadSize);
    }
    // ASCII transfers change line ends, so only binary sizes can be compared.
    if (m_currentOperation != opDownload || m_currentType != QLatin1String("I"))
        return QString();
    const qint64 have = m_restOffset + static_cast<qint64>(m_bytesTransferred);
    if (m_announcedSize < 0 || have >= m_announcedSize)
        return QString();
    return QStringLiteral("Transfer incomplete: %1 of %2 bytes received")
        .arg(have)
        .arg(m_announcedSize);
}

void TMFtp::CancelTransfer()
{
    CloseLocalFile();
    m_currentOperation = opNone;
    FinishOperation();
}

// ---- download -----------------------------------------------------------------------------

// Expects: any reply to TYPE (not examined); asks whether to resume the existing file.
void TMFtp::DecideDownloadResume(const QString &)
{
    m_downloadRemoteSize = 0;
    const QString answer = AskFor(needResumeChoice, QString());
    if (answer == QLatin1String("Resume")) {
        if (!m_resumeSupported) {
            ReportInfo(infoResumeNotSupported);
            CancelTransfer();
        } else if (m_sizeSupported) {
            SendCommand(QStringLiteral("SIZE ") + m_remoteFileName,
                        &TMFtp::HandleDownloadSizeReply);
        } else {
            HandleDownloadSizeReply(QStringLiteral("500"));
        }
    } else if (answer.isEmpty() || answer == QLatin1String("Overwrite")) {
        m_transferStep = &TMFtp::SendRetr;
        OpenDataConnection(StepGoesOn);
    } else {
        CancelTransfer(); // any other answer cancels without a report
    }
}

// Expects: 213 with the remote size; "50x" means the server has no SIZE.
void TMFtp::HandleDownloadSizeReply(const QString &reply)
{
    if (positive(reply)) {
        m_downloadRemoteSize = replyNumber(reply);
        const qint64 local = m_localStream.size();
        if (local > m_downloadRemoteSize || local == 0) {
            ReportInfo(infoResumeNotSupported,
                       QStringLiteral("I don't know how to resume this file, I will overwrite it"));
            m_transferStep = &TMFtp::SendRetr;
            OpenDataConnection(StepGoesOn);
        } else if (local == m_downloadRemoteSize) {
            ReportInfo(infoNothingToDo, QStringLiteral("I am afraid I have nothing to do"));
            CancelTransfer();
        } else {
            m_localStream.seek(local);
            m_transferStep = &TMFtp::SendDownloadRest;
            OpenDataConnection(StepGoesOn);
        }
    } else if (reply.startsWith(QStringLiteral("50"))) {
        m_sizeSupported = false;
        HandleDownloadSizeReply(QStringLiteral("213 ") + QString::number(m_localStream.size()));
    } else {
        m_transferStep = &TMFtp::SendRetr;
        OpenDataConnection(StepGoesOn);
    }
}

void TMFtp::InstallDownloadHandlers()
{
    m_dataSocket.OnTimeout = [this](TMSocket *) {
        m_lastErrorText = QStringLiteral("Data connection timed out");
        Fail(errDataConnection);
    };
    m_dataSocket.OnReadable = [this](TMSocket *) { ReceiveData(); };
    m_dataSocket.OnWritable = nullptr;
    m_dataSocket.OnClosed = [this](TMSocket *) { DataClosed(); };
    m_dataSocket.OnConnected = [this](TMSocket *) { DownloadConnected(); };
    m_listenSocket.OnAcceptable = [this](TMSocket *) { DownloadConnected(); };
}

// Expects: 2xx to PORT or PASV (or the chain going on); asks to restart at the local size.
void TMFtp::SendDownloadRest(const QString &reply)
{
    if (!positive(reply)) {
        EndWithError(errCommandFailed);
        return;
    }
    InstallDownloadHandlers();
    m_restOffset = m_localStream.size();
    SendCommand(QStringLiteral("REST ") + QString::number(m_restOffset),
                &TMFtp::HandleDownloadRestReply);
}

// Expects: 2xx to PORT or PASV (or the chain going on); fetches the whole file.
void TMFtp::SendRetr(const QString &reply)
{
    if (!positive(reply)) {
        EndWithError(errCommandFailed);
        return;
    }
    // The whole file comes again: an older, longer local file must not keep its tail. It
    // is cut only when the server accepts RETR, so a refusal leaves it as it was.
    m_truncateOnAccept = true;
    m_restOffset = 0;
    InstallDownloadHandlers();
    SendRetrCommand();
}

void TMFtp::SendRetrCommand()
{
    SendCommand(QStringLiteral("RETR ") + m_remoteFileName, &TMFtp::HandleRetrReply);
    if (!m_awaitingReply)
        return; // refused or not sent
    if (m_transferPhase < TMFtpTransferPhase::CommandSent) // not back from an early answer
        SetTransferPhase(TMFtpTransferPhase::CommandSent);
    // Data that came before RETR went out was left waiting; read it now.
    if (m_dataSocket.Connected)
        ReceiveData();
}

// The server took RETR: from here the local file is the download's.
void TMFtp::AcceptRetr()
{
    if (m_transferPhase == TMFtpTransferPhase::Accepted)
        return;
    SetTransferPhase(TMFtpTransferPhase::Accepted);
    m_localCreated = false;
    if (m_truncateOnAccept) {
        m_truncateOnAccept = false;
        if (m_localFileOpen) {
            m_localStream.resize(0);
            m_localStream.seek(0);
        } else {
            QFile::resize(m_localFileName, 0);
        }
    }
}

// Expects: 350 to REST.
void TMFtp::HandleDownloadRestReply(const QString &reply)
{
    if (intermediate(reply)) {
        SendRetrCommand();
        return;
    }
    m_dataSocket.Close();
    m_listenSocket.Close();
    m_lastErrorText = QStringLiteral("Failed to resume downloading file");
    EndWithError(errResumeFailed);
}

// Expects: 150 (often with "(N bytes)"), then 226; stays registered for both.
void TMFtp::HandleRetrReply(const QString &reply)
{
    m_dataSocket.AllowTls(); // a protected data connection's handshake follows RETR
    if (preliminary(reply)) {
        AcceptRetr();
        const qsizetype open = reply.lastIndexOf(QLatin1Char('('));
        if (open >= 0) {
            const QString rest = reply.mid(open + 1);
            const qsizetype blank = rest.indexOf(QLatin1Char(' '));
            if (blank > 0) {
                ReportInfo(infoFileSize, rest.left(blank));
                bool ok = false;
                const qint64 size = rest.left(blank).toLongLong(&ok);
                if (ok && size >= 0 && rest.mid(blank + 1).startsWith(QLatin1String("byte")))
                    m_announcedSize = size;
            }
        }
    } else if (positive(reply)) {
        AcceptRetr();
        m_replyDone = true;
        if (m_dataDone)
            FinishTransfer();
    } else {
        EndWithTransferRefused(reply);
    }
}

// ---- name listing ------------------------------------------------------------------------

// Expects: 2xx to PORT or PASV (or the chain going on); asks for the names.
void TMFtp::SendNlst(const QString &reply)
{
    if (!positive(reply)) {
        EndWithError(errCommandFailed);
        return;
    }
    InstallDownloadHandlers();
    SendCommand(m_remoteFileName.isEmpty() ? QStringLiteral("NLST")
                                           : QStringLiteral("NLST ") + m_remoteFileName,
                &TMFtp::HandleNlstReply);
    if (!m_awaitingReply)
        return; // refused or not sent
    if (m_transferPhase < TMFtpTransferPhase::CommandSent) // not back from an early answer
        SetTransferPhase(TMFtpTransferPhase::CommandSent);
    if (m_dataSocket.Connected)
        ReceiveData();
}

// Expects: 150 then 226, as to RETR. Servers differ over an empty folder: most send no
// data, some refuse with "450 No files found" or "550 No files found"; that is an empty
// listing, not an error (a folder that is not there is refused in other words).
void TMFtp::HandleNlstReply(const QString &reply)
{
    const QString code = reply.left(3);
    if ((code == QLatin1String("450") || code == QLatin1String("550"))
        && reply.contains(QLatin1String("no files"), Qt::CaseInsensitive)) {
        for (TMSocket *s : {&m_dataSocket, &m_listenSocket}) {
            s->OnClosed = nullptr;
            s->Close();
        }
        m_listing.clear();
        m_nameList.clear();
        FinishOperation();
        return;
    }
    HandleRetrReply(reply);
}

// The names of a whole listing: one a line, the folder a server puts before each taken off.
void TMFtp::TakeNameList()
{
    m_nameList.clear();
    for (QByteArray line : m_listing.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QString name = QString::fromUtf8(line);
        name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        m_nameList.append(name);
    }
    m_listing.clear();
}

// Active mode: takes the server's data connection. Only the control connection's peer may
// connect, and only once; a stranger is turned away and the listener waits on.
// A RETR or STOR answered with neither 1xx nor 2xx: the data connection goes, and the error
// says whether the server refused the file or the user (450, 550, 553; 530, 532) or failed
// itself (vsftpd's "500 OOPS: ...") or on the data connection (425, 426), in its own words.
void TMFtp::EndWithTransferRefused(const QString &reply)
{
    m_dataSocket.Close();
    m_listenSocket.Close();
    const QString code = reply.left(3);
    static const QStringList refusals = {QStringLiteral("450"), QStringLiteral("550"),
                                         QStringLiteral("553"), QStringLiteral("530"),
                                         QStringLiteral("532")};
    if (refusals.contains(code)) {
        m_lastErrorText = QStringLiteral("Access denied or file not found");
        EndWithError(errAccessDenied);
    } else {
        m_lastErrorText = reply;
        EndWithError(code.startsWith(QLatin1String("42")) ? errDataConnection : errCommandFailed);
    }
}

bool TMFtp::AcceptDataConnection()
{
    m_dataSocket.Accept(&m_listenSocket, AddressText());
    if (m_dataSocket.LastError == ErrForeignPeer) {
        ReportInfo(infoHostResolved,
                   QStringLiteral("Refused a data connection from another host than %1")
                       .arg(AddressText()));
        return false;
    }
    if (m_dataSocket.LastError == 0) {
        m_listenSocket.OnAcceptable = nullptr;
        m_listenSocket.Close();
    }
    return true;
}

void TMFtp::DownloadConnected()
{
    if (!m_passive && !AcceptDataConnection())
        return;
    TouchActivity();
    if (m_dataSocket.LastError == 0) {
        m_bytesTransferred = 0;
        m_operationOk = true;
        m_startTick.start();
        m_elapsedTicks = 0;
        // Wake for a few blocks at a time rather than for every segment; the end of the
        // file (the peer's close) still wakes at once.
        m_dataSocket.SetReceiveLowWater(16 * ReceiveBufferSize);
    } else if (m_dataSocket.LastError != ErrNotSocket) {
        Fail(errDataConnection);
    }
}

void TMFtp::ReceiveData()
{
    // Data before RETR went out waits in the socket: it cannot be the file yet.
    if (m_transferPhase == TMFtpTransferPhase::Preparing)
        return;
    // A bounded amount per notification, so that the event loop keeps turning.
    for (int budget = MaxDataReadPerEvent; budget > 0; budget -= ReceiveBufferSize) {
        const int n = m_dataSocket.ReceiveBuffer(m_receiveBuffer, ReceiveBufferSize);
        if (m_dataSocket.LastError != 0) {
            if (m_dataSocket.LastError != ErrNotSocket)
                Fail(errDataConnection);
            return;
        }
        if (n == 0)
            return; // the rest waits for the next notification
        TouchActivity();
        AcceptRetr();
        if (m_currentOperation == opListNames) {
            if (m_listing.size() + n > MaxListing) {
                m_lastErrorText = QStringLiteral("Listing too long");
                Fail(errDataConnection);
                return;
            }
            m_listing.append(m_receiveBuffer, n);
            m_bytesTransferred += static_cast<quint64>(n);
            continue;
        }
        if (!m_localFileOpen)
            continue; // after a write failure the rest is read and dropped
        m_bytesTransferred += static_cast<quint64>(n);
        m_elapsedTicks = m_startTick.isValid() ? m_startTick.elapsed() : 0;
        ReportInfo(infoTransferProgress);
        if (m_localStream.write(m_receiveBuffer, n) < n) {
            ReportError(errLocalFileWrite);
            CloseLocalFile(); // later data is read and dropped
        }
    }
    // The budget is spent; decrypted bytes a TLS channel still holds raise no notification.
    m_dataSocket.ReadAgainIfBuffered();
}

void TMFtp::DataClosed()
{
    if (m_dataSocket.OnReadable)
        m_dataSocket.OnReadable(&m_dataSocket); // drains what is left of a download
    m_elapsedTicks = m_startTick.isValid() ? m_startTick.elapsed() : 0;
    m_dataSocket.Close();
    m_listenSocket.Close();
    CloseLocalFile();
    ReportInfo(infoTransferComplete);
    m_dataDone = true;
    if (m_replyDone)
        FinishTransfer();
}

// ---- upload ---------------------------------------------------------------------------------

// Expects: any reply to TYPE (not examined).
void TMFtp::StartUpload(const QString &)
{
    m_uploadRemoteSize = 0;
    if (m_resumeSupported && m_sizeSupported) {
        SendCommand(QStringLiteral("SIZE ") + m_remoteFileName, &TMFtp::HandleUploadSizeReply);
    } else {
        m_transferStep = &TMFtp::SendStor;
        OpenDataConnection(StepGoesOn);
    }
}

// Expects: 213 with the remote size (a file that is there), or a refusal (none there).
void TMFtp::HandleUploadSizeReply(const QString &reply)
{
    if (positive(reply)) {
        m_uploadRemoteSize = replyNumber(reply);
        if (m_uploadRemoteSize == 0) {
            m_transferStep = &TMFtp::SendStor;
        } else {
            const QString answer = AskFor(needResumeChoice, QString());
            if (answer == QLatin1String("Resume")) {
                if (m_uploadRemoteSize > m_localStream.size()) {
                    // The remote file is already longer than the local one.
                    ReportInfo(infoNothingToDo, QStringLiteral("I am afraid I have nothing to do"));
                    CancelTransfer();
                    return;
                }
                m_localStream.seek(m_uploadRemoteSize);
                m_transferStep = &TMFtp::SendUploadRest;
            } else if (answer.isEmpty() || answer == QLatin1String("Overwrite")) {
                m_transferStep = &TMFtp::SendStor;
            } else {
                CancelTransfer();
                return;
            }
        }
    } else if (reply.startsWith(QStringLiteral("50"))) {
        m_sizeSupported = false;
        m_transferStep = &TMFtp::SendStor;
    } else {
        m_transferStep = &TMFtp::SendStor;
    }
    OpenDataConnection(StepGoesOn);
}

void TMFtp::InstallUploadHandlers()
{
    m_dataSocket.OnTimeout = [this](TMSocket *) {
        m_lastErrorText = QStringLiteral("Data connection timed out");
        Fail(errDataConnection);
    };
    m_dataSocket.OnReadable = nullptr;
    m_dataSocket.OnWritable = [this](TMSocket *) { SendData(); };
    m_dataSocket.OnClosed = [this](TMSocket *) { DataClosed(); };
    m_dataSocket.OnConnected = [this](TMSocket *) { UploadConnected(); };
    m_listenSocket.OnAcceptable = [this](TMSocket *) { UploadConnected(); };
}

// Expects: 2xx to PORT or PASV (or the chain going on); asks to restart at the remote size.
void TMFtp::SendUploadRest(const QString &reply)
{
    if (!positive(reply)) {
        EndWithError(errCommandFailed);
        return;
    }
    InstallUploadHandlers();
    SendCommand(QStringLiteral("REST ") + QString::number(m_uploadRemoteSize),
                &TMFtp::HandleUploadRestReply);
}

// Expects: 2xx to PORT or PASV (or the chain going on); stores the file.
void TMFtp::SendStor(const QString &reply)
{
    if (!positive(reply)) {
        EndWithError(errCommandFailed);
        return;
    }
    InstallUploadHandlers();
    SendCommand(QStringLiteral("STOR ") + m_remoteFileName, &TMFtp::HandleStorReply);
}

// Expects: 350 to REST.
void TMFtp::HandleUploadRestReply(const QString &reply)
{
    if (intermediate(reply)) {
        SendCommand(QStringLiteral("STOR ") + m_remoteFileName, &TMFtp::HandleStorReply);
        return;
    }
    m_dataSocket.Close();
    m_listenSocket.Close();
    m_lastErrorText = QStringLiteral("Failed to resume uploading file");
    EndWithError(errResumeFailed);
}

// Expects: 150 (the final reply then goes to HandleStorFinalReply) or 2xx.
void TMFtp::HandleStorReply(const QString &reply)
{
    if (preliminary(reply)) {
        m_replyHandler = &TMFtp::HandleStorFinalReply;
        AcceptStor();
    } else if (positive(reply)) {
        m_replyDone = true;
        AcceptStor();
        if (m_dataDone)
            FinishTransfer();
    } else {
        EndWithTransferRefused(reply);
    }
}

void TMFtp::AcceptStor()
{
    m_dataSocket.AllowTls(); // a protected data connection's handshake follows STOR
    const bool waiting = m_transferPhase == TMFtpTransferPhase::SendWaiting;
    if (m_transferPhase < TMFtpTransferPhase::Accepted)
        SetTransferPhase(TMFtpTransferPhase::Accepted);
    if (waiting)
        SendData();
}

// Expects: 226 after the data; the upload ends here.
void TMFtp::HandleStorFinalReply(const QString &reply)
{
    if (!positive(reply)) {
        m_lastErrorText = QStringLiteral("Access denied or file not found");
        ReportError(errAccessDenied);
    }
    FinishTransfer();
}

void TMFtp::UploadConnected()
{
    if (!m_passive && !AcceptDataConnection())
        return;
    TouchActivity();
    if (m_dataSocket.LastError == 0) {
        m_bytesTransferred = 0;
        m_operationOk = true;
        m_startTick.start();
        m_elapsedTicks = 0;
        m_uploadSize = m_localFileOpen ? m_localStream.size() : 0;
        // Until the last block is handed over, closing the connection resets it.
        m_dataSocket.MoreToCome = m_localFileOpen && m_localStream.pos() < m_uploadSize;
        ReportInfo(infoFileSize, QString::number(m_uploadSize));
    } else {
        Fail(errDataConnection);
    }
}

void TMFtp::SendData()
{
    // A close notification handled while this loop processes messages raises OnWritable
    // again; the outer run carries on instead.
    if (m_inSendData || m_dataSocket.TlsHandshaking())
        return; // the handshake's end brings another ready-to-send
    if (m_transferPhase < TMFtpTransferPhase::Accepted) {
        // Servers take data only once they have accepted STOR; one that sees the data
        // connection close before that drops it and waits for another.
        SetTransferPhase(TMFtpTransferPhase::SendWaiting);
        return;
    }
    struct Guard
    {
        bool &flag;
        explicit Guard(bool &f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_inSendData);
    // Protected data goes out in full TLS records (a record per small block would cost an
    // encryption and a header each).
    if (!m_sendBuffer)
        m_sendBuffer = std::make_unique<char[]>(SendBlockSize);
    char *const sendBuffer = m_sendBuffer.get();
    int block = m_dataSocket.TlsChannel() ? TlsSendBlockSize : SendBlockSize;
    bool wouldBlock = false;
    while (!LocalFileAtEnd()) {
        const qint64 left = m_uploadSize - m_localStream.pos();
        if (left < block)
            block = static_cast<int>(left);
        const qint64 read = m_localStream.read(sendBuffer, block);
        if (read <= 0) {
            ReportError(errLocalFileRead);
            CloseLocalFile();
            m_dataSocket.Close();
            m_listenSocket.Close();
            m_operationOk = false;
            break;
        }
        block = static_cast<int>(read);
        int sent = 0;
        while (sent < block) {
            // Messages are processed between sends, at most about once a millisecond:
            // often enough for the window and the control connection, while a pass of
            // the event loop per TLS record would cost as much as the sends.
            if (!m_pumpClock.isValid() || m_pumpClock.elapsed() >= 1) {
                TouchActivity();
                PumpMessages();
                m_pumpClock.start();
                if (m_transferFinished || !m_localFileOpen || !m_dataSocket.SocketOpen())
                    break; // the operation ended while messages were processed
            }
            m_dataSocket.ReportWouldBlock = true;
            m_dataSocket.MoreToCome = m_localStream.pos() < m_uploadSize;
            const int n = m_dataSocket.SendBuffer(sendBuffer + sent, block - sent);
            m_dataSocket.ReportWouldBlock = false;
            sent += n;
            if (m_dataSocket.LastError == ErrWouldBlock) {
                // The part not sent is read again at the next ready-to-send notification.
                if (m_localFileOpen)
                    m_localStream.seek(m_localStream.pos() - (block - sent));
                wouldBlock = true;
                break;
            }
            if (m_dataSocket.LastError != 0) {
                Fail(errDataConnection);
                m_bytesTransferred += static_cast<quint64>(sent);
                return;
            }
            if (!m_localFileOpen)
                break; // the operation ended while messages were processed
        }
        m_bytesTransferred += static_cast<quint64>(sent);
        if (wouldBlock || !m_operationOk)
            break;
    }
    TouchActivity();
    if (m_transferFinished)
        return; // the operation ended while messages were processed
    if (m_operationOk && m_localFileOpen && m_localStream.pos() >= m_uploadSize)
        SetTransferPhase(TMFtpTransferPhase::AllSent);
    ReportInfo(infoTransferProgress);
    m_elapsedTicks = m_startTick.isValid() ? m_startTick.elapsed() : 0;
    if (m_operationOk && !LocalFileAtEnd())
        return; // the next ready-to-send notification goes on
    m_dataSocket.Close(); // its OnClosed runs DataClosed
    m_listenSocket.Close();
    CloseLocalFile();
    m_elapsedTicks = m_startTick.isValid() ? m_startTick.elapsed() : 0;
    ReportInfo(infoTransferComplete);
    m_dataDone = true;
    if (m_replyDone)
        FinishTransfer();
}

} // namespace ftp
