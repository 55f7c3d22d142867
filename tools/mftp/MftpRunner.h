#pragma once
// Runs one mftp transfer on a TMFtp inside the application's event loop: log in, move
// the file, send QUIT, and return an exit status: 0 only when the component reported the
// file received or stored and no error; otherwise 1, with the error's kind and text, the
// local file and the system's reason where it is a local failure, and the server's last
// reply printed on standard error. Text from the server is printed with its control bytes
// escaped. In ASCII mode the local file has LF line ends and the server gets CR LF.

#include "MftpOptions.h"

#include "ftp/Ftp.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryFile>

#include <memory>

class MftpRunner
{
public:
    explicit MftpRunner(const MftpOptions &options);
    int run();

private:
    void onInfo(ftp::FtpInfo info, const QString &text);
    void onError(ftp::FtpError error, const QString &text);
    void onLoggedIn();
    void onReady();
    void afterError();
    void finish(int status);
    void progress(bool last);
    bool succeeded() const { return m_transferDone && m_errors == 0; }
    QString localReason(ftp::FtpError error) const;
    bool prepareAsciiUpload();
    bool finishAsciiDownload();

    const MftpOptions m_options;
    ftp::TMFtp m_ftp;
    QEventLoop m_loop;
    int m_status = 0;
    bool m_done = false;
    bool m_loggedIn = false;
    bool m_transferStarted = false;
    bool m_quitting = false;
    bool m_retryingSinceError = false;
    int m_errors = 0;
    QString m_firstError;
    QString m_failureReply;      // the server's last reply when the first error came
    bool m_transferDone = false; // OnFileReceived or OnFileStored seen
    QString m_notice;            // why the component did nothing ("nothing to do", ...)
    QString m_uploadPath;        // the file sent (a CR LF copy in ASCII mode)
    std::unique_ptr<QTemporaryFile> m_asciiCopy;
    qint64 m_fileSize = -1;
    QElapsedTimer m_transferClock;
    qint64 m_lastProgressMs = 0;
    bool m_progressShown = false;
};
