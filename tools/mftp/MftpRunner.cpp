// One transfer of mftp; see MftpRunner.h. The component's events drive everything: the
// transfer starts from OnLoggedIn, its end is the OnFtpReady that follows, and QUIT ends
// the connection. An error before the login that the component will not retry (refused,
// unknown host, time-out) ends the run at once.

#include "MftpRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>

#include <cstdio>

using namespace ftp;

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

// Server text as printable lines: control bytes other than the line ends become \xNN.
QStringList printable(const QString &text)
{
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        QString out;
        for (const QChar c : line) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
        if (!out.isEmpty())
            lines.append(out);
    }
    return lines;
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
    m_ftp.OnFileReceived = [this](TMFtp *) { m_transferDone = true; };
    m_ftp.OnFileStored = [this](TMFtp *) { m_transferDone = true; };
    m_ftp.OnFtpReady = [this](TMFtp *) { onReady(); };
    m_ftp.OnFtpQuit = [this](TMFtp *) {
        // The connection ended: after QUIT as planned, otherwise as a failure.
        if (!m_quitting && m_errors == 0) {
            m_errors = 1;
            m_firstError = QStringLiteral("the connection ended before the transfer");
        }
        finish(succeeded() ? 0 : 1);
    };
}

int MftpRunner::run()
{
    m_ftp.Login();
    if (!m_done)
        m_loop.exec();
    progress(true);
    if (m_status != 0) {
        if (m_firstError.isEmpty())
            m_firstError = m_notice.isEmpty()
                               ? QStringLiteral("%1: the transfer did not complete")
                                     .arg(m_options.localFile)
                               : QStringLiteral("%1: %2").arg(m_options.localFile, m_notice);
        say(QStringLiteral("mftp: %1\n").arg(m_firstError));
        const QStringList reply =
            printable(m_failureReply.isEmpty() ? m_ftp.LastReply() : m_failureReply);
        if (!reply.isEmpty())
            say(QStringLiteral("mftp: last reply from the server: %1\n").arg(reply.join(QLatin1Char(' '))));
    }
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
    if (m_transferStarted && (info == infoNothingToDo || info == infoResumeNotSupported))
        m_notice = text;
    if (m_options.verbose && !text.isEmpty()) {
        const QStringList lines = printable(text);
        if (!lines.isEmpty()) {
            progress(true);
            say(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        }
    }
}

// Why a local file could not be opened or written, in the system's words.
QString MftpRunner::localReason(FtpError error) const
{
    const QString path = m_options.localFile;
    const QFileInfo info(path);
    if (error == errLocalFileOpen) {
        if (m_options.put || info.exists()) {
            QFile f(path);
            if (!f.open(m_options.put ? QIODevice::ReadOnly : QIODevice::ReadWrite))
                return f.errorString();
            return QStringLiteral("cannot be opened");
        }
        const QFileInfo dir(info.absolutePath());
        if (!dir.isDir())
            return QStringLiteral("No such file or directory");
        if (!dir.isWritable())
            return QStringLiteral("Permission denied");
        return QStringLiteral("cannot be created");
    }
    if (error == errLocalFileWrite) {
        const QStorageInfo storage(info.absolutePath());
        if (storage.isValid() && storage.bytesAvailable() == 0)
            return QStringLiteral("No space left on device");
        return QStringLiteral("write failed");
    }
    return QStringLiteral("read failed");
}

void MftpRunner::onError(FtpError error, const QString &text)
{
    ++m_errors;
    QString detail = printable(text).join(QLatin1Char(' '));
    if (error == errLocalFileOpen || error == errLocalFileWrite || error == errLocalFileRead)
        detail = QStringLiteral("%1: %2").arg(m_options.localFile, localReason(error));
    const QString line = QStringLiteral("%1 (%2)%3")
                             .arg(QLatin1String(errorName(error)))
                             .arg(int(error))
                             .arg(detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    if (m_firstError.isEmpty()) {
        m_firstError = line;
        m_failureReply = m_ftp.LastReply();
    }
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
    m_failureReply.clear();
    m_transferStarted = true;
    QString problem;
    if (m_options.resume && !m_ftp.ResumeSupported())
        problem = QStringLiteral("the server cannot resume transfers (it refused REST)");
    else if (m_options.put && m_options.ascii && !prepareAsciiUpload())
        problem = QStringLiteral("%1: cannot make its CR LF copy").arg(m_options.localFile);
    if (!problem.isEmpty()) {
        ++m_errors;
        m_firstError = problem;
        m_quitting = true;
        QTimer::singleShot(0, &m_loop, [this] {
            m_ftp.Quit();
            QTimer::singleShot(3000, &m_loop, [this] { finish(1); });
        });
        return;
    }
    if (m_uploadPath.isEmpty())
        m_uploadPath = m_options.localFile;
    // Started from a queued call so that the login's own event handling has ended.
    QTimer::singleShot(0, &m_loop, [this] {
        if (m_options.put)
            m_ftp.UploadFile(m_uploadPath, m_options.remotePath);
        else
            m_ftp.DownloadFile(m_options.remotePath, m_options.localFile);
    });
}

// ASCII mode sends CR LF line ends: a copy of the local file with each lone LF made CR LF.
bool MftpRunner::prepareAsciiUpload()
{
    QFile in(m_options.localFile);
    if (!in.open(QIODevice::ReadOnly))
        return true; // the component reports the open failure with its own error
    const QByteArray text = in.readAll();
    QByteArray out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\n' && (i == 0 || text.at(i - 1) != '\r'))
            out.append('\r');
        out.append(text.at(i));
    }
    m_asciiCopy = std::make_unique<QTemporaryFile>();
    if (!m_asciiCopy->open() || m_asciiCopy->write(out) != out.size() || !m_asciiCopy->flush())
        return false;
    m_uploadPath = m_asciiCopy->fileName();
    return true;
}

// ASCII mode keeps LF line ends locally: the CR LF the server sent become LF.
bool MftpRunner::finishAsciiDownload()
{
    QFile in(m_options.localFile);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray text = in.readAll();
    in.close();
    text.replace("\r\n", "\n");
    QSaveFile out(m_options.localFile);
    return out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit();
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
        if (succeeded() && m_options.ascii && !m_options.put && !finishAsciiDownload()) {
            ++m_errors;
            m_firstError = QStringLiteral("%1: cannot change its line ends to LF")
                               .arg(m_options.localFile);
        }
        m_ftp.Quit();
        // A server that never closes after QUIT does not keep us waiting.
        QTimer::singleShot(3000, &m_loop, [this] { finish(succeeded() ? 0 : 1); });
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
