// TForm1: the upload of the journal export to the FTP server after every export, when the
// FTP option file says so, through the window's FTP component MFtp1.
//
// The upload starts only when both the message "Prebacujem podatke na server..." has been
// closed and the login has completed, so it never depends on how long the user reads the
// message, and its commands never cut into the login dialogue. A store that the component
// ends with an error is not reported as done, and the local export is then kept. An
// attempt that failed is over: the status line says so and why (naming the file and folder
// the server refused), and the next posting starts afresh, its progress in place of the
// failure. The outcome, success or failure, goes to the posting page's status line,
// never to a message box that would pop up while the cashier types the next posting.
#include "Unit1.h"
#include "FtpReasons.h"
#include "FtpSettings.h"
#include "ftp/Ftp.h"

#include "platform/Dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>

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

} // namespace

void TForm1::buildUpload()
{
    ListBox6 = new QListWidget(Notebook1->widget(PagePosting));
    ListBox6->setObjectName(QStringLiteral("ListBox6"));
    ListBox6->hide();

    MFtp1 = new TMFtp(this);
    MFtp1->setObjectName(QStringLiteral("MFtp1"));
    MFtp1->OnFtpInfo = [this](TMFtp *sender, FtpInfo info, const QString &addinfo) {
        MFtp1FtpInfo(sender, info, addinfo);
    };
    MFtp1->OnFtpError = [this](TMFtp *sender, FtpError error, const QString &addinfo) {
        MFtp1FtpError(sender, error, addinfo);
    };
    MFtp1->OnLoggedIn = [this](TMFtp *sender) { MFtp1LoggedIn(sender); };
    MFtp1->OnFileStored = [this](TMFtp *sender) { MFtp1FileStored(sender); };
    MFtp1->OnFileRenamed = [this](TMFtp *sender) { MFtp1FileRenamed(sender); };
    MFtp1->OnFileDeleted = [this](TMFtp *sender) { MFtp1FileDeleted(sender); };
}

