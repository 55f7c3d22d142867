// The session engine of TMFtp: construction, connecting (directly or to a proxy), reading
// and splitting replies, the command/continuation chain, the busy and connection guards,
// the operation-done and disconnected notifications, error reporting, time-out, retries,
// keep-alive and QUIT. It guarantees that each final reply line reaches the registered
// continuation exactly once, and only when it arrived after that command was sent; that a
// password never appears in an OnFtpInfo text; that no command line carries a CR, LF or
// zero byte inside it; that a reply line (8 KiB) and a reply (1 MiB) are bounded and each
// read notification reads a bounded amount before returning to the event loop; that no
// wait for a reply or for data lasts longer than TimeOut seconds without a byte moving;
// and that no waiting loop spins on a control connection that is gone.

#include "Ftp.h"
#include "FtpTls.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDebug>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace ftp {

namespace {

QString defaultInfoText(FtpInfo kind)
{
    switch (kind) {
    case infoDisconnected: return QStringLiteral("Not connected to the server");
    case infoBusy: return QStringLiteral("The component is busy doing something");
    case infoLoggedIn: return QStringLiteral("Logged in");
    case infoResumeNotSupported:
        return QStringLiteral("This site cannot resume broken downloads/uploads");
    default: return QString();
    }
}

const QString MaskedPass = QStringLiteral("PASS (want to know) :-P\r\n");

} // namespace

TMFtp::TMFtp(QObject *owner) : TMSocket(owner)
{
    m_noopTimer.setInterval(30 * 1000);
    QObject::connect(&m_noopTimer, &QTimer::timeout, NotifyWindow(), [this] { NoopTick(); });
    StartNoopTimer();
    m_watchdog.setInterval(250);
    QObject::connect(&m_watchdog, &QTimer::timeout, NotifyWindow(), [this] { WatchdogTick(); });
    m_watchdog.start();
    OnNotify = [this](TMMessage &m) { HandleNotification(m); };
    OnConnected = [this](TMSocket *) { HandleConnected(); };
    OnClosed = [this](TMSocket *) { HandleClosed(); };
    OnReadable = [this](TMSocket *) { HandleReadable(); };
    OnTimeout = [this](TMSocket *) { HandleTimeout(); };
    m_username = QStringLiteral("anonymous");
    m_password = QStringLiteral("guest@dorvanta.local");
    Port = 21;
    TimeOut = 20;
}

TMFtp::~TMFtp()
{
    // Nothing may be raised while the component goes away.
    OnClosed = nullptr;
    OnNotify = nullptr;
    m_dataSocket.OnClosed = nullptr;
    m_listenSocket.OnClosed = nullptr;
    m_noopTimer.stop();
    m_watchdog.stop();
}

void TMFtp::SetState(TMFtpState state)
{
    if (state == m_state)
        return;
    // A trace of the session's course, for finding out what a server made of it.
    static const bool trace = qEnvironmentVariableIsSet("DORVANTA_FTP_TRACE");
    if (trace)
        qDebug("TMFtp %p: %s -> %s", static_cast<const void *>(this), stateName(m_state),
               stateName(state));
    m_state = state;
}

void TMFtp::SetAsynchronous(bool value)
{
    if (!m_busy)
        m_asynchronous = value;
}

void TMFtp::SetNoopInterval(quint16 seconds)
{
    m_noopTimer.setInterval(static_cast<int>(seconds) * 1000);
    if (m_noopTimerEnabled && seconds > 0)
        m_noopTimer.start();
    else
        m_noopTimer.stop();
}

void TMFtp::StartNoopTimer()
{
    m_noopTimerEnabled = true;
    // An interval of 0 keeps the timer enabled but silent.
    if (m_noopTimer.interval() > 0)
        m_noopTimer.start();
}

void TMFtp::StopNoopTimer()
{
    m_noopTimerEnabled = false;
    m_noopTimer.stop();
}

