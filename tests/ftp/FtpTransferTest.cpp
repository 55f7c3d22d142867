// Transfers against the scripted server: the command sequence of downloads and uploads in
// both data-connection modes, TYPE only when it changes or after a new login, the resume decisions, refused
// commands, bad PASV replies, empty files, and the synchronous mode.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/ScriptedFtpServer.h"

#include "ftp/FtpMisc.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

namespace {

using Override = std::function<QString(const QString &command)>;

class TransferTest : public FtpTest
{
protected:
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
        return log->only({"error", "ready", "received", "stored"});
    }

    QTemporaryDir dir;
    RemoteFiles remote;
    QString resumeAnswer;
    std::unique_ptr<ScriptedFtpServer> server;
    std::unique_ptr<TMFtp> ftp;
    std::unique_ptr<FtpLog> log;
};

} // namespace

// Both directions in both modes, a transfer refused while one runs (refusals when not
// connected are in SessionTest), and TYPE only when it is needed.
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
        // A second transfer while one runs is refused and leaves the first alone.
        ftp->UploadFile(target, QStringLiteral("y"));
        EXPECT_TRUE(log->has(QStringLiteral("info 5 The component is busy doing something")));
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
    EXPECT_EQ(transferCommands(), QStringList({"TYPE I", "PORT", "RETR big.bin", "SIZE copy.bin",
                                               "PORT", "STOR copy.bin", "PASV", "RETR big.bin",
                                               "SIZE copy.bin", "PASV", "STOR copy.bin"}));
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
    EXPECT_EQ(server->commands().filter("TYPE"), QStringList({"TYPE I", "TYPE A", "TYPE A"}));
}

