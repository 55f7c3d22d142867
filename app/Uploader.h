#pragma once

// The store of one file on an FTP server, as the export upload and the off-site FTP copies
// both make it, over a TMFtp that is logged in: the file is stored under a temporary name in
// the target's folder and renamed over the target once whole, so that the server never shows
// a half file under the target's name. A refused rename deletes the temporary copy; then the
// file is stored under the target's name directly, or the upload fails, as the job says. A
// job without a temporary name is stored directly.
//
// The uploader does not take the component's handler slots: whoever owns them (the window's
// MFtp1 handlers, the off-site target's session) hands it the events through info(),
// error(), fileStored(), fileRenamed() and fileDeleted(). It works alike whether the
// component runs asynchronously or waits (Asynchronous false): each step starts the next from
// the event that ends it. It ends with done() or failed(), once, and is idle after either.

#include "ftp/FtpTypes.h"

#include <QObject>
#include <QString>

namespace ftp {
class TMFtp;
}

class Uploader : public QObject
{
    Q_OBJECT

public:
    enum class Step { Idle, Storing, Renaming, Deleting };
    // What follows the delete of the temporary copy after a refused rename.
    enum class RefusedRename { StoreDirectly, Fail };

    struct Job
    {
        QString localFile;
        QString remotePath;
        QString temporaryPath; // empty: stored under remotePath directly
        RefusedRename refusedRename = RefusedRename::StoreDirectly;
    };

    explicit Uploader(ftp::TMFtp &ftp, QObject *parent = nullptr);

    // Starts the job's store. An upload still running is forgotten (its events no longer
    // count: the component refuses the new store while the old one runs).
    void start(const Job &job);
    // Forgets a job that may still run: its events no longer count.
    void reset() { setStep(Step::Idle); }

    // The component's events.
    // A notice: infoDisconnected ends a running upload as failed (the connection is over),
    // and so does infoBusy while the uploader's own command is being given (not admitted).
    void info(ftp::FtpInfo kind, const QString &text);
    // An error: it fails the store; true when it belongs to the rename or the delete, which
    // are not the upload's end (the rename's end decides, the delete's never does).
    bool error(ftp::FtpError kind, const QString &text);
    // The end of an UploadFile; false when it was no store of this upload that went whole
    // (the store failed, or none was running).
    bool fileStored();
    void fileRenamed();
    void fileDeleted();

    Step step() const { return m_step; }
    bool running() const { return m_step != Step::Idle; }
    const Job &job() const { return m_job; }
    // The remote name the file goes to now: the temporary one until a direct store.
    QString storedName() const { return m_direct ? m_job.remotePath : m_job.temporaryPath; }
    // Whether the file went (or goes) under the target's name directly after a refused rename,
    // or the job had no temporary name.
    bool direct() const { return m_direct; }
    // Whether the delete of the temporary copy was refused (it stays on the server).
    bool temporaryLeft() const { return m_deleteFailed; }

signals:
    // The rename was refused; the delete of the temporary copy follows.
    void renameRefused();
    // The file is on the server under the target's name.
    void done();
    // The upload is over without that: `step` is the one that failed (Storing or Renaming),
    // `error` and `text` the first error the component reported for it (errUnspecified and
    // the component's notice when it reported none).
    void failed(Uploader::Step step, ftp::FtpError error, const QString &text);

private:
    void store(const QString &remoteName);
    void fail(Step step);
    void setStep(Step step) { m_step = step; }

    ftp::TMFtp &m_ftp;
    Job m_job;
    Step m_step = Step::Idle;
    bool m_direct = false;
    bool m_stepFailed = false;   // an error came for the step that runs
    bool m_deleteFailed = false;
    bool m_giving = false;       // the uploader's own command is being given to the component
    Step m_failedStep = Step::Idle; // after a refused rename that fails the job
    ftp::FtpError m_error = ftp::errUnspecified;
    QString m_errorText;
};