QString TMFtp::AskFor(TMFtpInfoNeeded need, const QString &current)
{
    if (!OnFtpNeedInfo)
        return current;
    QString value;
    OnFtpNeedInfo(this, need, value);
    return value;
}

// ---- operations ---------------------------------------------------------------------

void TMFtp::Login()
{
    m_retriesLeft = m_retries;
    m_busy = false;
    m_loggedIn = false;
    StartConnect();
}

void TMFtp::Quit()
{
    if (BeginOperation())
        SendCommand(QStringLiteral("QUIT"), &TMFtp::HandleQuitReply);
}

void TMFtp::RenameFile(const QString &from, const QString &to)
{
    if (!BeginOperation())
        return;
    m_currentOperation = opRename;
    m_remoteFileName = to;
    SendCommand(QStringLiteral("RNFR ") + from, &TMFtp::HandleRnfrReply);
}

// Expects: 350 to RNFR (the server waits for the new name).
void TMFtp::HandleRnfrReply(const QString &reply)
{
    if (!reply.startsWith(QLatin1Char('3'))) {
        m_lastErrorText = reply;
        EndWithError(errCommandFailed);
        return;
    }
    SendCommand(QStringLiteral("RNTO ") + m_remoteFileName, &TMFtp::HandleCompletionReply);
}

// Expects: 250 to RNTO, DELE or the CWD back after MKD, the last command of the operation.
void TMFtp::HandleCompletionReply(const QString &reply)
{
    if (!reply.startsWith(QLatin1Char('2'))) {
        m_lastErrorText = reply;
        EndWithError(errCommandFailed);
        return;
    }
    FinishOperation();
}

void TMFtp::DeleteFile(const QString &remoteFile)
{
    if (!BeginOperation())
        return;
    m_currentOperation = opDelete;
    SendCommand(QStringLiteral("DELE ") + remoteFile, &TMFtp::HandleCompletionReply);
}

void TMFtp::MakeDirectory(const QString &remoteFolder, bool existingIsFine)
{
    if (!BeginOperation())
        return;
    m_currentOperation = opMakeDirectory;
    m_remoteFileName = remoteFolder;
    m_existingIsFine = existingIsFine;
    m_mkdRefusal.clear();
    if (remoteFolder.isEmpty()) {
        EndWithError(errNoRemoteFile);
        return;
    }
    SendCommand(QStringLiteral("MKD ") + remoteFolder, &TMFtp::HandleMkdReply);
    WaitWhileBusy();
}

// Expects: 257 to MKD. Servers refuse a folder that is there in words of their own (550,
// 521, ...): where that will do, a CWD into it tells whether it is there.
void TMFtp::HandleMkdReply(const QString &reply)
{
    if (reply.startsWith(QLatin1Char('2'))) {
        FinishOperation();
        return;
    }
    if (!m_existingIsFine || m_currentDirectory.isEmpty()) {
        m_lastErrorText = reply;
        EndWithError(errCommandFailed);
        return;
    }
    m_mkdRefusal = reply;
    SendCommand(QStringLiteral("CWD ") + m_remoteFileName, &TMFtp::HandleMkdProbeReply);
}

// Expects: 250 to the CWD into the folder MKD would not make; the current folder is entered
// again (its answer ends the operation). A refusal: the folder is not there, and MKD's
// refusal says why.
void TMFtp::HandleMkdProbeReply(const QString &reply)
{
    if (!reply.startsWith(QLatin1Char('2'))) {
        m_lastErrorText = m_mkdRefusal;
        EndWithError(errCommandFailed);
        return;
    }
    SendCommand(QStringLiteral("CWD ") + m_currentDirectory, &TMFtp::HandleCompletionReply);
}

void TMFtp::RestoreRealServer()
{
    if (!m_serverSwapped)
        return;
    m_serverSwapped = false;
    SetServer(m_realServer);
    Port = m_realPort;
}

