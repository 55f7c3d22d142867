// Transfers against the scripted server: the command sequence of downloads and uploads in
// both data-connection modes, TYPE only when it changes or after a new login, the resume decisions, refused
// commands, bad PASV replies, empty files, and the synchronous mode.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/ScriptedFtpServer.h"

#include "ftp/FtpMisc.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

using namespace ftp;
using namespace ftptest;

namespace {

// Remote files of the scripted server, shared with its thread.
struct RemoteFiles
{
    std::mutex mutex;
    QMap<QString, QByteArray> files;
    void put(const QString &name, const QByteArray &data)
    {
        std::lock_guard<std::mutex> lock(mutex);
        files[name] = data;
    }
    QByteArray get(const QString &name)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return files.value(name);
    }
};

using Override = std::function<QString(const QString &command)>;

// A small FTP server on a scripted session: login, TYPE, PASV, PORT, SIZE, REST, RETR,
// STOR over the remote files. An override answers a command first when it returns text.
void serveFiles(ScriptedSession &s, RemoteFiles &remote, const Override &override)
{
    s.reply(QStringLiteral("220 ready"));
    QString portArgument;
    bool passive = false;
    qint64 rest = 0;
    auto openData = [&]() {
        return passive ? s.acceptPassive() : s.connectActive(portArgument);
    };
    while (s.isOpen()) {
        const QString c = s.next();
        if (!s.isOpen())
            return;
        const QString o = override ? override(c) : QString();
        if (!o.isEmpty()) {
            if (c == QLatin1String("PASV"))
                passive = true;
            s.reply(o);
            continue;
        }
        const QString arg = c.section(QLatin1Char(' '), 1);
        std::unique_lock<std::mutex> lock(remote.mutex);
        const bool exists = remote.files.contains(arg);
        const QByteArray content = remote.files.value(arg);
        lock.unlock();
        if (c.startsWith(QLatin1String("TYPE"))) {
            s.reply(QStringLiteral("200 Type set"));
        } else if (c == QLatin1String("PASV")) {
            passive = true;
            s.reply(s.openPassive());
        } else if (c.startsWith(QLatin1String("PORT "))) {
            passive = false;
            portArgument = arg;
            s.reply(QStringLiteral("200 PORT command successful"));
        } else if (c.startsWith(QLatin1String("SIZE "))) {
            s.reply(exists ? QStringLiteral("213 %1").arg(content.size())
                           : QStringLiteral("550 No such file"));
        } else if (c.startsWith(QLatin1String("REST ")) && c != QLatin1String("REST 100")
                   && c != QLatin1String("REST 0")) {
            rest = arg.toLongLong();
            s.reply(QStringLiteral("350 Restarting at %1").arg(rest));
        } else if (c.startsWith(QLatin1String("RETR "))) {
            if (!exists) {
                s.reply(QStringLiteral("550 No such file"));
                continue;
            }
            if (!openData()) {
                s.reply(QStringLiteral("425 Cannot open data connection"));
                continue;
            }
            s.reply(QStringLiteral("150 Opening BINARY mode data connection for %1 (%2 bytes).")
                        .arg(arg)
                        .arg(content.size()));
            s.sendData(content.mid(rest));
            s.closeData();
            rest = 0;
            s.reply(QStringLiteral("226 Transfer complete"));
        } else if (c.startsWith(QLatin1String("STOR "))) {
            if (!openData()) {
                s.reply(QStringLiteral("425 Cannot open data connection"));
                continue;
            }
            s.reply(QStringLiteral("150 Ok to send data"));
            const QByteArray data = s.receiveData();
            s.closeData();
            remote.put(arg, rest > 0 ? remote.get(arg).left(rest) + data : data);
            rest = 0;
            s.reply(QStringLiteral("226 Transfer complete"));
        } else {
            s.reply(ScriptedSession::loginAnswer(c));
        }
    }
}

class TransferTest : public ::testing::Test
{
protected:
    void SetUp() override { ensureApp(); }

