// TMFtp against a real FTP server (pyftpdlib on loopback, started by the test).

#include "FtpTestSupport.h"

#include <gtest/gtest.h>

using namespace ftptest;

namespace {

class RealServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApp();
        if (!server.start()) {
            if (server.missing)
                GTEST_SKIP() << server.problem.toStdString();
            FAIL() << server.problem.toStdString();
        }
    }
    PyFtpServer server;
};

} // namespace

TEST_F(RealServerTest, LogsInAndReportsCurrentDirectory)
{
    TMFtp ftp;
    FtpLog log(ftp);
    ftp.SetServer(QStringLiteral("127.0.0.1"));
    ftp.Port = server.port;
    ftp.SetUsername(QStringLiteral("tester"));
    ftp.SetPassword(QStringLiteral("secret"));
    ftp.SetRetries(0);
    ftp.Login();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("loggedin")); }, 8000))
        << log.dump().toStdString();
    EXPECT_TRUE(log.has(QStringLiteral("info 12 Logged in")));
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/"));
    EXPECT_EQ(ftp.ServerType(), ftpstUNIX);
    EXPECT_FALSE(log.has(QStringLiteral("error")));

    ftp.Quit();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("quit")); }, 8000))
        << log.dump().toStdString();
    EXPECT_TRUE(log.has(QStringLiteral("info 1 Disconnected")));
}

TEST_F(RealServerTest, WrongPasswordFailsLogin)
{
    TMFtp ftp;
    FtpLog log(ftp);
    ftp.SetServer(QStringLiteral("127.0.0.1"));
    ftp.Port = server.port;
    ftp.SetUsername(QStringLiteral("tester"));
    ftp.SetPassword(QStringLiteral("wrong"));
    ftp.SetRetries(0);
    ftp.Login();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("ready")); }, 8000))
        << log.dump().toStdString();
    EXPECT_EQ(log.only({QStringLiteral("error")}), QStringList({QStringLiteral("error 26 ")}));
    EXPECT_FALSE(log.has(QStringLiteral("loggedin")));
}