void TMFtp::StartConnect()
{
    if (m_state == TMFtpState::RetryWait) // the wait is over (or a Login cut it short)
        SetState(m_waitFromConnected ? TMFtpState::Connected : TMFtpState::Idle);
    if (m_busy) {
        ReportInfo(infoBusy);
        return;
    }
    LastError = 0;
    m_currentDirectory.clear();
    m_multiCode.clear();
    m_lastErrorKind = errUnspecified;
    m_operationOk = true;
    m_inMultiLine = false;
    m_sizeSupported = true;
    m_noopSupported = true;
    m_currentType.clear();
    m_extendedPassive = false;
    ResetTlsState();
    --m_retriesLeft;
    // The new socket is not connected yet; operations wait for its welcome.
    SetState(TMFtpState::Connecting);
    RecreateSocket();

    // An earlier attempt that never got the welcome leaves the proxy in Server; the real
    // server is put back before it is remembered again.
    RestoreRealServer();
    if (m_proxyServer.trimmed().isEmpty()) {
        m_proxyType = proxyNone;
    } else if (m_proxyType != proxyNone) {
        m_realServer = Server();
        m_realPort = Port;
        m_serverSwapped = true;
        SetServer(m_proxyServer);
        Port = static_cast<quint16>(m_proxyPort & 0xFFFF);
    }
    if (Server().trimmed().isEmpty()) {
        const QString answer = AskFor(needServer, QString()).trimmed();
        if (answer.isEmpty()) {
            SetState(TMFtpState::Idle);
            EndWithError(errNoServer);
            return;
        }
        SetServer(answer);
    }
    if (Port == 0)
        Port = 21;
    if (!HostAddress.isEmpty()) {
        SetAddress(HostAddress);
        SetPort(Port);
        Connect();
    } else {
        ReportInfo(infoResolvingHost, HostName);
        ResolveHost(HostName);
    }
    CheckSocketError();
}

void TMFtp::HostResolved()
{
    if (CheckSocketError())
        return;
    UseResolvedAddress();
    SetPort(Port);
    HostAddress = AddressText();
    SetState(TMFtpState::TryingAddresses);
    ReportInfo(infoHostResolved, HostAddress);
    Connect();
    if (LastError != 0)
        ConnectNextAddress();
    else
        CheckSocketError();
}

// A connect to an address of the looked-up name failed: the name's next address is tried
// (an IPv6 address first, say, where the server listens on IPv4 only). Returns whether
// one was; if not, the failure is reported as it is.
bool TMFtp::ConnectNextAddress()
{
    while (m_state == TMFtpState::TryingAddresses && UseNextResolvedAddress()) {
        SetPort(Port);
        HostAddress = AddressText();
        ReportInfo(infoHostResolved, HostAddress);
        RecreateSocket();
        Connect();
        if (LastError == 0)
            return true;
    }
    CheckSocketError();
    return false;
}

// Expects: the connect notification of the control socket.
void TMFtp::HandleConnected()
{
    if (LastError != 0 && m_state == TMFtpState::TryingAddresses) {
        ConnectNextAddress();
        return;
    }
    if (CheckSocketError())
        return;
    ReportInfo(infoConnected, HostAddress);
    SetState(TMFtpState::Connected);
    // From here to the end of the login dialogue the connection belongs to the login.
    m_currentOperation = opLogin;
    m_inReplyHandler = false;
    m_pendingText.clear();
    m_receivedTotal = m_commandOffset = m_pendingOffset = 0;
    m_scanFrom = 0;
    m_inMultiLine = false;
    m_replyHandler = &TMFtp::HandleWelcome;
    m_awaitingReply = true;
    TouchActivity();
    if (m_tls == tlsImplicit)
        StartControlTls();
}

// ---- replies ------------------------------------------------------------------------