    // Starts the server and logs in; the server answers from remote and override.
    void start(const Override &override = {})
    {
        server = std::make_unique<ScriptedFtpServer>(
            [this, override](ScriptedSession &s, int) { serveFiles(s, remote, override); });
        ftp = std::make_unique<TMFtp>();
        log = std::make_unique<FtpLog>(*ftp);
        log->answer = [this](TMFtpInfoNeeded need) {
            return need == needResumeChoice ? resumeAnswer : QString();
        };
        pointAt(*ftp, server->port());
        login();
    }
    void login()
    {
        ASSERT_TRUE(logIn(*ftp, *log)) << log->dump().toStdString();
        log->lines.clear();
    }
    // Waits for the operation's OnFtpReady and the events posted with it.
    bool waitReady()
    {
        const bool ok = waitUntil([&] { return log->has(QStringLiteral("ready")); });
        pumpFor(30);
        return ok;
    }
    QString local(const QString &name) const { return dir.filePath(name); }
    QStringList transferCommands() const
    {
        QStringList out;
        for (const QString &c : server->commands())
            if (!c.startsWith(QLatin1String("USER")) && !c.startsWith(QLatin1String("PASS"))
                && c != QLatin1String("SYST") && c != QLatin1String("REST 100")
                && c != QLatin1String("REST 0") && c != QLatin1String("PWD"))
                out.append(c.startsWith(QLatin1String("PORT ")) ? QStringLiteral("PORT") : c);
        return out;
    }
    QStringList outcome() const
    {
        return log->only({QStringLiteral("error"), QStringLiteral("ready"),
                          QStringLiteral("received"), QStringLiteral("stored")});
    }

    QTemporaryDir dir;
    RemoteFiles remote;
    QString resumeAnswer;
    std::unique_ptr<ScriptedFtpServer> server;
    std::unique_ptr<TMFtp> ftp;
    std::unique_ptr<FtpLog> log;
};

} // namespace

TEST_F(TransferTest, DownloadAndUploadInBothModes)
{
    start();
    const QByteArray content = pattern(300000, 'a');
    remote.put(QStringLiteral("big.bin"), content);
    for (bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ftp->SetPassive(passive);
        log->lines.clear();
        const QString target = local(passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin"));
        ftp->DownloadFile(QStringLiteral("big.bin"), target);
        ASSERT_TRUE(waitReady()) << log->dump().toStdString();
        EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("received")}));
        EXPECT_TRUE(log->has(QStringLiteral("info 13 300000")));
        EXPECT_EQ(readFile(target), content);
        EXPECT_EQ(ftp->BytesTransferred(), 300000u);

        log->lines.clear();
        ftp->UploadFile(target, QStringLiteral("copy.bin"));
        ASSERT_TRUE(waitReady()) << log->dump().toStdString();
        EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("stored")}));
        EXPECT_EQ(remote.get(QStringLiteral("copy.bin")), content);
        EXPECT_EQ(ftp->BytesTransferred(), 300000u);
    }
    // TYPE only on the first transfer of the connection; SIZE asks before each upload.
    EXPECT_EQ(transferCommands(),
              QStringList({QStringLiteral("TYPE I"), QStringLiteral("PORT"),
                           QStringLiteral("RETR big.bin"), QStringLiteral("SIZE copy.bin"),
                           QStringLiteral("PORT"), QStringLiteral("STOR copy.bin"),
                           QStringLiteral("PASV"), QStringLiteral("RETR big.bin"),
                           QStringLiteral("SIZE copy.bin"), QStringLiteral("PASV"),
                           QStringLiteral("STOR copy.bin")}));
    // Sent again when the mode changes, and on the first transfer of a new login.
    remote.put(QStringLiteral("f.txt"), "text\r\n");
    for (const bool newLogin : {false, true}) {
        if (newLogin)
            login();
        else
            ftp->SetTransferMode(AsciiTransfer);
        log->lines.clear();
        ftp->DownloadFile(QStringLiteral("f.txt"), local(QStringLiteral("f%1.txt").arg(newLogin)));
        ASSERT_TRUE(waitReady());
    }
    EXPECT_EQ(server->commands().filter(QStringLiteral("TYPE")),
              QStringList({QStringLiteral("TYPE I"), QStringLiteral("TYPE A"), QStringLiteral("TYPE A")}));
}

