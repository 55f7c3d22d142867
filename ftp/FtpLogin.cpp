// The login dialogue of TMFtp: the welcome, the proxy stages of the five proxy kinds, the
// user, password and account stages (asking OnFtpNeedInfo for empty values), server-type
// detection from SYST, the resume probe and the initial directory. Each step judges the
// reply by its first character, sends the next command with the next step, or gives the
// connection up with Fail (which may lead to a retry).

#include "Ftp.h"
#include "FtpMisc.h"

namespace ftp {

namespace {

bool positive(const QString &reply) { return reply.startsWith(QLatin1Char('2')); }
bool intermediate(const QString &reply) { return reply.startsWith(QLatin1Char('3')); }

} // namespace

// Expects: 220, the server's (or proxy's) welcome.
void TMFtp::HandleWelcome(const QString &reply)
{
    m_currentOperation = opLogin;
    if (!positive(reply)) {
        Fail(errConnectRejected);
        return;
    }
    if (m_tls == tlsExplicit && !m_tlsActive) {
        // Nothing of the login goes out before the connection is protected.
        m_tlsWelcome = reply;
        SendCommand(QStringLiteral("AUTH TLS"), &TMFtp::HandleAuthTlsReply);
        return;
    }
    if (m_username.isEmpty())
        m_username = AskFor(needUsername, m_username);
    if (m_proxyType != proxyNone) {
        RestoreRealServer();
    } else if (m_serverType == ftpstAutoDetect
               && reply.contains(QStringLiteral("NetTerm FTP server"))) {
        m_serverType = ftpstNetTerm;
    }
    const QString portSuffix = Port == 21 ? QString() : QLatin1Char(':') + QString::number(Port);
    switch (m_proxyType) {
    case proxyNone:
        SendCommand(QStringLiteral("USER ") + m_username, &TMFtp::HandleUserReply);
        break;
    case proxyHost:
        SendCommand(QStringLiteral("HOST ") + Server(), &TMFtp::HandleHostReply);
        break;
    case proxyHostUser:
        SendCommand(QStringLiteral("USER ") + Server() + portSuffix + QLatin1Char('!') + m_username,
                    &TMFtp::HandleUserReply);
        break;
    case proxyOpen:
        SendCommand(QStringLiteral("OPEN ") + Server(), &TMFtp::HandleOpenReply);
        break;
    case proxySite:
        SendCommand(QStringLiteral("USER ") + m_proxyUsername, &TMFtp::HandleProxyUserReply);
        break;
    case proxyUserSite:
        SendCommand(QStringLiteral("USER ") + m_username + QLatin1Char('@') + Server() + portSuffix,
                    &TMFtp::HandleUserReply);
        break;
    }
}

// Expects: 3xx to HOST, the proxy waiting for the user.
void TMFtp::HandleHostReply(const QString &reply)
{
    if (intermediate(reply))
        SendCommand(QStringLiteral("USER ") + m_username, &TMFtp::HandleUserReply);
    else
        Fail(errConnectRejected);
}

// Expects: 2xx to OPEN, the proxy connected to the server.
void TMFtp::HandleOpenReply(const QString &reply)
{
    if (positive(reply))
        SendCommand(QStringLiteral("USER ") + m_username, &TMFtp::HandleUserReply);
    else
        Fail(errConnectRejected);
}

// Expects: 2xx (logged in at the proxy) or 3xx (password wanted) to the proxy's USER.
void TMFtp::HandleProxyUserReply(const QString &reply)
{
    if (m_proxyUsername.isEmpty())
        m_proxyUsername = AskFor(needUsername, m_proxyUsername);
    if (positive(reply)) {
        SendCommand(QStringLiteral("SITE ") + Server(), &TMFtp::HandleSiteReply);
    } else if (intermediate(reply)) {
        if (m_proxyPassword.isEmpty())
            m_proxyPassword = AskFor(needPassword, m_proxyPassword);
        SendCommand(QStringLiteral("PASS ") + m_proxyPassword, &TMFtp::HandleProxyPassReply);
    } else {
        Fail(errLoginFailed);
    }
}

// Expects: 2xx to the proxy's PASS.
void TMFtp::HandleProxyPassReply(const QString &reply)
{
    if (positive(reply))
        SendCommand(QStringLiteral("SITE ") + Server(), &TMFtp::HandleSiteReply);
    else
        Fail(errLoginFailed);
}

// Expects: 2xx to SITE, the proxy connected to the real server.
void TMFtp::HandleSiteReply(const QString &reply)
{
    if (positive(reply))
        SendCommand(QStringLiteral("USER ") + m_username, &TMFtp::HandleUserReply);
    else
        Fail(errCommandFailed);
}

// Expects: 230 (no password needed) or 331 to USER.
void TMFtp::HandleUserReply(const QString &reply)
{
    if (positive(reply)) {
        BeginClosingStages();
    } else if (intermediate(reply)) {
        if (m_password.isEmpty())
            m_password = AskFor(needPassword, m_password);
        SendCommand(QStringLiteral("PASS ") + m_password, &TMFtp::HandlePassReply);
    } else {
        Fail(errLoginFailed);
    }
}

// Expects: 230, or 332 when an account is wanted, to PASS.
void TMFtp::HandlePassReply(const QString &reply)
{
    if (positive(reply)) {
        BeginClosingStages();
    } else if (intermediate(reply)) {
        if (m_account.isEmpty())
            m_account = AskFor(needAccount, m_account);
        SendCommand(QStringLiteral("ACCT ") + m_account, &TMFtp::HandleAcctReply);
    } else {
        Fail(errLoginFailed);
    }
}

// Expects: 2xx to ACCT.
void TMFtp::HandleAcctReply(const QString &reply)
{
    if (positive(reply))
        BeginClosingStages();
    else
        Fail(errLoginFailed);
}

void TMFtp::BeginClosingStages()
{
    if (ProtectionPending()) {
        SendPbsz(); // PBSZ 0 and PROT P come back here
        return;
    }
    if (m_serverType == ftpstAutoDetect)
        SendCommand(QStringLiteral("SYST"), &TMFtp::HandleSystReply);
    else
        SendRestProbe(QString());
}

// Expects: any reply to the step before (SYST, or TYPE after a refused probe).
void TMFtp::SendRestProbe(const QString &)
{
    SendCommand(QStringLiteral("REST 100"), &TMFtp::HandleRestProbeReply);
}

// Expects: 215 with the system's name; a refusal leaves the default kind.
void TMFtp::HandleSystReply(const QString &reply)
{
    if (reply.startsWith(QLatin1Char('5'))) {
        m_serverType = ftpstDefault;
    } else if (m_serverType == ftpstAutoDetect) {
        const QString text = reply.mid(4, 99).toUpper();
        const auto has = [&text](const char *word) { return text.contains(QLatin1String(word)); };
        m_serverType = ftpstDefault;
        // The first word found wins; the Windows NT word is matched as servers of that
        // family were once recognised, misspelling included.
        if (has("UNIX"))
            m_serverType = ftpstUNIX;
        else if (has("BSD"))
            m_serverType = ftpstBSD;
        else if (has("SUNOS"))
            m_serverType = ftpstSunOS;
        else if (has("CLIX"))
            m_serverType = ftpstClix;
        else if (has("ULTRIX"))
            m_serverType = ftpstULTRIX;
        else if (has("MVS"))
            m_serverType = ftpstMVS;
        else if (has("QVT"))
            m_serverType = ftpstQVT;
        else if (has("NCSA"))
            m_serverType = ftpstNCSA;
        else if (has("WFTPD"))
            m_serverType = ftpstWFTPD;
        else if (has("WINDWOS_NT"))
            m_serverType = ftpstMSFTP;
        else if (has("CHAMELEON"))
            m_serverType = ftpstChameleon;
        else if (has("VMS"))
            m_serverType = has("MULTINET") ? ftpstVmsMultinet : ftpstVmsUcx;
        else if (has("VM"))
            m_serverType = has("VPS") ? ftpstVMVPS : ftpstVM;
    }
    SendRestProbe(reply);
}

// Expects: 350 when the server can restart transfers. A REST offset counts bytes of the
// image type, and many servers refuse REST in ASCII, the type a session starts in: a
// refusal is asked again once in the type the transfers use (which they then need not send
// again); a second refusal means the server cannot restart.
void TMFtp::HandleRestProbeReply(const QString &reply)
{
    const QString transferType =
        m_transferMode == BinaryTransfer ? QStringLiteral("I") : QStringLiteral("A");
    if (!intermediate(reply) && m_currentType != transferType) {
        SetTransferType(transferType, &TMFtp::SendRestProbe);
        return;
    }
    if (intermediate(reply)) {
        m_resumeSupported = true;
        ReportInfo(infoResumeSupported,
                   QStringLiteral("This site can resume broken downloads/uploads"));
        SendCommand(QStringLiteral("REST 0"), &TMFtp::EnterInitialDirectory);
    } else {
        m_resumeSupported = false;
        ReportInfo(infoResumeNotSupported);
        EnterInitialDirectory(QStringLiteral("299"));
    }
}

// Expects: any reply (the answer to REST 0 is not examined).
void TMFtp::EnterInitialDirectory(const QString &)
{
    if (!m_initialDirectory.isEmpty())
        SendCommand(QStringLiteral("CWD ") + m_initialDirectory, &TMFtp::HandleInitialCwdReply);
    else
        SendCommand(QStringLiteral("PWD"), &TMFtp::HandlePwdReply);
}

// Expects: 250 to CWD, ideally quoting the new directory; otherwise PWD asks for it.
void TMFtp::HandleInitialCwdReply(const QString &reply)
{
    if (positive(reply))
        m_currentDirectory = misc::QuotedDirectory(reply);
    if (!m_currentDirectory.isEmpty()) {
        ReportInfo(infoLoggedIn);
        FinishOperation();
    } else {
        SendCommand(QStringLiteral("PWD"), &TMFtp::HandlePwdReply);
    }
}

// Expects: 257 with the quoted current directory.
void TMFtp::HandlePwdReply(const QString &reply)
{
    if (m_currentDirectory.isEmpty()) {
        if (!positive(reply)) {
            Fail(errCommandFailed);
            return;
        }
        m_currentDirectory = misc::QuotedDirectory(reply);
        if (m_serverType == ftpstNetTerm || m_serverType == ftpstServU)
            m_currentDirectory = misc::StripDrivePrefix(m_currentDirectory);
    }
    ReportInfo(infoLoggedIn);
    FinishOperation();
}

} // namespace ftp
