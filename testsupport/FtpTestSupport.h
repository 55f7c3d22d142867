#pragma once
// Helpers of the FTP component's tests: the application object the event loop needs,
// waiting through the real event loop, a log of every event a TMFtp raises, and a real
// pyftpdlib server on loopback.

#include "QtPrinters.h"
#include "ftp/Ftp.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace ftptest {

void ensureApp();

// Runs the event loop until pred holds or timeoutMs pass; returns pred's last value.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 4000);
// Runs the event loop for ms milliseconds.
void pumpFor(int ms);

// Points ftp at 127.0.0.1:port with no retries and no wait between them, and timeOut
// seconds for every wait (a scripted server answers at once).
void pointAt(ftp::TMFtp &ftp, quint16 port, int timeOut = 3);
// Points ftp at a real server on 127.0.0.1:port as user (password "secret"), with no
// retries and no keep-alive; the time-out keeps its default, since a real server on a
// loaded machine may be slow.
void pointAtRealServer(ftp::TMFtp &ftp, quint16 port,
                       const QString &user = QStringLiteral("tester"));

// Bytes of a pattern that repeats at no block or record size; another seed, other bytes.
QByteArray pattern(int size, char seed = 0);
// A file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString &path);
// Writes a whole file, readable and writable by everyone (a real server may run as another
// user); false when it cannot be written.
bool writeFile(const QString &path, const QByteArray &bytes);

// A finished run of a program: its exit status (-1 when it did not finish within the time,
// -2 when it crashed) and its standard error.
struct ProgramRun
{
    int status = -1;
    QString err;
};
// Runs program with args and the variables of env ("NAME=value") added to the environment.
ProgramRun runProgram(const QString &program, const QStringList &args,
                      const QStringList &env = {}, int timeoutMs = 30000);
#ifdef MFTP_PATH
inline ProgramRun mftp(const QStringList &args, const QStringList &env = {})
{
    return runProgram(QStringLiteral(MFTP_PATH), args, env);
}
#endif

class FtpLog;
// Starts a login and runs the event loop until one more "loggedin" is in the log; false
// when timeoutMs passed first.
bool logIn(ftp::TMFtp &ftp, FtpLog &log, int timeoutMs = 4000);

// Starts a real server for a test, or skips the test when /usr/bin/python3 lacks what the
// server needs; any other failure fails it. A macro, since both end the test function.
#define FTPTEST_START_OR_SKIP(server)                                                      \
    do {                                                                                   \
        if (!(server).start()) {                                                           \
            if ((server).missing)                                                          \
                GTEST_SKIP() << (server).problem.toStdString();                            \
            FAIL() << (server).problem.toStdString();                                      \
        }                                                                                  \
    } while (false)

// Records every event of a component as one line each:
// "info <kind> <text>", "error <kind> <text>", "ready", "loggedin", "received", "stored",
// "renamed", "deleted", "quit", "busy".
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

// What the start() of a test's server leaves: why it failed (empty when it did not), whether
// that is something this machine lacks (the one reason to skip a test rather than fail it),
// and the port the server listens on.
struct ServerStart
{
    QString problem;
    bool missing = false;
    quint16 port = 0;
};

// A server script run by /usr/bin/python3 for as long as this object lives. start()
// checks that python3 can import modules (a comma-separated list), runs the script with
// args, and reads the first line it prints: the words of that line (the port first) are
// in firstLine. missing is set when python3 or a module is absent.
class PythonServer : public ServerStart
{
public:
    ~PythonServer();
    bool start(const char *script, const QStringList &args, const QString &modules);
    QList<QByteArray> firstLine;

private:
    std::unique_ptr<QProcess> m_process;
};

// A pyftpdlib server started with /usr/bin/python3 on a loopback port (a free one unless
// given), serving a temporary home directory to user "tester" with password "secret" and to
// "kasa"/"tajna" (both full rights), to "citac"/"tajna" (read only), to "bezimena"/"tajna"
// (everything but renaming) and to "samopis"/"tajna" (neither renaming nor deleting).
// Uploads are slowed to bytesPerSecond when it is given, so a test can act while a store is
// running. Like many servers it refuses REST in ASCII type, the type a session starts in.
class PyFtpServer : public ServerStart
{
public:
    explicit PyFtpServer(int bytesPerSecond = 0) : m_bytesPerSecond(bytesPerSecond) {}
    bool start(quint16 onPort = 0);
    QString home() const { return m_home.path(); }

private:
    int m_bytesPerSecond;
    QTemporaryDir m_home;
    PythonServer m_python;
};

} // namespace ftptest