TEST_F(TransferTest, DownloadResumeDecisionsForExistingFile)
{
    const QByteArray localPart = pattern(1000, 'L');
    struct Case
    {
        int remoteSize;
        const char *report;
        bool rest;
        bool received;
    } cases[] = {
        {5000, nullptr, true, true},
        {1000, "info 20 I am afraid I have nothing to do", false, false},
        {800, "info 17 I don't know how to resume this file, I will overwrite it", false, true},
        // Sizes past 4 GiB are not wrapped: still a resume from the local size.
        {-1, nullptr, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.remoteSize);
        const QByteArray content = pattern(c.remoteSize < 0 ? 3000 : c.remoteSize, 'R');
        start([&c](const QString &cmd) {
            return c.remoteSize < 0 && cmd.startsWith(QLatin1String("SIZE"))
                       ? QStringLiteral("213 5000000000")
                       : QString();
        });
        remote.put(QStringLiteral("r.bin"), content);
        resumeAnswer = QStringLiteral("Resume");
        const QString target = local(QStringLiteral("r%1.bin").arg(c.remoteSize));
        writeFile(target, localPart);
        ftp->DownloadFile(QStringLiteral("r.bin"), target);
        ASSERT_TRUE(waitReady()) << log->dump().toStdString();
        EXPECT_TRUE(log->has(QStringLiteral("need 3")));
        if (c.report) {
            EXPECT_TRUE(log->has(QString::fromLatin1(c.report))) << log->dump().toStdString();
        }
        EXPECT_EQ(server->count(QStringLiteral("REST 1000")), c.rest ? 1 : 0);
        EXPECT_EQ(log->has(QStringLiteral("received")), c.received);
        EXPECT_FALSE(log->has(QStringLiteral("error")));
        if (c.remoteSize == 5000 || c.remoteSize < 0)
            EXPECT_EQ(readFile(target), localPart + content.mid(1000));
        else if (c.remoteSize == 800)
            EXPECT_EQ(readFile(target), content); // the old, longer file keeps no tail
        else
            EXPECT_EQ(readFile(target), localPart);
        ftp.reset();
        server.reset();
    }
}

TEST_F(TransferTest, DownloadAnswersOtherThanResume)
{
    start();
    remote.put(QStringLiteral("r.bin"), pattern(700, 'R'));
    const QString target = local(QStringLiteral("r.bin"));
    writeFile(target, pattern(1000, 'L'));

    resumeAnswer = QStringLiteral("Later");
    ftp->DownloadFile(QStringLiteral("r.bin"), target);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready")}));
    EXPECT_EQ(server->count(QStringLiteral("RETR")), 0);
    EXPECT_EQ(readFile(target), pattern(1000, 'L'));

    log->lines.clear();
    resumeAnswer = QStringLiteral("Overwrite");
    ftp->DownloadFile(QStringLiteral("r.bin"), target);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("received")}));
    EXPECT_EQ(readFile(target), pattern(700, 'R'));
    EXPECT_EQ(server->count(QStringLiteral("SIZE")), 0);
}

TEST_F(TransferTest, SizeRefusedMeansNothingToResume)
{
    start([](const QString &c) {
        return c.startsWith(QLatin1String("SIZE")) ? QStringLiteral("500 Unknown command")
                                                   : QString();
    });
    remote.put(QStringLiteral("r.bin"), pattern(5000, 'R'));
    const QString target = local(QStringLiteral("r.bin"));
    writeFile(target, pattern(1000, 'L'));
    resumeAnswer = QStringLiteral("Resume");
    for (int i = 0; i < 2; ++i) {
        log->lines.clear();
        ftp->DownloadFile(QStringLiteral("r.bin"), target);
        ASSERT_TRUE(waitReady());
        EXPECT_TRUE(log->has(QStringLiteral("info 20 I am afraid I have nothing to do")));
        EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready")}));
    }
    EXPECT_FALSE(ftp->SizeSupported());
    EXPECT_EQ(server->count(QStringLiteral("SIZE")), 1);
}

