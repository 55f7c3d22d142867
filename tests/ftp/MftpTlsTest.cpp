// mftp over TLS: the TLS options and URLs, and a server that is not trusted (the copies
// themselves are checked against every server by MftpRealServersTest).

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

} // namespace

TEST(MftpTlsRun, AnUntrustedServerIsRefusedWithItsFingerprint)
{
    ensureApp();
    QTemporaryDir local;
    for (PyFtpsServer::Mode mode : {PyFtpsServer::Mode::Explicit, PyFtpsServer::Mode::Implicit}) {
        const bool implicit = mode == PyFtpsServer::Mode::Implicit;
        SCOPED_TRACE(implicit ? "implicit" : "explicit");
        PyFtpsServer server(mode);
        FTPTEST_START_OR_SKIP(server);
        const QString url = QStringLiteral("%1://tester:secret@127.0.0.1:%2/")
                                .arg(implicit ? QStringLiteral("ftps") : QStringLiteral("ftp"))
                                .arg(server.port);
        QString err;
        // Without the pin or the CA file the self-signed server is not trusted.
        QStringList untrusted{QStringLiteral("get"), url + QStringLiteral("m.bin"),
                              local.filePath(QStringLiteral("no.bin"))};
        if (!implicit)
            untrusted.append(QStringLiteral("--tls"));
        EXPECT_EQ(runMftp(untrusted, err), 1);
        EXPECT_TRUE(err.contains(QStringLiteral("errTlsUntrusted (32)"))) << err.toStdString();
        EXPECT_TRUE(err.contains(server.fingerprint())) << err.toStdString();
        EXPECT_FALSE(QFile::exists(local.filePath(QStringLiteral("no.bin"))));
    }
}