void TMFtp::HandleReadable()
{
    if (m_inReplyHandler)
        return; // the outer read loop collects the data
    const quint64 serial = SocketSerial();
    char buffer[4096 + 1];
    // A server that sends without pause must not keep the event loop from the window:
    // after this much the rest waits for the next read notification.
    int budget = MaxControlReadPerEvent;
    while (budget > 0) {
        const int n = ReceiveBuffer(buffer, 4096);
        if (CheckSocketError())
            return;
        if (n <= 0) {
            ReportInfo(infoReplyReceived, QString()); // the end of a burst
            return;
        }
        budget -= n;
        TouchActivity();
        buffer[n] = '\0';
        // Text after a zero byte is dropped.
        const qsizetype kept = static_cast<qsizetype>(std::strlen(buffer));
        ReportInfo(infoReplyReceived, QString::fromUtf8(buffer, kept));
        if (kept == 0)
            return;
        m_pendingText.append(buffer, kept);
        m_receivedTotal += kept;
        // Only the new bytes are searched for line ends.
        qsizetype from = 0;
        qsizetype lf;
        while ((lf = m_pendingText.indexOf('\n', m_scanFrom)) >= 0) {
            QByteArray line = m_pendingText.mid(from, lf - from);
            if (line.endsWith('\r'))
                line.chop(1);
            m_lineOffset = m_pendingOffset + from;
            from = lf + 1;
            m_scanFrom = from;
            if (line.size() > MaxReplyLine) {
                m_lastErrorText = QStringLiteral("Reply line from the server too long");
                Fail(errCommandFailed);
                return;
            }
            m_inReplyHandler = true;
            ProcessReplyLine(QString::fromUtf8(line));
            m_inReplyHandler = false;
            if (SocketSerial() != serial)
                return; // the handler closed this connection (and maybe opened another)
            if (TlsHandshaking()) {
                // The handler began TLS (234 to AUTH TLS): text that came in clear after
                // it is not the server's, whoever sent it, and is dropped whole.
                m_pendingOffset += m_pendingText.size();
                m_pendingText.clear();
                m_scanFrom = 0;
                m_inMultiLine = false;
                return;
            }
        }
        m_pendingText.remove(0, from);
        m_pendingOffset += from;
        m_scanFrom = m_pendingText.size();
        if (m_pendingText.size() > MaxReplyLine) {
            m_lastErrorText = QStringLiteral("Reply line from the server too long");
            Fail(errCommandFailed);
            return;
        }
    }
    // The budget is spent: what the socket still holds brings another notification, what
    // a TLS channel holds decrypted would not.
    ReadAgainIfBuffered();
}

void TMFtp::ProcessReplyLine(const QString &line)
{
    if (line.isEmpty())
        return;
    if (m_inMultiLine && m_multiText.size() + line.size() > MaxReplyText) {
        m_lastErrorText = QStringLiteral("Reply from the server too long");
        Fail(errCommandFailed);
        return;
    }
    if (m_inMultiLine && line.left(4) != m_multiCode + QLatin1Char(' ')) {
        m_multiText += line + QStringLiteral("\r\n");
        return;
    }
    if (line.size() >= 4 && line.at(3) == QLatin1Char('-')) {
        if (!m_inMultiLine) {
            m_inMultiLine = true;
            m_multiText = line + QStringLiteral("\r\n");
        }
        m_multiCode = line.left(3);
        return;
    }
    if (m_inMultiLine) {
        m_inMultiLine = false;
        m_replyLines = m_multiText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        m_replyLines.append(line);
        ReportInfo(infoMultiLineReply);
    }
    m_lastReply = line;
    // A reply that began before the last command went out, or that comes when no command
    // is waiting, answers nothing.
    if (!m_awaitingReply || m_lineOffset < m_commandOffset)
        return;
    if (!line.startsWith(QLatin1Char('1')))
        m_awaitingReply = false;
    TouchActivity();
    if (m_replyHandler)
        (this->*m_replyHandler)(line);
}

