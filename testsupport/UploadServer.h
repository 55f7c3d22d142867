#pragma once

// The FTP server of the window upload's tests: the pyftpdlib server of FtpTestSupport.h with
// the upload's directory public_html/dv in its home, and its users "kasa", "citac",
// "bezimena" and "samopis" (password "tajna").

#include "FtpTestSupport.h"

#include <QDir>
#include <QFile>

class UploadServer
{
public:
    explicit UploadServer(int bytesPerSecond = 0) : server(bytesPerSecond) {}

    // Returns an empty string when the server is up, else why not. A port of 0 takes a
    // free one.
    QString start(quint16 onPort = 0)
    {
        QDir(server.home()).mkpath(QStringLiteral("public_html/dv"));
        if (!server.start(onPort))
            return server.problem;
        port = server.port;
        return {};
    }

    QByteArray stored() const
    {
        return hasStored() ? file(QStringLiteral("public_html/dv/podaci.txt")) : QByteArray();
    }
    bool hasStored() const
    {
        return QFile::exists(QDir(server.home()).filePath(QStringLiteral("public_html/dv/podaci.txt")));
    }
    QByteArray file(const QString &relative) const
    {
        return ftptest::readFile(QDir(server.home()).filePath(relative));
    }

    quint16 port = 0;

private:
    ftptest::PyFtpServer server;
};