TEST_F(TransferTest, RefusedCommandsEndTheOperation)
{
    start([](const QString &c) {
        if (c.startsWith(QLatin1String("REST ")) && c != QLatin1String("REST 100")
            && c != QLatin1String("REST 0"))
            return QStringLiteral("502 REST not implemented");
        if (c == QLatin1String("RETR secret.bin") || c == QLatin1String("STOR ro.bin"))
            return QStringLiteral("550 Permission denied");
        return QString();
    });
    remote.put(QStringLiteral("r.bin"), pattern(5000, 'R'));
    const QString target = local(QStringLiteral("r.bin"));
    writeFile(target, pattern(1000, 'L'));
    resumeAnswer = QStringLiteral("Resume");
    ftp->DownloadFile(QStringLiteral("r.bin"), target);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 28 Failed to resume downloading file"),
                                      QStringLiteral("ready"), QStringLiteral("received")}));

    log->lines.clear();
    ftp->DownloadFile(QStringLiteral("secret.bin"), local(QStringLiteral("s.bin")));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 29 Access denied or file not found"),
                                      QStringLiteral("ready"), QStringLiteral("received")}));

    log->lines.clear();
    remote.put(QStringLiteral("up.bin"), pattern(500, 'U'));
    ftp->UploadFile(target, QStringLiteral("up.bin"));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 28 Failed to resume uploading file"),
                                      QStringLiteral("ready"), QStringLiteral("stored")}));

    log->lines.clear();
    ftp->UploadFile(target, QStringLiteral("ro.bin"));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 29 Access denied or file not found"),
                                      QStringLiteral("ready"), QStringLiteral("stored")}));
    EXPECT_TRUE(ftp->ControlConnected()); // these failures keep the connection

    log->lines.clear();
    ftp->DownloadFile(QString(), target);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 23 "), QStringLiteral("ready"),
                                      QStringLiteral("received")}));
    log->lines.clear();
    ftp->UploadFile(local(QStringLiteral("missing.bin")), QStringLiteral("x"));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 20 "), QStringLiteral("ready"),
                                      QStringLiteral("stored")}));
}

TEST_F(TransferTest, UploadResumeDecisions)
{
    start();
    const QString source = local(QStringLiteral("u.bin"));
    const QByteArray content = pattern(1000, 'U');
    writeFile(source, content);
    resumeAnswer = QStringLiteral("Resume");

    remote.put(QStringLiteral("half.bin"), content.left(400));
    ftp->UploadFile(source, QStringLiteral("half.bin"));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("stored")}));
    EXPECT_EQ(remote.get(QStringLiteral("half.bin")), content);
    EXPECT_EQ(server->count(QStringLiteral("REST 400")), 1);
    EXPECT_EQ(ftp->BytesTransferred(), 600u);

    // A remote file longer than the local one leaves nothing to send.
    log->lines.clear();
    remote.put(QStringLiteral("long.bin"), pattern(1500, 'X'));
    ftp->UploadFile(source, QStringLiteral("long.bin"));
    ASSERT_TRUE(waitReady());
    EXPECT_TRUE(log->has(QStringLiteral("info 20 I am afraid I have nothing to do")));
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready")}));
    EXPECT_EQ(server->count(QStringLiteral("STOR long.bin")), 0);
    EXPECT_EQ(remote.get(QStringLiteral("long.bin")), pattern(1500, 'X'));
}

TEST_F(TransferTest, EmptyUploadCompletesTwice)
{
    start();
    const QString source = local(QStringLiteral("empty.txt"));
    writeFile(source, QByteArray());
    ftp->UploadFile(source, QStringLiteral("empty.txt"));
    ASSERT_TRUE(waitReady()) << log->dump().toStdString();
    EXPECT_EQ(log->count(QStringLiteral("info 10")), 2);
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("stored")}));
    EXPECT_EQ(server->count(QStringLiteral("STOR empty.txt")), 1);
}

TEST_F(TransferTest, UploadWithoutResumeSupportAsksNothing)
{
    start([](const QString &c) {
        return c == QLatin1String("REST 100") ? QStringLiteral("502 No") : QString();
    });
    remote.put(QStringLiteral("u.bin"), pattern(10, 'x'));
    const QString source = local(QStringLiteral("u.bin"));
    writeFile(source, pattern(2000, 'U'));
    ftp->UploadFile(source, QStringLiteral("u.bin"));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(server->count(QStringLiteral("SIZE")), 0);
    EXPECT_FALSE(server->commands().contains(QStringLiteral("REST 10")));
    EXPECT_FALSE(log->has(QStringLiteral("need")));
    EXPECT_EQ(remote.get(QStringLiteral("u.bin")), pattern(2000, 'U'));
}