void TMFtp::SendCommand(const QString &command, Continuation handler)
{
    // A line end inside a file or user name would let the text become commands of its own.
    if (command.contains(QLatin1Char('\r')) || command.contains(QLatin1Char('\n'))
        || command.contains(QChar(0))) {
        RefuseCommand();
        return;
    }
    const QString line = command + QStringLiteral("\r\n");
    ReportInfo(infoCommandSent, line);
    QByteArray bytes = line.toUtf8();
    while (!bytes.isEmpty()) {
        PumpMessages();
        if (!SocketOpen() || !Connected) {
            // The control socket is gone or not connected: nothing can be sent, and
            // waiting would not help.
            if (ControlConnected())
                ReportDisconnected();
            return;
        }
        const int n = SendBuffer(bytes.constData(), static_cast<int>(bytes.size()));
        bytes.remove(0, n);
        if (CheckSocketError() || !ControlConnected())
            return;
    }
    m_replyHandler = handler;
    m_awaitingReply = true;
    m_commandOffset = m_receivedTotal;
    TouchActivity();
}

// A command that would have held a line end or a zero byte: nothing is sent, and the
// operation it belonged to ends. A login cannot go on without its command, so the
// connection is closed.
void TMFtp::RefuseCommand()
{
    m_lastErrorText = QStringLiteral("Command refused: it holds a line end or a zero byte");
    if (m_currentOperation == opLogin) {
        Fail(errCommandFailed);
        return;
    }
    ReportError(errCommandFailed);
    for (TMSocket *s : {&m_dataSocket, &m_listenSocket}) {
        s->OnClosed = nullptr;
        s->Close();
    }
    FinishOperation();
}

// ---- operations and notifications --------------------------------------------------

bool TMFtp::BeginOperation()
{
    // While the login dialogue runs, its commands own the connection.
    const bool busy = m_busy || m_currentOperation == opLogin;
    if (ControlConnected() && !busy) {
        m_busy = true;
        if (OnFtpBusy)
            OnFtpBusy(this);
        m_operationOk = true;
        StopNoopTimer();
        m_lastErrorKind = errUnspecified;
        return true;
    }
    // A refusal never touches the operation that is running: clearing its OperationOk
    // would stop its transfer loop half-way and leave a cut-off file on the server.
    if (!(ControlConnected() && busy))
        m_operationOk = false;
    if (ControlConnected() && busy)
        ReportInfo(infoBusy);
    else
        ReportInfo(infoDisconnected);
    return false;
}

void TMFtp::FinishOperation()
{
    m_replyHandler = nullptr;
    m_awaitingReply = false;
    // A transfer that ends for any reason leaves its local file closed and flushed.
    CloseLocalFile();
    // A download refused before the server accepted it leaves no file it created.
    if (m_localCreated) {
        m_localCreated = false;
        QFile::remove(m_localFileName);
    }
    TMMessage m;
    m.Msg = MsgOperationDone;
    NotifyWindow()->Post(m);
}

void TMFtp::HandleNotification(TMMessage &message)
{
    if (message.Msg == MsgOperationDone) {
        m_busy = false;
        StartNoopTimer();
        if (OnFtpReady)
            OnFtpReady(this);
        switch (m_currentOperation) {
        case opLogin:
            m_currentOperation = opNone;
            m_loggedIn = true;
            m_reportDisconnection = true;
            if (OnLoggedIn)
                OnLoggedIn(this);
            break;
        case opDownload:
            m_currentOperation = opNone;
            if (OnFileReceived)
                OnFileReceived(this);
            break;
        case opUpload:
            m_currentOperation = opNone;
            if (OnFileStored)
                OnFileStored(this);
            break;
        case opRename:
            m_currentOperation = opNone;
            if (OnFileRenamed)
                OnFileRenamed(this);
            break;
        case opDelete:
            m_currentOperation = opNone;
            if (OnFileDeleted)
                OnFileDeleted(this);
            break;
        case opListNames:
            m_currentOperation = opNone;
            if (OnListingDone)
                OnListingDone(this);
            break;
        case opMakeDirectory:
            m_currentOperation = opNone;
            if (OnDirectoryCreated)
                OnDirectoryCreated(this);
            break;
        case opNone:
        case opKeepAlive:
            break;
        }
    } else if (message.Msg == MsgDisconnected) {
        m_busy = false;
        StopNoopTimer();
        m_loggedIn = false;
        if (OnFtpQuit)
            OnFtpQuit(this);
    }
}

