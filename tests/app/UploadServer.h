#pragma once

// A real FTP server for the upload tests: pyftpdlib, started with /usr/bin/python3 on a free
// loopback port, serving one temporary home to "kasa"/"tajna" (full rights) and to
// "citac"/"tajna" (read only). Uploads are slowed to `bytesPerSecond` when it is given, so
// a test can act while a store is running.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

class UploadServer
{
public:
    explicit UploadServer(int bytesPerSecond = 0) : limit(bytesPerSecond) {}
    ~UploadServer()
    {
        if (process) {
            process->kill();
            process->waitForFinished(3000);
        }
    }

    // Returns an empty string when the server is up, else why not.
    QString start()
    {
        static const char script[] = R"PY(
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.ERROR)
home, limit = sys.argv[1], int(sys.argv[2])
auth = DummyAuthorizer()
auth.add_user("kasa", "tajna", home, perm="elradfmwMT")
auth.add_user("citac", "tajna", home, perm="elr")
class Handler(FTPHandler):
    authorizer = auth
    auth_failed_timeout = 0
    def on_login(self, username):
        self._current_type = "i"
if limit > 0:
    dtp = ThrottledDTPHandler
    dtp.read_limit = limit
    Handler.dtp_handler = dtp
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)PY";
        QDir(home.path()).mkpath(QStringLiteral("public_html/dv"));
        process = std::make_unique<QProcess>();
        process->start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-c"), QString::fromLatin1(script), home.path(),
                        QString::number(limit)});
        if (!process->waitForStarted(5000))
            return QStringLiteral("/usr/bin/python3 did not start");
        QElapsedTimer clock;
        clock.start();
        while (!process->canReadLine() && clock.elapsed() < 10000 &&
               process->state() == QProcess::Running)
            process->waitForReadyRead(100);
        port = process->readLine().trimmed().toUShort();
        if (port == 0)
            return QStringLiteral("pyftpdlib did not start: ") +
                   QString::fromLocal8Bit(process->readAllStandardError());
        return {};
    }

    QByteArray stored() const
    {
        QFile f(QDir(home.path()).filePath(QStringLiteral("public_html/dv/podaci.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool hasStored() const
    {
        return QFile::exists(QDir(home.path()).filePath(QStringLiteral("public_html/dv/podaci.txt")));
    }

    quint16 port = 0;

private:
    int limit;
    QTemporaryDir home;
    std::unique_ptr<QProcess> process;
};
