// TMFtp over TLS against pyftpdlib's TLS handler on loopback (TLS required on the control
// and the data connections, so nothing succeeds in clear), and against a plain server: the
// order of the login and whom it trusts. Copies over TLS, both data modes, are checked
// against every server by MftpRealServersTest.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/FtpTlsServer.h"

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

namespace {

// The commands the component sent, in order ("USER tester", "PBSZ 0", ...).
QStringList commandsSent(const FtpLog &log)
{
    QStringList out;
    for (const QString &l : log.only({QStringLiteral("info 4 ")}))
        out.append(l.mid(7).trimmed());
    return out;
}

bool loggedInOrEnded(TMFtp &, FtpLog &log)
{
    return waitUntil([&] {
        return log.has(QStringLiteral("loggedin")) || log.has(QStringLiteral("error"));
    }, 15000);
}

} // namespace

class FtpTlsModeTest : public ::testing::TestWithParam<PyFtpsServer::Mode>
{
};

TEST_P(FtpTlsModeTest, TheUserNameGoesOutOnlyInsideTlsAndDataIsProtected)
{
    PyFtpsServer server(GetParam());
    ensureApp();
    FTPTEST_START_OR_SKIP(server);
    TMFtp ftp;
    FtpLog log(ftp);
    pointAtRealServer(ftp, 21);
    ftp.SetTls(GetParam() == PyFtpsServer::Mode::Implicit ? tlsImplicit : tlsExplicit);
    if (GetParam() == PyFtpsServer::Mode::Implicit) {
        EXPECT_EQ(ftp.Port, 990); // the implicit mode's own port by default
    }
    ftp.Port = server.port;
    ftp.SetTlsCaFile(server.certificateFile());
    ftp.Login();
    ASSERT_TRUE(loggedInOrEnded(ftp, log)) << log.dump().toStdString();
    ASSERT_TRUE(log.has(QStringLiteral("loggedin"))) << log.dump().toStdString();
    EXPECT_TRUE(ftp.TlsActive());
    EXPECT_EQ(ftp.TlsFingerprint(), server.fingerprint());
    EXPECT_TRUE(log.has(QStringLiteral("info 23 TLS established: TLSv1.")));

    // The user name goes out only inside TLS, and data connections are protected.
    const QStringList commands = commandsSent(log);
    const int user = log.indexOf(QStringLiteral("info 4 USER"));
    EXPECT_GT(user, log.indexOf(QStringLiteral("info 23")));
    EXPECT_EQ(commands.contains(QStringLiteral("AUTH TLS")),
              GetParam() == PyFtpsServer::Mode::Explicit);
    EXPECT_LT(commands.indexOf(QStringLiteral("PASS (want to know) :-P")),
              commands.indexOf(QStringLiteral("PROT P")));

    ftp.Quit();
    EXPECT_TRUE(waitUntil([&] { return log.has(QStringLiteral("quit")); }, 8000));
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpTlsModeTest,
                         ::testing::Values(PyFtpsServer::Mode::Explicit,
                                           PyFtpsServer::Mode::Implicit),
                         [](const auto &info) {
                             return info.param == PyFtpsServer::Mode::Explicit ? "Explicit"
                                                                               : "Implicit";
                         });

TEST(FtpTlsTrustTest, ServerIsTrustedByChainAndHostNameOrByPinnedKeyOnly)
{
    PyFtpsServer server;
    ensureApp();
    FTPTEST_START_OR_SKIP(server);
    const QString otherKey = QStringLiteral("sha256//") + QString::fromLatin1(QByteArray(32, 'x').toBase64());
    struct Case
    {
        const char *name;
        QString host;
        bool caFile;
        bool verify;
        QString pin;
        bool trusted;
    };
    const Case cases[] = {
        {"self-signed, system store only", QStringLiteral("127.0.0.1"), false, true, {}, false},
        {"trusted chain, wrong host name", QStringLiteral("localhost"), true, true, {}, false},
        {"other key pinned, chain trusted", QStringLiteral("127.0.0.1"), true, true, otherKey, false},
        {"own key pinned", QStringLiteral("127.0.0.1"), false, true, server.fingerprint(), true},
        {"verification off", QStringLiteral("127.0.0.1"), false, false, {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TMFtp ftp;
        FtpLog log(ftp);
        pointAtRealServer(ftp, server.port);
        ftp.SetServer(c.host);
        ftp.SetRetries(2);
        ftp.SetRetryInterval(0);
        ftp.SetTls(tlsExplicit);
        ftp.SetTlsVerify(c.verify);
        ftp.SetTlsPinnedSha256(c.pin);
        if (c.caFile)
            ftp.SetTlsCaFile(server.certificateFile());
        ftp.Login();
        ASSERT_TRUE(loggedInOrEnded(ftp, log)) << log.dump().toStdString();
        pumpFor(50);
        EXPECT_EQ(log.has(QStringLiteral("loggedin")), c.trusted) << log.dump().toStdString();
        EXPECT_EQ(ftp.TlsFingerprint(), server.fingerprint()) << log.dump().toStdString();
        if (!c.trusted) {
            EXPECT_EQ(log.only({QStringLiteral("error")}).value(0).left(9), QStringLiteral("error 32 "));
            EXPECT_TRUE(log.only({QStringLiteral("error")}).value(0).contains(server.fingerprint()));
            EXPECT_FALSE(commandsSent(log).join(QLatin1Char('|')).contains(QStringLiteral("USER")));
            EXPECT_FALSE(log.has(QStringLiteral("info 18"))); // no retry either
        }
        ftp.Close();
    }
}

TEST(FtpTlsTrustTest, ServerWithoutAuthTlsNeverSeesTheUserName)
{
    ensureApp();
    PyFtpServer server;
    FTPTEST_START_OR_SKIP(server);
    TMFtp ftp;
    FtpLog log(ftp);
    pointAtRealServer(ftp, server.port);
    ftp.SetRetries(2);
    ftp.SetRetryInterval(0);
    ftp.SetTls(tlsExplicit);
    ftp.Login();
    ASSERT_TRUE(loggedInOrEnded(ftp, log)) << log.dump().toStdString();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("quit")); }, 4000))
        << log.dump().toStdString();
    EXPECT_EQ(commandsSent(log), QStringList({QStringLiteral("AUTH TLS")}));
    EXPECT_EQ(log.only({QStringLiteral("error")}).value(0).left(9), QStringLiteral("error 30 "));
    EXPECT_FALSE(log.has(QStringLiteral("loggedin")));
    EXPECT_FALSE(log.has(QStringLiteral("info 18")));
}
