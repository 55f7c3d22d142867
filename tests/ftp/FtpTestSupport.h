#pragma once
// Helpers of the FTP component's tests: the application object the event loop needs,
// waiting through the real event loop, a log of every event a TMFtp raises, and a real
// pyftpdlib server on loopback.

#include "ftp/Ftp.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include <ostream>

QT_BEGIN_NAMESPACE
// Readable QString values in test failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace ftptest {

void ensureApp();

// Runs the event loop until pred holds or timeoutMs pass; returns pred's last value.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 4000);
// Runs the event loop for ms milliseconds.
void pumpFor(int ms);

// Records every event of a component as one line each:
// "info <kind> <text>", "error <kind> <text>", "ready", "loggedin", "received", "stored",
// "quit", "busy".
class FtpLog
{
public:
    explicit FtpLog(ftp::TMFtp &ftp);
    QStringList lines;
    // What OnFtpNeedInfo answers, by need; unanswered needs leave the value empty.
    std::function<QString(ftp::TMFtpInfoNeeded)> answer;

    int count(const QString &prefix) const;
    int indexOf(const QString &prefix, int from = 0) const;
    bool has(const QString &prefix) const { return indexOf(prefix) >= 0; }
    // The lines that begin with one of the prefixes, in order.
    QStringList only(const QStringList &prefixes) const;
    QString dump() const { return lines.join(QLatin1Char('\n')); }
};

// A pyftpdlib server started with /usr/bin/python3 on a free loopback port, serving a
// temporary home directory to user "tester" with password "secret" (full rights), and to
// "reader" with password "secret" (read-only). Sessions start in binary type so that
// the login's REST probe succeeds.
class PyFtpServer
{
public:
    PyFtpServer();
    ~PyFtpServer();
    bool start();
    // Why start() failed, or empty when it succeeded.
    QString problem;
    // True when /usr/bin/python3 lacks pyftpdlib (the only reason to skip).
    bool missing = false;
    quint16 port = 0;
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    std::unique_ptr<QProcess> m_process;
};

} // namespace ftptest
