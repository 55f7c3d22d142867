// FTP over TLS in TMFtp (RFC 4217). Explicit: after the welcome "AUTH TLS", the handshake
// on the control connection, then the welcome's step again inside TLS (USER, PASS, ...),
// and after the login "PBSZ 0" and "PROT P". Implicit: the handshake right after the
// connect, before the welcome. Every data connection of a protected session is a TLS
// client too, in active and passive mode, and offers the control connection's session
// for reuse. Guarantees: when TLS is asked for, no user name, password or data goes over
// a connection that is not protected by a trusted handshake; a server that refuses AUTH,
// PBSZ or PROT, or whose certificate is not trusted, is left without a retry.

#include "Ftp.h"
#include "FtpTls.h"

namespace ftp {

namespace {

bool positive(const QString &reply) { return reply.startsWith(QLatin1Char('2')); }

} // namespace

void TMFtp::SetTls(TMFtpTlsMode value)
{
    if (value == tlsImplicit && m_tls != tlsImplicit && Port == 21)
        Port = 990;
    else if (value != tlsImplicit && m_tls == tlsImplicit && Port == 990)
        Port = 21;
    m_tls = value;
}

void TMFtp::ResetTlsState()
{
    m_tlsActive = false;
    m_dataProtected = false;
    m_tlsProtocol.clear();
    m_tlsCipher.clear();
    m_tlsWelcome.clear();
    m_dataSocket.ArmTls(nullptr, TMTlsSettings());
}

void TMFtp::FailTls(FtpError kind, const QString &text, bool retry)
{
    if (!retry)
        m_retriesLeft = -1; // asking again gets the same answer
    m_lastErrorText = text;
    Fail(kind);
}

// Expects: 234 to AUTH TLS; anything else leaves the server before the user name.
void TMFtp::HandleAuthTlsReply(const QString &reply)
{
    if (positive(reply))
        StartControlTls();
    else
        FailTls(errTlsRefused, QStringLiteral("The server refused AUTH TLS: ") + reply, false);
}

// What the control and the data connections check of the server: the same for both.
TMTlsSettings TMFtp::TlsSettings() const
{
    TMTlsSettings settings;
    settings.host = HostName.isEmpty() ? HostAddress : HostName;
    settings.verify = m_tlsVerify;
    settings.pinnedSha256 = m_tlsPinned;
    settings.caFile = m_tlsCaFile;
    return settings;
}

void TMFtp::StartControlTls()
{
    m_replyHandler = nullptr; // nothing is read in clear from here on
    m_tlsContext = std::make_shared<TMTlsContext>(m_tlsCaFile);
    if (!m_tlsContext->Problem().isEmpty()) {
        FailTls(errTlsHandshake, QStringLiteral("TLS handshake failed: ") + m_tlsContext->Problem(),
                false);
        return;
    }
    const TMTlsSettings settings = TlsSettings();
    OnTlsDone = [this](TMSocket *) { ControlTlsDone(); };
    StartTls(m_tlsContext, settings); // with the TimeOut countdown
    CheckSocketError();
}

// Expects: the end of the control connection's handshake.
void TMFtp::ControlTlsDone()
{
    ArmTimeout(0);
    const TMTlsChannel *channel = TlsChannel();
    m_tlsFingerprint = channel ? channel->Fingerprint() : QString();
    if (LastError == ErrTlsUntrusted) {
        FailTls(errTlsUntrusted,
                QStringLiteral("The server's certificate is not trusted: %1 (server key %2)")
                    .arg(channel ? channel->UntrustedReason() : QString(), m_tlsFingerprint),
                false);
        return;
    }
    if (LastError != 0 || !channel) {
        FailTls(errTlsHandshake,
                QStringLiteral("TLS handshake failed: ") + (channel ? channel->Error() : QString()),
                true);
        return;
    }
    m_tlsActive = true;
    m_tlsProtocol = channel->Protocol();
    m_tlsCipher = channel->Cipher();
    ReportInfo(infoTlsEstablished, QStringLiteral("TLS established: %1, %2, server key %3")
                                       .arg(m_tlsProtocol, m_tlsCipher, m_tlsFingerprint));
    if (m_tls == tlsImplicit)
        m_replyHandler = &TMFtp::HandleWelcome; // the welcome comes inside TLS
    else
        HandleWelcome(m_tlsWelcome);
}

void TMFtp::SendPbsz()
{
    SendCommand(QStringLiteral("PBSZ 0"), &TMFtp::HandlePbszReply);
}

// Expects: 200 to PBSZ 0.
void TMFtp::HandlePbszReply(const QString &reply)
{
    if (positive(reply))
        SendCommand(QStringLiteral("PROT P"), &TMFtp::HandleProtReply);
    else
        FailTls(errTlsRefused, QStringLiteral("The server refused PBSZ 0: ") + reply, false);
}

// Expects: 200 to PROT P; data connections are protected from here on.
void TMFtp::HandleProtReply(const QString &reply)
{
    if (!positive(reply)) {
        FailTls(errTlsRefused, QStringLiteral("The server refused PROT P: ") + reply, false);
        return;
    }
    m_dataProtected = true;
    BeginClosingStages();
}

void TMFtp::ArmDataTls()
{
    m_dataSocket.OnTlsDone = [this](TMSocket *) { DataTlsDone(); };
    if (!m_dataProtected || !m_tlsContext) {
        m_dataSocket.ArmTls(nullptr, TMTlsSettings());
        return;
    }
    m_dataSocket.ArmTls(m_tlsContext, TlsSettings(), this);
}

// Expects: the end of a data connection's handshake; the transfer goes on by itself when
// it went well.
void TMFtp::DataTlsDone()
{
    const quint16 code = m_dataSocket.LastError;
    if (code == 0)
        return;
    const TMTlsChannel *channel = m_dataSocket.TlsChannel();
    if (code == ErrTlsUntrusted)
        m_lastErrorText = QStringLiteral("The server's certificate is not trusted: %1 (server key %2)")
                              .arg(channel ? channel->UntrustedReason() : QString(),
                                   channel ? channel->Fingerprint() : QString());
    else
        m_lastErrorText = QStringLiteral("TLS handshake failed on the data connection: ")
                          + (channel ? channel->Error() : QString());
    m_dataSocket.OnClosed = nullptr; // not the end of a transfer
    m_dataSocket.Close();
    Fail(code == ErrTlsUntrusted ? errTlsUntrusted : errTlsHandshake);
}

} // namespace ftp
