#pragma once

// The upload of the journal export "podaci.txt" after every export, when the FTP option file
// says so: the window's upload object, beside the posting page, over the window's component
// MFtp1 (whose handlers on TForm1 hand it the component's events) and one Uploader.
//
// The upload starts only when both the message "Prebacujem podatke na server..." has been
// closed and the login has completed, so it never depends on how long the user reads the
// message, and its commands never cut into the login dialogue. A store that the component
// ends with an error is not reported as done, and the local export is then kept. An attempt
// that failed is over: the status line says so and why (naming the file and folder the
// server refused), and the next posting starts afresh, its progress in place of the failure.
// The outcome, success or failure, goes to the posting page's status line (status()), never
// to a message box that would pop up while the cashier types the next posting.

#include "Uploader.h"

#include "ftp/FtpTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace ftp {
class TMFtp;
}
namespace platform {
class Dialogs;
}

class ExportUpload : public QObject
{
    Q_OBJECT

public:
    ExportUpload(ftp::TMFtp &ftp, platform::Dialogs &dialogs, QObject *parent = nullptr);

    // A new export `localFile` (in the start directory) with the FTP option on: `lines` are
    // the option file's (first line "1", at least four lines). Shows the message, logs in and
    // uploads once both are over.
    void decide(const QStringList &lines, const QString &localFile);
    // The outcome of the upload before is no longer news (a new export is being decided on).
    void forgetOutcome() { m_doneShown = false; }
    // At the next posting: a success shown until now leaves the status line.
    void clearShownSuccess();

    // The component's events (MFtp1's handlers on TForm1 hand them on).
    void loggedIn();
    void info(ftp::TMFtp *sender, ftp::FtpInfo info, const QString &addinfo);
    void error(ftp::TMFtp *sender, ftp::FtpError error, const QString &addinfo);
    void fileStored(ftp::TMFtp *sender);
    void fileRenamed();
    void fileDeleted();

    // Whether an upload (its login, store, rename or the delete of its copy) is under way.
    bool inProgress() const;
    // The upload's part of the posting page's status line, and whether it is a failure.
    QString status() const { return m_status; }
    bool showsFailure() const { return m_failed; }

signals:
    // status() or showsFailure() changed.
    void statusChanged();

private:
    void startWhenReady();
    void finish();
    void showFailure(const QString &line);
    void showProgress(const QString &line);
    void setStatus(const QString &line);

    ftp::TMFtp &m_ftp;
    platform::Dialogs &m_dialogs;
    QString m_localFile;
    Uploader m_uploader;
    Uploader::Job m_job;

    // The login that this upload waits for, and the message.
    bool m_pending = false; // waiting for the message and the login
    bool m_messageClosed = false;
    bool m_loggedIn = false;
    QString m_errorStatus; // the status line of this attempt's error

    // A failed upload's line stands until the next attempt starts; a success's until the next
    // posting; the progress of an attempt shows only while neither stands.
    QString m_status;
    bool m_failed = false;
    bool m_doneShown = false;
};
