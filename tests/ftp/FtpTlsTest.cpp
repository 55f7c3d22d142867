// TMFtp over TLS against pyftpdlib's TLS handler on loopback (TLS required on the control
// and the data connections, so nothing succeeds in clear), and against a plain server: whom
// the login trusts. Copies over TLS in both modes, and the order of the login (the user
// name only inside TLS, protected data), are checked against every server by
// MftpRealServersTest.

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

// Starts a login and waits until it is in or has failed.
bool loggedInOrEnded(TMFtp &ftp, FtpLog &log)
{
    ftp.Login();
    return waitUntil([&] {
        return log.has(QStringLiteral("loggedin")) || log.has(QStringLiteral("error"));
    }, 15000);
}

} // namespace

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
    {
        // The implicit mode moves the default port to its own, and back.
        TMFtp ftp;
        ftp.SetTls(tlsImplicit);
        EXPECT_EQ(ftp.Port, 990);
        ftp.SetTls(tlsNone);
        EXPECT_EQ(ftp.Port, 21);
    }
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
        ASSERT_TRUE(loggedInOrEnded(ftp, log)) << log.dump().toStdString();
        pumpFor(50);
        EXPECT_EQ(log.has(QStringLiteral("loggedin")), c.trusted) << log.dump().toStdString();
        EXPECT_EQ(ftp.TlsActive(), c.trusted);
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
    ASSERT_TRUE(loggedInOrEnded(ftp, log)) << log.dump().toStdString();
    ASSERT_TRUE(waitUntil([&] { return log.has("quit"); }, 4000)) << log.dump().toStdString();
    EXPECT_EQ(commandsSent(log), QStringList({QStringLiteral("AUTH TLS")}));
    EXPECT_EQ(log.only({QStringLiteral("error")}).value(0).left(9), QStringLiteral("error 30 "));
    EXPECT_FALSE(log.has(QStringLiteral("loggedin")));
    EXPECT_FALSE(log.has(QStringLiteral("info 18")));
}