TEST_F(TransferTest, BadPasvRepliesAreRefused)
{
    for (const QString &bad : {QStringLiteral("227 Entering Passive Mode 127,0,0,1,4,1"),
                               QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,1,9)"),
                               QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,256)"),
                               QStringLiteral("227 Entering Passive Mode (127,0,x,1,4,1)"),
                               QStringLiteral("227 Entering Passive Mode (127,0,0,1,4)")}) {
        SCOPED_TRACE(bad.toStdString());
        start([bad](const QString &c) { return c == QLatin1String("PASV") ? bad : QString(); });
        ftp->SetPassive(true);
        remote.put(QStringLiteral("r.bin"), "x");
        ftp->DownloadFile(QStringLiteral("r.bin"), local(QStringLiteral("r.bin")));
        ASSERT_TRUE(waitReady());
        EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 12 "), QStringLiteral("ready"),
                                          QStringLiteral("received")}));
        EXPECT_EQ(server->count(QStringLiteral("RETR")), 0);
        EXPECT_FALSE(ftp->DataSocket()->SocketOpen());
        ftp.reset();
        server.reset();
    }
}

TEST_F(TransferTest, LocalWriteFailureDropsTheRestButEndsNormally)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    start();
    remote.put(QStringLiteral("r.bin"), pattern(100000, 'r'));
    ftp->DownloadFile(QStringLiteral("r.bin"), QStringLiteral("/dev/full"));
    ASSERT_TRUE(waitReady()) << log->dump().toStdString();
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("error 21 "), QStringLiteral("ready"),
                                      QStringLiteral("received")}));
    EXPECT_EQ(server->count(QStringLiteral("RETR r.bin")), 1);
    EXPECT_TRUE(ftp->ControlConnected());
}

TEST_F(TransferTest, SynchronousTransferReturnsWhenDone)
{
    start();
    remote.put(QStringLiteral("s.bin"), pattern(50000, 's'));
    ftp->SetAsynchronous(false);
    ftp->DownloadFile(QStringLiteral("s.bin"), local(QStringLiteral("s.bin")));
    EXPECT_FALSE(ftp->Busy());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("received")}));
    EXPECT_EQ(readFile(local(QStringLiteral("s.bin"))), pattern(50000, 's'));
}

// A second transfer while one runs is refused and leaves the first alone (refusals when
// not connected are in SessionTest).
TEST_F(TransferTest, TransferWhileBusyIsRefused)
{
    start();
    remote.put(QStringLiteral("r.bin"), pattern(1000, 'r'));
    ftp->DownloadFile(QStringLiteral("r.bin"), local(QStringLiteral("r.bin")));
    ftp->UploadFile(local(QStringLiteral("r.bin")), QStringLiteral("y"));
    EXPECT_TRUE(log->has(QStringLiteral("info 5 The component is busy doing something")));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({QStringLiteral("ready"), QStringLiteral("received")}));
}

TEST(FtpMisc, PasvAndPortArguments)
{
    QString host = QStringLiteral("unchanged");
    quint16 port = 7;
    EXPECT_TRUE(misc::ParsePasvAddress(QStringLiteral("227 ok (10,0,0,7,19,137)."), host, port));
    EXPECT_EQ(host, QStringLiteral("10.0.0.7"));
    EXPECT_EQ(port, 5001);
    EXPECT_FALSE(misc::ParsePasvAddress(QStringLiteral("227 ok (1,2,3,4,5,6"), host, port));
    EXPECT_FALSE(misc::ParsePasvAddress(QStringLiteral("227 ok (-1,2,3,4,5,6)"), host, port));
    EXPECT_EQ(host, QStringLiteral("10.0.0.7"));
    EXPECT_EQ(misc::PortArgument(QStringLiteral("192.168.1.5"), 1234),
              QStringLiteral("192,168,1,5,4,210"));
    EXPECT_EQ(misc::EprtArgument(QStringLiteral("::1"), 6446), QStringLiteral("|2|::1|6446|"));
    EXPECT_EQ(misc::EprtArgument(QStringLiteral("10.0.0.7"), 21), QStringLiteral("|1|10.0.0.7|21|"));

    const struct
    {
        const char *reply;
        int port; // 0: refused
    } epsv[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446},
        {"229 ok (!!!65535!)", 65535},
        {"229 ok (|||0|)", 0},
        {"229 ok (|||65536|)", 0},
        {"229 ok (||6446|)", 0},
        {"229 ok (|||+64|)", 0},
        {"229 ok (|||6446|", 0},
        {"229 ok (| |6446|)", 0},
    };
    for (const auto &e : epsv) {
        quint16 p = 7;
        EXPECT_EQ(misc::ParseEpsvPort(QLatin1String(e.reply), p), e.port != 0) << e.reply;
        EXPECT_EQ(p, e.port != 0 ? e.port : 7) << e.reply;
    }
}