void TForm1::uploadDecision()
{
    uploadDoneShown = false; // the outcome of the upload before is no longer news
    ListBox6->clear();
    const std::optional<QStringList> lines = loadFtpOptionLines();
    if (!lines)
        return;
    ListBox6->addItems(*lines);
    if (lines->isEmpty()) {
        showMissingLine(0);
        return;
    }
    if (lines->at(0) != QLatin1String("1"))
        return;
    if (lines->size() < 4) {
        showMissingLine(lines->size());
        return;
    }

    // An upload still running would be cut off by a new login: the new export is then
    // offered to the busy component, which refuses it with its busy text. A login still
    // under way (also while the component waits to retry) is not started again: the
    // upload it leads to sends the export as it is on disk then, that is this newer one.
    const bool uploadRunning =
        MFtp1->CurrentOperation() == opUpload || MFtp1->CurrentOperation() == opRename
        || MFtp1->CurrentOperation() == opDelete;
    // A login whose attempts are over (refused, timed out, retries used up) runs no more:
    // this posting starts a fresh one.
    const bool loginRunning = upload.pending && !upload.loggedIn && MFtp1->LoginRunning();
    if (loginRunning) {
        dialogs.message(QStringLiteral("Prebacujem podatke na server... posle klika na OK "
                                       "sacekajte poruku da su podaci preneti..."));
        upload.messageClosed = true;
        startUploadWhenReady();
        return;
    }
    const FtpSettings settings = FtpSettings::fromLines(*lines);
    if (!uploadRunning) {
        upload = UploadState();
        // A new attempt: its progress takes the place of the last one's failure.
        uploadFailed = false;
        uploadStatus = QStringLiteral("Prenos na server u toku");
        showStatusLine();
        MFtp1->SetServer(settings.server);
        MFtp1->SetUsername(settings.user);
        MFtp1->SetPassword(settings.password);
        // Optional lines: "FTPS" asks for explicit TLS and the next one pins the server's
        // key; then passive mode, the port and the remote path.
        MFtp1->SetTls(settings.tls ? tlsExplicit : tlsNone);
        MFtp1->SetTlsPinnedSha256(settings.pinnedKey);
        if (lines->size() > 6) {
            // Without these lines the component keeps what it has (active mode, port 21).
            MFtp1->SetPassive(settings.passive);
            MFtp1->Port = settings.port;
        }
        upload.remotePath = settings.remotePath;
        upload.temporaryPath = settings.temporaryPath();
        upload.pending = true;
        MFtp1->Login();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    dialogs.message(QStringLiteral("Prebacujem podatke na server... posle klika na OK "
                                   "sacekajte poruku da su podaci preneti..."));
    if (uploadRunning) {
        MFtp1->UploadFile(QDir(startDir).filePath(QStringLiteral("podaci.txt")),
                          settings.remotePath);
        return;
    }
    upload.messageClosed = true;
    startUploadWhenReady();
}

void TForm1::startUploadWhenReady()
{
    if (!upload.pending || !upload.messageClosed || !upload.loggedIn)
        return;
    upload.pending = false;
    upload.storing = true;
    upload.storeFailed = false;
    // Under a temporary name in the same folder first, renamed over the export once whole:
    // the server never shows a half file under its name.
    MFtp1->UploadFile(QDir(startDir).filePath(QStringLiteral("podaci.txt")),
                      upload.direct ? upload.remotePath : upload.temporaryPath);
}

void TForm1::MFtp1LoggedIn(TMFtp *)
{
    upload.loggedIn = true;
    startUploadWhenReady();
}

void TForm1::MFtp1FtpInfo(TMFtp *sender, FtpInfo info, const QString &addinfo)
{
    showUploadProgress(progressLine(sender, addinfo));
    if (info != infoDisconnected)
        return;
    // The connection is over. A login that never completed is over too, and the next posting
    // logs in again. A connection that ends in the middle of the work, with no error of its
    // own, is a failure all the same.
    if (upload.pending && !upload.loggedIn)
        upload.pending = false;
    const bool cutOff = (upload.pending && upload.loggedIn) || upload.storing || upload.renaming
                        || upload.deleting;
    if (!cutOff)
        return;
    upload.pending = false;
    if (upload.storing)
        upload.storeFailed = true; // whatever the store reports after this, it is no success
    if (upload.errorStatus.isEmpty())
        showUploadFailure(failureLine(QStringLiteral("veza sa serverom je prekinuta"), addinfo));
}

void TForm1::MFtp1FtpError(TMFtp *sender, FtpError error, const QString &addinfo)
{
    if (upload.storing)
        upload.storeFailed = true;
    if (upload.renaming) {
        upload.renameFailed = true;
        return; // not the end: the export is stored directly (MFtp1FileRenamed)
    }
    if (upload.deleting) {
        upload.deleteFailed = true;
        return; // not the end either: a temporary copy left behind harms nothing
    }
    // A refused login comes without a text of its own: the server's refusal says why.
    const QString text = addinfo.isEmpty() ? sender->LastReply() : addinfo;
    QString reason = failureReason(error);
    if (upload.storing && (error == errAccessDenied || error == errNoRemoteFile
                           || error == errCommandFailed))
        reason += refusedFileWords(upload.direct ? upload.remotePath : upload.temporaryPath);
    showUploadFailure(failureLine(reason, text));
}

void TForm1::showUploadFailure(const QString &line)
{
    upload.errorStatus = line;
    uploadFailed = true;
    uploadDoneShown = false;
    uploadStatus = line;
    showStatusLine();
}

void TForm1::showUploadProgress(const QString &line)
{
    // A failure stands until an upload succeeds, the outcome until the next action: the
    // progress of the connection's last steps never hides either.
    if (uploadFailed || uploadDoneShown)
        return;
    uploadStatus = line;
    showStatusLine();
}

bool TForm1::uploadInProgress() const
{
    return upload.pending || upload.storing || upload.renaming || upload.deleting
           || MFtp1->CurrentOperation() == opUpload || MFtp1->CurrentOperation() == opRename
           || MFtp1->CurrentOperation() == opDelete;
}

void TForm1::MFtp1FileStored(TMFtp *sender)
{
    const bool stored = upload.storing && !upload.storeFailed;
    upload.storing = false;
    if (!stored) {
        // The server did not take the file: the connection is dropped, the status line
        // keeps the component's error and the export stays for the next try.
        sender->Close();
        return;
    }
    if (!upload.direct) {
        upload.renaming = true;
        upload.renameFailed = false;
        sender->RenameFile(upload.temporaryPath, upload.remotePath);
        return;
    }
    finishUpload(sender);
}

void TForm1::MFtp1FileRenamed(TMFtp *sender)
{
    if (!upload.renaming)
        return;
    upload.renaming = false;
    if (!upload.renameFailed) {
        finishUpload(sender);
        return;
    }
    // The server refuses the rename: the temporary copy is deleted (the server's folder
    // keeps no stray file), and the export goes directly under its name, as the status
    // line says.
    upload.deleting = true;
    upload.deleteFailed = false;
    showUploadProgress(QStringLiteral("Server ne dozvoljava preimenovanje; saljem direktno u ")
                       + upload.remotePath);
    sender->DeleteFile(upload.temporaryPath);
}

void TForm1::MFtp1FileDeleted(TMFtp *sender)
{
    if (!upload.deleting)
        return;
    upload.deleting = false;
    upload.direct = true;
    upload.storing = true;
    upload.storeFailed = false;
    sender->UploadFile(QDir(startDir).filePath(QStringLiteral("podaci.txt")), upload.remotePath);
}

void TForm1::finishUpload(TMFtp *sender)
{
    // The outcome goes to the status line, never to a message box: one that pops up by
    // itself would take the keys of the next posting being typed.
    upload.errorStatus.clear();
    uploadFailed = false;
    uploadStatus = QStringLiteral("Podaci preneti na server!");
    if (upload.direct)
        uploadStatus += QStringLiteral(" Server ne dozvoljava preimenovanje; podaci su poslati "
                                       "direktno u ") + upload.remotePath
                        + (upload.deleteFailed ? QStringLiteral("; privremena datoteka ")
                                                     + upload.temporaryPath
                                                     + QStringLiteral(" ostaje na serveru")
                                               : QString());
    uploadDoneShown = true;
    showStatusLine();
    sender->Quit();
    sender->Close();
    QFile::remove(QDir(startDir).filePath(QStringLiteral("podaci.txt")));
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Closing cuts the upload off: the server keeps no new export, only the temporary copy.
    if (uploadInProgress()
        && !dialogs.confirm(QStringLiteral("Podaci se upravo prenose na server. Ako sada "
                                           "zatvorite program, prenos se prekida.\n"
                                           "Zatvoriti program?"))) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
