// mftp over TLS: the TLS options and URLs, and whole runs against pyftpdlib's TLS handler
// (TLS required for login and data), in both data modes and both TLS modes.

#include "FtpTestSupport.h"
#include "FtpTlsServer.h"

#include "tools/mftp/MftpOptions.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

TEST(MftpTlsOptions, FtpsUrlsAreImplicitAndKeysMustBeSha256)
{
    MftpOptions o;
    QString error;
    ASSERT_TRUE(MftpOptions::parse({QStringLiteral("get"), QStringLiteral("ftps://h/f"),
                                    QStringLiteral("x"), QStringLiteral("--tls")},
                                   o, error));
    EXPECT_EQ(o.tls, tlsImplicit);
    EXPECT_EQ(o.port, 990);
    ASSERT_TRUE(MftpOptions::parse({QStringLiteral("get"), QStringLiteral("ftp://h/f"),
                                    QStringLiteral("x"), QStringLiteral("--tls")},
                                   o = MftpOptions(), error));
    EXPECT_EQ(o.tls, tlsExplicit);
    EXPECT_EQ(o.port, 21);
    for (const char *bad : {"abc", "sha256//abc", "sha1//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="}) {
        MftpOptions b;
        EXPECT_FALSE(MftpOptions::parse({QStringLiteral("get"), QStringLiteral("ftp://h/f"),
                                         QStringLiteral("x"), QStringLiteral("--pinnedpubkey"),
                                         QLatin1String(bad)},
                                        b, error))
            << bad;
    }
}

namespace {

int runMftp(const QStringList &args, QString &err)
{
    QProcess p;
    p.start(QStringLiteral(MFTP_PATH), args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        err = QStringLiteral("mftp did not finish");
        return -1;
    }
    err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(MftpTlsRun, PutAndGetCopyBytesInEveryModeAndRefuseAnUntrustedServer)
{
    ensureApp();
    QTemporaryDir local;
    QByteArray data(2 * 1024 * 1024 + 5, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 197) ^ (i >> 7));
    const QString source = local.filePath(QStringLiteral("source.bin"));
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    for (PyFtpsServer::Mode mode : {PyFtpsServer::Mode::Explicit, PyFtpsServer::Mode::Implicit}) {
        const bool implicit = mode == PyFtpsServer::Mode::Implicit;
        SCOPED_TRACE(implicit ? "implicit" : "explicit");
        PyFtpsServer server(mode);
        FTPTEST_START_OR_SKIP(server);
        const QString url = QStringLiteral("%1://tester:secret@127.0.0.1:%2/")
                                .arg(implicit ? QStringLiteral("ftps") : QStringLiteral("ftp"))
                                .arg(server.port);
        QStringList tls{implicit ? QStringLiteral("--cacert") : QStringLiteral("--pinnedpubkey"),
                        implicit ? server.certificateFile() : server.fingerprint()};
        if (!implicit)
            tls.append(QStringLiteral("--tls"));
        QString err;
        for (const QString &dataMode : {QStringLiteral("--passive"), QStringLiteral("--verbose")}) {
            SCOPED_TRACE(dataMode.toStdString());
            ASSERT_EQ(runMftp(QStringList{QStringLiteral("put"), source, url + QStringLiteral("m.bin"),
                                          dataMode} + tls, err), 0)
                << err.toStdString();
            EXPECT_EQ(readAll(server.home() + QStringLiteral("/m.bin")), data);
            const QString back = local.filePath(QStringLiteral("back.bin"));
            QFile::remove(back);
            ASSERT_EQ(runMftp(QStringList{QStringLiteral("get"), url + QStringLiteral("m.bin"), back,
                                          dataMode} + tls, err), 0)
                << err.toStdString();
            EXPECT_EQ(readAll(back), data);
        }
        // Without the pin or the CA file the self-signed server is not trusted.
        QStringList untrusted{QStringLiteral("get"), url + QStringLiteral("m.bin"),
                              local.filePath(QStringLiteral("no.bin"))};
        if (!implicit)
            untrusted.append(QStringLiteral("--tls"));
        EXPECT_EQ(runMftp(untrusted, err), 1);
        EXPECT_TRUE(err.contains(QStringLiteral("errTlsUntrusted (32)"))) << err.toStdString();
        EXPECT_TRUE(err.contains(server.fingerprint())) << err.toStdString();
    }
}
