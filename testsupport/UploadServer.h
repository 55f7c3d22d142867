#pragma once

// A real FTP server for the upload tests: pyftpdlib, started with /usr/bin/python3 on a free
// loopback port, serving one temporary home to "kasa"/"tajna" (full rights) and to
// "citac"/"tajna" (read only), to "bezimena"/"tajna" (everything but renaming) and to
// "samopis"/"tajna" (neither renaming nor deleting). Uploads are slowed to `bytesPerSecond`
// when it is given, so a test can act while a store is running.

#include "FtpTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class UploadServer
{
public:
    explicit UploadServer(int bytesPerSecond = 0) : limit(bytesPerSecond) {}

    // Returns an empty string when the server is up, else why not. A port of 0 takes a
    // free one.
    QString start(quint16 onPort = 0)
    {
        static const char script[] = R"PY(
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.ERROR)
home, limit, port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
auth = DummyAuthorizer()
auth.add_user("kasa", "tajna", home, perm="elradfmwMT")
auth.add_user("citac", "tajna", home, perm="elr")
auth.add_user("bezimena", "tajna", home, perm="elradmwMT")
auth.add_user("samopis", "tajna", home, perm="elramwMT")
class Handler(FTPHandler):
    authorizer = auth
    auth_failed_timeout = 0
if limit > 0:
    dtp = ThrottledDTPHandler
    dtp.read_limit = limit
    Handler.dtp_handler = dtp
server = FTPServer(("127.0.0.1", port), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)PY";
        QDir(home.path()).mkpath(QStringLiteral("public_html/dv"));
        if (!python.start(script, {home.path(), QString::number(limit), QString::number(onPort)},
                          QStringLiteral("pyftpdlib")))
            return python.problem;
        port = static_cast<quint16>(python.firstLine.value(0).toUInt());
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
    QByteArray file(const QString &relative) const
    {
        QFile f(QDir(home.path()).filePath(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    quint16 port = 0;

private:
    int limit;
    QTemporaryDir home;
    ftptest::PythonServer python;
};
