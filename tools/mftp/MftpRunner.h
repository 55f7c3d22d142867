#pragma once
// Runs one mftp transfer on a TMFtp inside the application's event loop: log in, move
// the file, send QUIT, and return an exit status (0: the transfer completed without an
// error event; 1: an error was reported, its kind and text printed on standard error).

#include "MftpOptions.h"

#include "ftp/Ftp.h"

#include <QElapsedTimer>
#include <QEventLoop>

class MftpRunner
{
public:
    explicit MftpRunner(const MftpOptions &options);
    int run();

private:
    void onInfo(FtpInfo info, const QString &text);
    void onError(FtpError error, const QString &text);
    void onLoggedIn();
    void onReady();
    void afterError();
    void finish(int status);
    void progress(bool last);

    const MftpOptions m_options;
    TMFtp m_ftp;
    QEventLoop m_loop;
    int m_status = 0;
    bool m_done = false;
    bool m_loggedIn = false;
    bool m_transferStarted = false;
    bool m_quitting = false;
    bool m_retryingSinceError = false;
    int m_errors = 0;
    QString m_firstError;
    qint64 m_fileSize = -1;
    QElapsedTimer m_transferClock;
    qint64 m_lastProgressMs = 0;
    bool m_progressShown = false;
};