// Every resume decision of both directions, one row each. The source is the remote file of a
// download or the local file of an upload, the target the other one; the row names what the
// target holds afterwards.
TEST_F(TransferTest, ResumeDecisions)
{
    enum Result { Resumed, Replaced, Kept };
    const Override sizeRefused = [](const QString &c) {
        return c.startsWith(QLatin1String("SIZE")) ? QStringLiteral("500 Unknown command") : QString();
    };
    const struct
    {
        const char *name;
        bool upload;
        int remoteSize, localSize;
        const char *answer;
        Override override;
        QStringList outcome;
        const char *report;  // an info the operation reports, or null
        const char *sent;    // a command sent once, or null
        const char *notSent; // a command never sent, or null
        Result result;
        int runs = 1;
        bool asks = true; // whether the resume choice is asked for
    } rows[] = {
        {"download resumes from the local size", false, 5000, 1000, "Resume", {},
         {QStringLiteral("ready"), QStringLiteral("received")}, nullptr, "REST 1000", nullptr, Resumed},
        {"download of a file as long as the local one", false, 1000, 1000, "Resume", {},
         {QStringLiteral("ready")}, "info 20 I am afraid I have nothing to do", nullptr, "RETR", Kept},
        {"download of a shorter file overwrites, leaving no old tail", false, 800, 1000, "Resume", {},
         {QStringLiteral("ready"), QStringLiteral("received")},
         "info 17 I don't know how to resume this file, I will overwrite it", nullptr, "REST 1000", Replaced},
        {"download of a file past 4 GiB still resumes (no wrapped size)", false, 3000, 1000, "Resume",
         [](const QString &c) {
             return c.startsWith(QLatin1String("SIZE")) ? QStringLiteral("213 5000000000") : QString();
         },
         {QStringLiteral("ready"), QStringLiteral("received")}, nullptr, "REST 1000", nullptr, Resumed},
        {"download answered Later", false, 700, 1000, "Later", {}, {QStringLiteral("ready")}, nullptr,
         nullptr, "RETR", Kept},
        {"download answered Overwrite", false, 700, 1000, "Overwrite", {},
         {QStringLiteral("ready"), QStringLiteral("received")}, nullptr, nullptr, "SIZE", Replaced},
        // Refused once, SIZE is not asked again on the same connection.
        {"download with SIZE refused has nothing to resume", false, 5000, 1000, "Resume", sizeRefused,
         {QStringLiteral("ready")}, "info 20 I am afraid I have nothing to do", "SIZE", "RETR", Kept, 2},
        {"upload resumes from the remote size", true, 400, 1000, "Resume", {},
         {QStringLiteral("ready"), QStringLiteral("stored")}, nullptr, "REST 400", nullptr, Resumed},
        {"upload over a longer remote file", true, 1500, 1000, "Resume", {}, {QStringLiteral("ready")},
         "info 20 I am afraid I have nothing to do", nullptr, "STOR", Kept},
        {"upload to a server without resume asks nothing", true, 10, 2000, "Resume",
         [](const QString &c) { return c == QLatin1String("REST 100") ? QStringLiteral("502 No") : QString(); },
         {QStringLiteral("ready"), QStringLiteral("stored")}, nullptr, nullptr, "SIZE", Replaced, 1, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        start(row.override);
        resumeAnswer = QString::fromLatin1(row.answer);
        const QByteArray remoteBytes = pattern(row.remoteSize, 'R');
        const QByteArray localBytes = pattern(row.localSize, 'L');
        remote.put(QStringLiteral("r.bin"), remoteBytes);
        const QString target = local(QStringLiteral("r.bin"));
        writeFile(target, localBytes);
        for (int run = 0; run < row.runs; ++run) {
            log->lines.clear();
            if (row.upload)
                ftp->UploadFile(target, QStringLiteral("r.bin"));
            else
                ftp->DownloadFile(QStringLiteral("r.bin"), target);
            ASSERT_TRUE(waitReady()) << log->dump().toStdString();
            EXPECT_EQ(outcome(), row.outcome) << log->dump().toStdString();
            EXPECT_EQ(log->has(QStringLiteral("need 3")), row.asks);
            if (row.report) {
                EXPECT_TRUE(log->has(QString::fromLatin1(row.report))) << log->dump().toStdString();
            }
        }
        if (row.sent) {
            EXPECT_EQ(server->count(QString::fromLatin1(row.sent)), 1);
        }
        if (row.notSent) {
            EXPECT_EQ(server->count(QString::fromLatin1(row.notSent)), 0);
        }
        const QByteArray source = row.upload ? localBytes : remoteBytes;
        const QByteArray before = row.upload ? remoteBytes : localBytes;
        const QByteArray after = row.upload ? remote.get(QStringLiteral("r.bin")) : readFile(target);
        EXPECT_EQ(after, row.result == Resumed    ? before + source.mid(before.size())
                         : row.result == Replaced ? source
                                                  : before);
        if (row.upload && row.result == Resumed) {
            EXPECT_EQ(ftp->BytesTransferred(), 600u);
        }
        ftp.reset();
        server.reset();
    }
}

// A refused command or a missing file ends the operation with its error and the closing
// events, and keeps the connection.
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
    remote.put(QStringLiteral("up.bin"), pattern(500, 'U'));
    const QString target = local(QStringLiteral("r.bin"));
    writeFile(target, pattern(1000, 'L'));
    resumeAnswer = QStringLiteral("Resume");
    const struct
    {
        bool upload;
        QString from, to;
        const char *error;
    } cases[] = {
        {false, QStringLiteral("r.bin"), target, "error 28 Failed to resume downloading file"},
        {false, QStringLiteral("secret.bin"), local(QStringLiteral("s.bin")),
         "error 29 Access denied or file not found"},
        {true, target, QStringLiteral("up.bin"), "error 28 Failed to resume uploading file"},
        {true, target, QStringLiteral("ro.bin"), "error 29 Access denied or file not found"},
        {false, QString(), target, "error 23 "},
        {true, local(QStringLiteral("missing.bin")), QStringLiteral("x"), "error 20 "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error);
        log->lines.clear();
        if (c.upload)
            ftp->UploadFile(c.from, c.to);
        else
            ftp->DownloadFile(c.from, c.to);
        ASSERT_TRUE(waitReady());
        EXPECT_EQ(outcome(), QStringList({QString::fromLatin1(c.error), "ready",
                                          c.upload ? "stored" : "received"}));
        EXPECT_TRUE(ftp->ControlConnected());
    }
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

// A PASV reply that does not parse (the forms are in FtpMisc.PasvAndPortArguments) ends the
// transfer before RETR, with no data connection left open.
TEST_F(TransferTest, BadPasvReplyIsRefused)
{
    start([](const QString &c) {
        return c == QLatin1String("PASV") ? QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,256)")
                                          : QString();
    });
    ftp->SetPassive(true);
    remote.put(QStringLiteral("r.bin"), "x");
    ftp->DownloadFile(QStringLiteral("r.bin"), local(QStringLiteral("r.bin")));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(outcome(), QStringList({"error 12 ", "ready", "received"}));
    EXPECT_EQ(server->count(QStringLiteral("RETR")), 0);
    EXPECT_FALSE(ftp->DataSocket()->SocketOpen());
}
TEST_F(TransferTest, LocalWriteFailureDropsTheRestButEndsNormally)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    start();
    remote.put(QStringLiteral("r.bin"), pattern(100000, 'r'));
    ftp->DownloadFile(QStringLiteral("r.bin"), QStringLiteral("/dev/full"));
    ASSERT_TRUE(waitReady()) << log->dump().toStdString();
    EXPECT_EQ(outcome(), QStringList({"error 21 ", "ready", "received"}));
    EXPECT_EQ(server->count(QStringLiteral("RETR r.bin")), 1);
    EXPECT_TRUE(ftp->ControlConnected());
}