void TMFtp::ReportInfo(FtpInfo kind, const QString &text)
{
    QString shown = text.isEmpty() ? defaultInfoText(kind) : text;
    if (kind == infoCommandSent && shown.startsWith(QStringLiteral("PASS ")))
        shown = MaskedPass;
    if (OnFtpInfo)
        OnFtpInfo(this, kind, shown);
}

void TMFtp::ReportError(FtpError kind)
{
    m_operationOk = false;
    m_lastErrorKind = kind;
    const QString text = m_lastErrorText;
    m_lastErrorText.clear();
    if (OnFtpError)
        OnFtpError(this, kind, text);
}

void TMFtp::Fail(FtpError kind)
{
    m_lastErrorKind = kind;
    ReportError(kind);
    if (m_dataSocket.Connected)
        m_dataSocket.Close();
    if (m_listenSocket.Connected)
        m_listenSocket.Close();
    if (Connected)
        Close();
}

bool TMFtp::CheckSocketError()
{
    const quint16 code = LastError;
    if (code == 0 || code == ErrNotSocket || code == ErrNotConnected) {
        m_lastErrorKind = errUnspecified;
        return false;
    }
    if (code == ErrTlsHandshake || code == ErrTlsUntrusted || code == ErrTlsIo) {
        m_lastErrorKind = errTlsHandshake;
        m_lastErrorText = QStringLiteral("TLS failure: ")
                          + (TlsChannel() ? TlsChannel()->Error() : QString());
    } else {
        const SocketErrorReport report = ReportForSocketError(code);
        m_lastErrorKind = report.kind;
        m_lastErrorText = report.text;
    }
    Fail(m_lastErrorKind);
    return true;
}

// ---- time-out, close and retries -----------------------------------------------------

// Expects: the countdown of a lookup or connect reaching zero. The lookup or connect goes
// on; only connected sockets are closed.
void TMFtp::HandleTimeout()
{
    m_lastErrorText = QStringLiteral("Connection timed out");
    Fail(errTimedOut);
}

// Expects: a tick of the watchdog. While a reply is awaited or a data connection is open,
// TimeOut seconds without a byte in either direction end the connection.
void TMFtp::WatchdogTick()
{
    if (!ControlConnected() || !Connected || TimeOut <= 0)
        return;
    const bool waiting = m_awaitingReply || m_dataSocket.SocketOpen()
                         || m_listenSocket.SocketOpen();
    if (!waiting)
        return;
    // A download reads only once several blocks are waiting; bytes that arrived and wait
    // to be read are movement all the same.
    const int pending = m_dataSocket.PendingBytes();
    if (pending != m_dataPending) {
        m_dataPending = pending;
        TouchActivity();
    }
    // So are the records of a TLS handshake on either connection (the handshake takes
    // them as they come, so they never wait to be read).
    const quint64 tlsSteps = TlsHandshakeSteps() + m_dataSocket.TlsHandshakeSteps();
    if (tlsSteps != m_tlsStepsSeen) {
        m_tlsStepsSeen = tlsSteps;
        TouchActivity();
    }
    if (!m_lastActivity.isValid()
        || m_lastActivity.elapsed() < static_cast<qint64>(TimeOut) * 1000)
        return;
    m_lastErrorText = QStringLiteral("Connection timed out");
    Fail(errTimedOut);
}

void TMFtp::HandleClosed()
{
    if (m_state == TMFtpState::RetryWait)
        return; // a close during the wait of an earlier retry
    const RetryOutcome outcome = RetryConnect();
    if (m_reportDisconnection)
        ReportDisconnected();
    else if (outcome == RetryOutcome::Nothing && ControlConnected())
        // Closed before the login ended with no failure recorded: the connection is over
        // all the same, so that no later operation is admitted onto a missing socket.
        ReportDisconnected();
}

