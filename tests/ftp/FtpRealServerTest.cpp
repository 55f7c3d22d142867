// TMFtp against a real FTP server (pyftpdlib on loopback, started by the test): login and
// a refused store. Whole round trips and resumes against it are run through mftp
// (MftpTest), and the transfer protocol in detail against the scripted server.

#include "FtpTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

namespace {

class RealServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApp();
        FTPTEST_START_OR_SKIP(server);
    }
    PyFtpServer server;
};

} // namespace

TEST_F(RealServerTest, LogsInAndReportsCurrentDirectory)
{
    TMFtp ftp;
    FtpLog log(ftp);
    pointAtRealServer(ftp, server.port);
    ASSERT_TRUE(logIn(ftp, log, 8000))
        << log.dump().toStdString();
    EXPECT_TRUE(log.has(QStringLiteral("info 12 Logged in")));
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/"));
    EXPECT_EQ(ftp.ServerType(), ftpstUNIX);
    EXPECT_TRUE(ftp.ResumeSupported());
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
    pointAtRealServer(ftp, server.port);
    ftp.SetPassword(QStringLiteral("wrong"));
    ftp.Login();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("ready")); }, 8000))
        << log.dump().toStdString();
    EXPECT_EQ(log.only({QStringLiteral("error")}), QStringList({QStringLiteral("error 26 ")}));
    EXPECT_FALSE(log.has(QStringLiteral("loggedin")));
}

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

class RealTransferTest : public RealServerTest
{
protected:
    void SetUp() override
    {
        RealServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ftp = std::make_unique<TMFtp>();
        log = std::make_unique<FtpLog>(*ftp);
        log->answer = [this](TMFtpInfoNeeded need) {
            return need == needResumeChoice ? resumeAnswer : QString();
        };
        pointAtRealServer(*ftp, server.port, user);
        ASSERT_TRUE(logIn(*ftp, *log, 8000)) << log->dump().toStdString();
        log->lines.clear();
    }
    bool run(const std::function<void()> &operation)
    {
        log->lines.clear();
        operation();
        const bool ok = waitUntil([&] { return log->has(QStringLiteral("ready")); }, 20000);
        pumpFor(20);
        return ok;
    }
    QStringList outcome() const
    {
        return log->only({QStringLiteral("error"), QStringLiteral("ready"),
                          QStringLiteral("received"), QStringLiteral("stored")});
    }

    QString user = QStringLiteral("tester");
    QString resumeAnswer;
    QTemporaryDir local;
    std::unique_ptr<TMFtp> ftp;
    std::unique_ptr<FtpLog> log;
};

class ReadOnlyTransferTest : public RealTransferTest
{
protected:
    void SetUp() override
    {
        user = QStringLiteral("reader");
        RealTransferTest::SetUp();
    }
};

} // namespace

TEST_F(ReadOnlyTransferTest, StoreRefusedByPermissions)
{
    const QString source = local.filePath(QStringLiteral("x.txt"));
    writeFile(source, "journal\r\n");
    ASSERT_TRUE(run([&] { ftp->UploadFile(source, QStringLiteral("x.txt")); }));
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 29 Access denied or file not found"),
                                      QStringLiteral("ready"), QStringLiteral("stored")}));
    EXPECT_FALSE(QFile::exists(server.home() + QStringLiteral("/x.txt")));
    EXPECT_TRUE(ftp->ControlConnected());
}