// An upload that gives up before the file is out (here its local file is cut once its size
// was taken, so the first read fails) resets the data connection rather than closing it in
// order: the server must not store what it got as the whole file.
TEST_F(TransferTest, UploadGivingUpResetsTheDataConnection)
{
    start();
    const QString source = local(QStringLiteral("cut.bin"));
    writeFile(source, pattern(100000, 'c'));
    const TMFtp::InfoEvent logged = ftp->OnFtpInfo;
    ftp->OnFtpInfo = [&](TMFtp *sender, FtpInfo info, const QString &text) {
        if (info == infoFileSize)
            QFile::resize(source, 0);
        logged(sender, info, text);
    };
    ftp->UploadFile(source, QStringLiteral("cut.bin"));
    ASSERT_TRUE(waitReady()) << log->dump().toStdString();
    EXPECT_TRUE(log->has(QStringLiteral("error 22 "))) << log->dump().toStdString();
    std::lock_guard<std::mutex> lock(remote.mutex);
    EXPECT_FALSE(remote.files.contains(QStringLiteral("cut.bin")));
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

TEST(FtpMisc, PasvAndPortArguments)
{
    QString host = QStringLiteral("unchanged");
    quint16 port = 7;
    EXPECT_TRUE(misc::ParsePasvAddress(QStringLiteral("227 ok (10,0,0,7,19,137)."), host, port));
    EXPECT_EQ(host, QStringLiteral("10.0.0.7"));
    EXPECT_EQ(port, 5001);
    for (const char *bad : {"227 ok (1,2,3,4,5,6", "227 ok (-1,2,3,4,5,6)", "227 ok 127,0,0,1,4,1",
                            "227 ok (127,0,0,1,4,1,9)", "227 ok (127,0,0,1,4,256)",
                            "227 ok (127,0,x,1,4,1)", "227 ok (127,0,0,1,4)"}) {
        EXPECT_FALSE(misc::ParsePasvAddress(QLatin1String(bad), host, port)) << bad;
        EXPECT_EQ(host, QStringLiteral("10.0.0.7")) << bad;
    }
    EXPECT_EQ(misc::PortArgument("192.168.1.5", 1234), "192,168,1,5,4,210");
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