TMFtp::RetryOutcome TMFtp::RetryConnect()
{
    if (m_retriesLeft < 0) {
        ReportInfo(infoRetryFinished, QStringLiteral("Retry Finished"));
        m_reportDisconnection = true;
        return RetryOutcome::RetriesUsedUp;
    }
    if (m_loggedIn || m_lastErrorKind == errUnspecified)
        return RetryOutcome::Nothing;
    ReportInfo(infoRetrying, QStringLiteral("Retrying..."));
    m_waitFromConnected = ControlConnected();
    SetState(TMFtpState::RetryWait);
    m_reportDisconnection = false;
    if (m_retryInterval != 0) {
        // The wait wakes at least every 200 ms, so it ends at its deadline however coarse
        // the system's timers are, and it ends at once when the program quits (which
        // makes every event loop of the thread return).
        const QDeadlineTimer deadline(static_cast<qint64>(m_retryInterval) * 1000,
                                      Qt::PreciseTimer);
        while (!deadline.hasExpired() && !m_reportDisconnection
               && m_state == TMFtpState::RetryWait) {
            QEventLoop wait;
            bool woke = false;
            QTimer::singleShot(std::clamp<qint64>(deadline.remainingTime(), 1, 200),
                               Qt::PreciseTimer, &wait, [&] {
                                   woke = true;
                                   wait.quit();
                               });
            wait.exec();
            if (!woke) {
                // The program is quitting: no new connection.
                SetState(m_waitFromConnected ? TMFtpState::Connected : TMFtpState::Idle);
                m_reportDisconnection = true;
                return RetryOutcome::RetriesUsedUp;
            }
        }
    }
    // A Login called during the wait has connected already.
    if (!m_reportDisconnection && m_state == TMFtpState::RetryWait)
        StartConnect();
    return RetryOutcome::Retried;
}

void TMFtp::ReportDisconnected()
{
    SetState(TMFtpState::Idle);
    ReportInfo(infoDisconnected, QStringLiteral("Disconnected"));
    TMMessage m;
    m.Msg = MsgDisconnected;
    NotifyWindow()->Post(m);
    m_currentOperation = opNone;
    FinishOperation();
}

// ---- keep-alive and QUIT --------------------------------------------------------------

void TMFtp::NoopTick()
{
    if (m_busy || !m_loggedIn || !m_noopSupported)
        return;
    m_busy = true;
    m_currentOperation = opKeepAlive;
    SendCommand(QStringLiteral("NOOP"), &TMFtp::HandleNoopReply);
}

// Expects: 200 to NOOP; a reply beginning "50" means the server does not know NOOP.
void TMFtp::HandleNoopReply(const QString &reply)
{
    if (reply.startsWith(QStringLiteral("50")))
        m_noopSupported = false;
    m_busy = false;
}

// Expects: 221 to QUIT. The server is closing the connection: the component closes its
// side at once and is done (servers that end a protected connection without the close
// alert, or that keep it open, make no difference).
void TMFtp::HandleQuitReply(const QString &reply)
{
    m_loggedIn = false;
    if (!reply.startsWith(QLatin1Char('2'))) {
        Fail(errUnspecified);
        return;
    }
    Close();
}

// ---- waiting -----------------------------------------------------------------------------

void TMFtp::PumpMessages()
{
    if (!m_multiThreaded) {
        QCoreApplication::processEvents();
        return;
    }
    // The calling thread's own queue, one batch at a time with a pause after each.
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    while (dispatcher->processEvents(QEventLoop::AllEvents))
        QThread::msleep(500);
}

// One step of a waiting loop: like PumpMessages, but sleeps until something arrives
// instead of spinning when nothing is pending.
void TMFtp::WaitForEvents()
{
    if (m_multiThreaded)
        PumpMessages();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace ftp
