// Test helpers of the FTP component; see FtpTestSupport.h.

#include "FtpTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

using namespace ftp;

namespace ftptest {

void ensureApp()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "ftp_tests";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

bool waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(10);
    while (!pred()) {
        if (clock.elapsed() > timeoutMs)
            return pred();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void pumpFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    waitUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

QByteArray pattern(int size, char seed)
{
    QByteArray b(size, '\0');
    // Unsigned: the product passes INT_MAX past 16 MiB; only its low byte counts.
    for (int i = 0; i < size; ++i) {
        const unsigned u = static_cast<unsigned>(i);
        b[i] = static_cast<char>(static_cast<unsigned char>(seed) + ((u * 131u) ^ (u >> 9)));
    }
    return b;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    const bool written = f.open(QIODevice::WriteOnly | QIODevice::Truncate)
                         && f.write(bytes) == bytes.size();
    f.close();
    return written && f.setPermissions(f.permissions() | QFile::ReadOther | QFile::WriteOther);
}

ProgramRun runProgram(const QString &program, const QStringList &args, const QStringList &env,
                      int timeoutMs)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &v : env)
        e.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = program + QStringLiteral(" did not finish");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

void pointAt(TMFtp &ftp, quint16 port, int timeOut)
{
    ftp.SetServer(QStringLiteral("127.0.0.1"));
    ftp.Port = port;
    ftp.SetRetries(0);
    ftp.SetRetryInterval(0);
    ftp.TimeOut = timeOut;
}

void pointAtRealServer(TMFtp &ftp, quint16 port, const QString &user)
{
    ftp.SetServer(QStringLiteral("127.0.0.1"));
    ftp.Port = port;
    ftp.SetUsername(user);
    ftp.SetPassword(QStringLiteral("secret"));
    ftp.SetRetries(0);
    ftp.SetNoopInterval(0);
}

bool logIn(TMFtp &ftp, FtpLog &log, int timeoutMs)
{
    const int before = log.count(QStringLiteral("loggedin"));
    ftp.Login();
    return waitUntil([&] { return log.count(QStringLiteral("loggedin")) > before; }, timeoutMs);
}

FtpLog::FtpLog(TMFtp &ftp)
{
    ftp.OnFtpInfo = [this](TMFtp *, FtpInfo info, const QString &text) {
        lines.append(QStringLiteral("info %1 %2").arg(int(info)).arg(text));
    };
    ftp.OnFtpError = [this](TMFtp *, FtpError error, const QString &text) {
        lines.append(QStringLiteral("error %1 %2").arg(int(error)).arg(text));
    };
    ftp.OnFtpNeedInfo = [this](TMFtp *, TMFtpInfoNeeded need, QString &value) {
        lines.append(QStringLiteral("need %1").arg(int(need)));
        if (answer)
            value = answer(need);
    };
    ftp.OnFtpReady = [this](TMFtp *) { lines.append(QStringLiteral("ready")); };
    ftp.OnLoggedIn = [this](TMFtp *) { lines.append(QStringLiteral("loggedin")); };
    ftp.OnFileReceived = [this](TMFtp *) { lines.append(QStringLiteral("received")); };
    ftp.OnFileStored = [this](TMFtp *) { lines.append(QStringLiteral("stored")); };
    ftp.OnFileRenamed = [this](TMFtp *) { lines.append(QStringLiteral("renamed")); };
    ftp.OnFileDeleted = [this](TMFtp *) { lines.append(QStringLiteral("deleted")); };
    ftp.OnFtpQuit = [this](TMFtp *) { lines.append(QStringLiteral("quit")); };
    ftp.OnFtpBusy = [this](TMFtp *) { lines.append(QStringLiteral("busy")); };
}

int FtpLog::count(const QString &prefix) const
{
    int n = 0;
    for (const QString &l : lines)
        if (l.startsWith(prefix))
            ++n;
    return n;
}

int FtpLog::indexOf(const QString &prefix, int from) const
{
    for (int i = from; i < lines.size(); ++i)
        if (lines.at(i).startsWith(prefix))
            return i;
    return -1;
}

QStringList FtpLog::only(const QStringList &prefixes) const
{
    QStringList out;
    for (const QString &l : lines)
        for (const QString &p : prefixes)
            if (l.startsWith(p)) {
                out.append(l);
                break;
            }
    return out;
}

namespace {

const char *serverScript = R"PY(
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.CRITICAL)
home, limit, port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
auth = DummyAuthorizer()
auth.add_user("tester", "secret", home, perm="elradfmwMT")
auth.add_user("kasa", "tajna", home, perm="elradfmwMT")
auth.add_user("citac", "tajna", home, perm="elr")
auth.add_user("bezimena", "tajna", home, perm="elradmwMT")
auth.add_user("samopis", "tajna", home, perm="elramwMT")
class Handler(FTPHandler):
    authorizer = auth
    auth_failed_timeout = 0
    permit_foreign_addresses = False
if limit > 0:
    dtp = ThrottledDTPHandler
    dtp.read_limit = limit
    Handler.dtp_handler = dtp
server = FTPServer(("127.0.0.1", port), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.2)
)PY";

} // namespace

PythonServer::~PythonServer()
{
    if (m_process) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
}

bool PythonServer::start(const char *script, const QStringList &args, const QString &modules)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python)) {
        missing = true;
        problem = QStringLiteral("/usr/bin/python3 is not installed");
        return false;
    }
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import ") + modules});
    probe.waitForFinished(10000);
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        missing = true;
        problem = QStringLiteral("/usr/bin/python3 cannot import %1 (Debian python3-pyftpdlib, "
                                 "python3-openssl)").arg(modules);
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(python, QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + args);
    if (!m_process->waitForStarted(5000)) {
        problem = QStringLiteral("/usr/bin/python3 did not start");
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!m_process->canReadLine() && clock.elapsed() < 20000
           && m_process->state() == QProcess::Running)
        m_process->waitForReadyRead(200);
    firstLine = m_process->readLine().trimmed().split(' ');
    port = static_cast<quint16>(firstLine.value(0).toUInt());
    if (port == 0) {
        problem = QStringLiteral("the server gave no port: ")
                  + QString::fromUtf8(m_process->readAllStandardError());
        return false;
    }
    return true;
}

bool PyFtpServer::start(quint16 onPort)
{
    const bool started = m_python.start(
        serverScript, {home(), QString::number(m_bytesPerSecond), QString::number(onPort)},
        QStringLiteral("pyftpdlib"));
    static_cast<ServerStart &>(*this) = m_python;
    return started;
}

} // namespace ftptest
