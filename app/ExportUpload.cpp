// The window's upload of the journal export: the login it waits for, the status line's texts,
// and the store, rename and fallback of one Uploader over MFtp1.

#include "ExportUpload.h"

#include "FtpReasons.h"
#include "FtpSettings.h"
#include "ftp/Ftp.h"

#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QFile>

using namespace ftp;

namespace {

// A text on one line (server replies end with CR LF, and a multi-line reply would push the
// label off its single line).
QString oneLine(const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

// The status line while an upload goes on: what the component reports and how much of the
// file has gone so far.
QString progressLine(const TMFtp *ftp, const QString &text)
{
    const QString line = oneLine(text);
    return (line.isEmpty() ? QStringLiteral("Prenos na server u toku")
                           : QStringLiteral("Prenos na server: ") + line)
           + QStringLiteral(" (preneto %1 B)").arg(ftp->BytesTransferred());
}

// Why an attempt failed, in the cashier's words.
QString failureReason(FtpError error)
{
    return ftpFailureReason(error, {QStringLiteral("server nije dozvolio upis"),
                                    QStringLiteral("datoteka podaci.txt nije procitana")});
}

// The status line after a failed attempt: that it failed and why, the component's own text
// after it; no byte count (which would be that of an earlier transfer).
QString failureLine(const QString &reason, const QString &detail)
{
    const QString text = oneLine(detail);
    return QStringLiteral("Prenos na server nije uspeo: ") + reason
           + (text.isEmpty() ? QString() : QStringLiteral(" (") + text + QLatin1Char(')'));
}

// Which file and folder the server refused, so that the administrator knows what to make or
// allow: " datoteke public_html/dv/.podaci.txt.part u folder public_html/dv".
QString refusedFileWords(const QString &file)
{
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    return QStringLiteral(" datoteke ") + file
           + (slash > 0 ? QStringLiteral(" u folder ") + file.left(slash) : QString());
}

const QString WaitMessage = QStringLiteral(
    "Prebacujem podatke na server... posle klika na OK sacekajte poruku da su podaci preneti...");

} // namespace

ExportUpload::ExportUpload(TMFtp &ftp, platform::Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_ftp(ftp), m_dialogs(dialogs), m_uploader(ftp)
{
    connect(&m_uploader, &Uploader::done, this, &ExportUpload::finish);
    // The server refuses the rename: the temporary copy is deleted (the server's folder keeps
    // no stray file), and the export goes directly under its name, as the status line says.
    connect(&m_uploader, &Uploader::renameRefused, this, [this] {
        showProgress(QStringLiteral("Server ne dozvoljava preimenovanje; saljem direktno u ")
                     + m_job.remotePath);
    });
}

void ExportUpload::decide(const QStringList &lines, const QString &localFile)
{
    m_localFile = localFile;
    // An upload still running would be cut off by a new login: the new export is then
    // offered to the busy component, which refuses it with its busy text. A login still
    // under way (also while the component waits to retry) is not started again: the
    // upload it leads to sends the export as it is on disk then, that is this newer one.
    const TMFtpOperation operation = m_ftp.CurrentOperation();
    const bool uploadRunning =
        operation == opUpload || operation == opRename || operation == opDelete;
    // A login whose attempts are over (refused, timed out, retries used up) runs no more:
    // this posting starts a fresh one.
    const bool loginRunning = m_pending && !m_loggedIn && m_ftp.LoginRunning();
    if (loginRunning) {
        m_dialogs.message(WaitMessage);
        m_messageClosed = true;
        startWhenReady();
        return;
    }
    const FtpSettings settings = FtpSettings::fromLines(lines);
    if (!uploadRunning) {
        m_uploader.reset();
        m_pending = m_messageClosed = m_loggedIn = false;
        m_errorStatus.clear();
        // A new attempt: its progress takes the place of the last one's failure.
        m_failed = false;
        setStatus(QStringLiteral("Prenos na server u toku"));
        m_ftp.SetServer(settings.server);
        m_ftp.SetUsername(settings.user);
        m_ftp.SetPassword(settings.password);
        // Optional lines: "FTPS" asks for explicit TLS and the next one pins the server's
        // key; then passive mode, the port and the remote path.
        m_ftp.SetTls(settings.tls ? tlsExplicit : tlsNone);
        m_ftp.SetTlsPinnedSha256(settings.pinnedKey);
        if (lines.size() > 6) {
            // Without these lines the component keeps what it has (active mode, port 21).
            m_ftp.SetPassive(settings.passive);
            m_ftp.Port = settings.port;
        }
        // Under a temporary name in the same folder first, renamed over the export once
        // whole: the server never shows a half file under its name.
        m_job = {m_localFile, settings.remotePath, settings.temporaryPath(),
                 Uploader::RefusedRename::StoreDirectly};
        m_pending = true;
        m_ftp.Login();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    m_dialogs.message(WaitMessage);
    if (uploadRunning) {
        m_ftp.UploadFile(m_localFile, settings.remotePath);
        return;
    }
    m_messageClosed = true;
    startWhenReady();
}

void ExportUpload::clearShownSuccess()
{
    if (!m_doneShown)
        return;
    m_doneShown = false;
    setStatus(QString());
}

void ExportUpload::startWhenReady()
{
    if (!m_pending || !m_messageClosed || !m_loggedIn)
        return;
    m_pending = false;
    m_uploader.start(m_job);
}

void ExportUpload::loggedIn()
{
    m_loggedIn = true;
    startWhenReady();
}

void ExportUpload::info(TMFtp *sender, FtpInfo info, const QString &addinfo)
{
    showProgress(progressLine(sender, addinfo));
    if (info != infoDisconnected) {
        m_uploader.info(info, addinfo); // a refused store, rename or delete ends the upload
        return;
    }
    // The connection is over. A login that never completed is over too, and the next posting
    // logs in again. A connection that ends in the middle of the work, with no error of its
    // own, is a failure all the same.
    if (m_pending && !m_loggedIn)
        m_pending = false;
    const bool cutOff = (m_pending && m_loggedIn) || m_uploader.running();
    m_uploader.info(info, addinfo); // whatever the store reports after this, it is no success
    if (!cutOff)
        return;
    m_pending = false;
    if (m_errorStatus.isEmpty())
        showFailure(failureLine(QStringLiteral("veza sa serverom je prekinuta"), addinfo));
}

void ExportUpload::error(TMFtp *sender, FtpError error, const QString &addinfo)
{
    // A refused rename is not the end: the export is stored directly (fileRenamed); nor is a
    // refused delete: a temporary copy left behind harms nothing.
    if (m_uploader.error(error, addinfo))
        return;
    // A refused login comes without a text of its own: the server's refusal says why.
    const QString text = addinfo.isEmpty() ? sender->LastReply() : addinfo;
    QString reason = failureReason(error);
    if (m_uploader.step() == Uploader::Step::Storing
        && (error == errAccessDenied || error == errNoRemoteFile || error == errCommandFailed))
        reason += refusedFileWords(m_uploader.storedName());
    showFailure(failureLine(reason, text));
}

void ExportUpload::fileStored(TMFtp *sender)
{
    // The server did not take the file: the connection is dropped, the status line keeps
    // the component's error and the export stays for the next try.
    if (!m_uploader.fileStored())
        sender->Close();
}

void ExportUpload::fileRenamed()
{
    m_uploader.fileRenamed();
}

void ExportUpload::fileDeleted()
{
    m_uploader.fileDeleted();
}

void ExportUpload::finish()
{
    // The outcome goes to the status line, never to a message box: one that pops up by
    // itself would take the keys of the next posting being typed.
    m_errorStatus.clear();
    m_failed = false;
    QString line = QStringLiteral("Podaci preneti na server!");
    if (m_uploader.direct())
        line += QStringLiteral(" Server ne dozvoljava preimenovanje; podaci su poslati "
                               "direktno u ") + m_job.remotePath
                + (m_uploader.temporaryLeft() ? QStringLiteral("; privremena datoteka ")
                                                    + m_job.temporaryPath
                                                    + QStringLiteral(" ostaje na serveru")
                                              : QString());
    m_doneShown = true;
    setStatus(line);
    m_ftp.Quit();
    m_ftp.Close();
    QFile::remove(m_localFile);
}

bool ExportUpload::inProgress() const
{
    const TMFtpOperation operation = m_ftp.CurrentOperation();
    return m_pending || m_uploader.running() || operation == opUpload || operation == opRename
           || operation == opDelete;
}

void ExportUpload::showFailure(const QString &line)
{
    m_errorStatus = line;
    m_failed = true;
    m_doneShown = false;
    setStatus(line);
}

void ExportUpload::showProgress(const QString &line)
{
    // A failure stands until an upload succeeds, the outcome until the next action: the
    // progress of the connection's last steps never hides either.
    if (m_failed || m_doneShown)
        return;
    setStatus(line);
}

void ExportUpload::setStatus(const QString &line)
{
    m_status = line;
    emit statusChanged();
}
