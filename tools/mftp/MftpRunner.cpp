// One transfer of mftp; see MftpRunner.h. The component's events drive everything: the
// transfer starts from OnLoggedIn, its end is the OnFtpReady that follows, and QUIT ends
// the connection. An error before the login that the component will not retry (refused,
// unknown host, time-out) ends the run at once.

#include "MftpRunner.h"

#include <QTimer>

#include <cstdio>

namespace {

const char *errorName(FtpError e)
{
    switch (e) {
    case errUnspecified: return "errUnspecified";
    case errNetworkDown: return "errNetworkDown";
    case errInvalidAddress: return "errInvalidAddress";
    case errInternal: return "errInternal";
    case errWinsock: return "errWinsock";
    case errConnectionAborted: return "errConnectionAborted";
    case errConnectionReset: return "errConnectionReset";
    case errTimedOut: return "errTimedOut";
    case errOutOfSockets: return "errOutOfSockets";
    case errNetworkUnreachable: return "errNetworkUnreachable";
    case errAddressNotAvailable: return "errAddressNotAvailable";
    case errConnectionRefused: return "errConnectionRefused";
    case errCommandFailed: return "errCommandFailed";
    case errHostNotFound: return "errHostNotFound";
    case errHostUnreachable: return "errHostUnreachable";
    case errNoServer: return "errNoServer";
    case errLocalFileOpen: return "errLocalFileOpen";
    case errLocalFileWrite: return "errLocalFileWrite";
    case errLocalFileRead: return "errLocalFileRead";
    case errNoRemoteFile: return "errNoRemoteFile";
    case errConnectRejected: return "errConnectRejected";
    case errLoginFailed: return "errLoginFailed";
    case errDataConnection: return "errDataConnection";
    case errResumeFailed: return "errResumeFailed";
    case errAccessDenied: return "errAccessDenied";
    case errTlsRefused: return "errTlsRefused";
    case errTlsHandshake: return "errTlsHandshake";
    case errTlsUntrusted: return "errTlsUntrusted";
    default: return "errUnknown";
    }
}

void say(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

MftpRunner::MftpRunner(const MftpOptions &options) : m_options(options)
{
    m_ftp.SetServer(options.host);
    m_ftp.Port = options.port;
    if (!options.user.isEmpty())
        m_ftp.SetUsername(options.user);
    if (options.hasPassword)
        m_ftp.SetPassword(options.password);
    m_ftp.SetPassive(options.passive);
    m_ftp.SetTransferMode(options.ascii ? AsciiTransfer : BinaryTransfer);
    m_ftp.SetProxyType(options.proxyType);
    m_ftp.SetProxyServer(options.proxyHost);
    m_ftp.SetProxyPort(options.proxyPort);
    m_ftp.SetProxyUsername(options.proxyUser);
    m_ftp.SetProxyPassword(options.proxyPassword);
    m_ftp.SetRetries(options.retries);
    m_ftp.SetRetryInterval(options.retries > 0 ? 2 : 0);
    m_ftp.TimeOut = options.timeout;
    m_ftp.SetNoopInterval(0);
    m_ftp.SetTls(options.tls);
    m_ftp.Port = options.port; // after SetTls, which moves a default port
    m_ftp.SetTlsCaFile(options.caFile);
    m_ftp.SetTlsPinnedSha256(options.pinnedKey);
    m_ftp.SetTlsVerify(!options.insecure);

    m_ftp.OnFtpInfo = [this](TMFtp *, FtpInfo info, const QString &text) { onInfo(info, text); };
    m_ftp.OnFtpError = [this](TMFtp *, FtpError e, const QString &text) { onError(e, text); };
    m_ftp.OnFtpNeedInfo = [this](TMFtp *, TMFtpInfoNeeded need, QString &value) {
        if (need == needResumeChoice)
            value = m_options.resume ? QStringLiteral("Resume") : QStringLiteral("Overwrite");
    };
    m_ftp.OnLoggedIn = [this](TMFtp *) { onLoggedIn(); };
    m_ftp.OnFtpReady = [this](TMFtp *) { onReady(); };
    m_ftp.OnFtpQuit = [this](TMFtp *) {
        // The connection ended: after QUIT as planned, otherwise as a failure.
        if (!m_quitting && m_errors == 0) {
            m_errors = 1;
            m_firstError = QStringLiteral("the connection ended before the transfer");
        }
        finish(m_errors == 0 ? 0 : 1);
    };
}

int MftpRunner::run()
{
    m_ftp.Login();
    if (!m_done)
        m_loop.exec();
    progress(true);
    if (m_status != 0)
        say(QStringLiteral("mftp: %1\n").arg(m_firstError));
    return m_status;
}

void MftpRunner::finish(int status)
{
    if (m_done)
        return;
    m_done = true;
    m_status = status;
    m_loop.quit();
}

void MftpRunner::onInfo(FtpInfo info, const QString &text)
{
    if (info == infoRetrying)
        m_retryingSinceError = true;
    if (info == infoFileSize && m_transferStarted) {
        m_fileSize = text.toLongLong();
        m_transferClock.start();
    }
    if (info == infoTransferProgress)
        progress(false);
    if (m_options.verbose && !text.isEmpty()) {
        QString line = text;
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty()) {
            progress(true);
            say(line + QLatin1Char('\n'));
        }
    }
}

void MftpRunner::onError(FtpError error, const QString &text)
{
    ++m_errors;
    const QString line = QStringLiteral("%1 (%2)%3")
                             .arg(QLatin1String(errorName(error)))
                             .arg(int(error))
                             .arg(text.isEmpty() ? QString() : QStringLiteral(": ") + text);
    if (m_firstError.isEmpty())
        m_firstError = line;
    if (m_options.verbose)
        say(QStringLiteral("error: ") + line + QLatin1Char('\n'));
    if (!m_loggedIn) {
        // Whether the component retries or reports a disconnection is decided right after
        // this event; look once the current handler has returned.
        m_retryingSinceError = false;
        QTimer::singleShot(0, &m_loop, [this] { afterError(); });
    }
}

void MftpRunner::afterError()
{
    if (m_loggedIn || m_retryingSinceError || m_done)
        return;
    // No retry follows: a disconnection (OnFtpQuit) may, or nothing more will.
    QTimer::singleShot(200, &m_loop, [this] {
        if (!m_loggedIn && !m_retryingSinceError)
            finish(1);
    });
}

void MftpRunner::onLoggedIn()
{
    m_loggedIn = true;
    m_errors = 0;
    m_firstError.clear();
    m_transferStarted = true;
    // Started from a queued call so that the login's own event handling has ended.
    QTimer::singleShot(0, &m_loop, [this] {
        if (m_options.put)
            m_ftp.UploadFile(m_options.localFile, m_options.remotePath);
        else
            m_ftp.DownloadFile(m_options.remotePath, m_options.localFile);
    });
}

void MftpRunner::onReady()
{
    if (!m_transferStarted || m_quitting || !m_loggedIn)
        return;
    if (m_ftp.CurrentOperation() == opLogin)
        return;
    // The transfer's operation is done (its own event follows in the same handling).
    m_quitting = true;
    QTimer::singleShot(0, &m_loop, [this] {
        progress(true);
        m_ftp.Quit();
        // A server that never closes after QUIT does not keep us waiting.
        QTimer::singleShot(3000, &m_loop, [this] { finish(m_errors == 0 ? 0 : 1); });
    });
}

void MftpRunner::progress(bool last)
{
    if (!m_transferClock.isValid())
        return;
    const qint64 ms = m_transferClock.elapsed();
    if (last) {
        if (m_progressShown)
            say(QStringLiteral("\n"));
        m_progressShown = false;
        return;
    }
    if (ms < 1000 || ms - m_lastProgressMs < 250)
        return;
    m_lastProgressMs = ms;
    const double mib = double(m_ftp.BytesTransferred()) / (1024.0 * 1024.0);
    const double rate = mib / (double(ms) / 1000.0);
    QString line = QStringLiteral("\r%1 MiB").arg(mib, 0, 'f', 1);
    if (m_fileSize > 0)
        line += QStringLiteral(" of %1 MiB").arg(double(m_fileSize) / (1024.0 * 1024.0), 0, 'f', 1);
    line += QStringLiteral(", %1 MiB/s   ").arg(rate, 0, 'f', 1);
    say(line);
    m_progressShown = true;
}
