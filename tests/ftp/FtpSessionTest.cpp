// The session engine of TMFtp against the scripted server, through the real event loop:
// reply grammar, the masked password, refusals, retries and their reports, connection
// failures and the time-out, keep-alive, and the end of a connection that closes early.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/Loopback.h"
#include "testsupport/ScriptedFtpServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ftp;
using namespace ftptest;

using SessionTest = FtpTest;

TEST_F(SessionTest, ReplyGrammar)
{
    ScriptedClient client([](ScriptedSession &s, int) {
        // A multi-line welcome with the same code throughout.
        s.send("220-Welcome\r\n220-second line\r\n220 ready\r\n");
        s.next(); // USER: the reply split over two reads
        s.send("33");
        s.sleep(60);
        s.send("1 Password required\r\n");
        s.next(); // PASS: a line ended by a bare line feed
        s.send("230 Logged in\n");
        s.next(); // SYST: continuation lines with the same code and "-" or another code
        s.send("215-first\r\n215-again\r\n214 other code\r\n215 UNIX Type: L8\r\n");
        s.next(); // REST 100: text after a zero byte is dropped
        s.send(QByteArray("350 Restarting\r\n\0" "999 not a reply\r\n", 35));
        s.next(); // REST 0
        s.reply(QStringLiteral("350 Restarting at 0"));
        s.next(); // PWD: a lone carriage return stays part of the line
        s.send("257 \"/a\rb\" is current\r\n");
        s.sleep(150);
        // A final line while no handler is registered only updates LastReply.
        s.reply(QStringLiteral("226 Unsolicited"));
        s.serve(ScriptedSession::loginAnswer);
    });
    auto &[server, ftp, log] = client;
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    ASSERT_TRUE(waitUntil([&] { return ftp.LastReply() == QStringLiteral("226 Unsolicited"); }));
    pumpFor(50);

    EXPECT_EQ(ftp.ServerType(), ftpstUNIX); // SYST reached its handler with the final line
    EXPECT_EQ(ftp.ReplyLines(),
              QStringList({"215-first", "215-again", "214 other code", "215 UNIX Type: L8"}));
    EXPECT_EQ(log.count(QStringLiteral("info 16")), 2); // welcome and SYST
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/a\rb"));
    EXPECT_TRUE(ftp.ResumeSupported());
    EXPECT_EQ(server.commands().mid(0, 6),
              QStringList({"USER anonymous", "PASS guest@dorvanta.local", "SYST", "REST 100",
                           "REST 0", "PWD"}));
    EXPECT_FALSE(log.has(QStringLiteral("error")));
    for (const QString &l : log.lines)
        EXPECT_FALSE(l.contains(QStringLiteral("999"))) << l.toStdString();

    // Every burst of received text ends with an empty notice (replies that arrive while a
    // burst is being read belong to it), so the last received-text notice is empty.
    int empty = 0;
    QString lastReceived;
    for (const QString &l : log.lines) {
        if (l.startsWith(QStringLiteral("info 3 "))) {
            lastReceived = l;
            empty += l == QStringLiteral("info 3 ") ? 1 : 0;
        }
    }
    EXPECT_GE(empty, 3); // the split reply and the unsolicited line come in bursts of their own
    EXPECT_EQ(lastReceived, QStringLiteral("info 3 "));
}

TEST_F(SessionTest, PasswordIsMaskedAndOtherCommandsShownWithLineEnd)
{
    ScriptedClient client(answering());
    auto &[server, ftp, log] = client;
    ftp.SetUsername(QStringLiteral("kasa"));
    ftp.SetPassword(QStringLiteral("s3cret-word"));
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    EXPECT_TRUE(log.has(QStringLiteral("info 4 USER kasa\r\n")));
    EXPECT_TRUE(log.has(QStringLiteral("info 4 PASS (want to know) :-P\r\n")));
    for (const QString &l : log.lines)
        EXPECT_FALSE(l.contains(QStringLiteral("s3cret"))) << l.toStdString();
    EXPECT_TRUE(server.commands().contains(QStringLiteral("PASS s3cret-word")));
    EXPECT_TRUE(log.has(QStringLiteral("info 12 Logged in")));
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/home"));
    // Success ends with OnFtpReady, then OnLoggedIn.
    EXPECT_EQ(log.only({"ready", "loggedin"}), QStringList({"ready", "loggedin"}));
}

TEST_F(SessionTest, OperationsAreRefusedWhenNotConnectedBusyOrLoggingIn)
{
    ScriptedClient client([](ScriptedSession &s, int) {
        s.reply(QStringLiteral("220 ready"));
        s.next();
        s.reply(QStringLiteral("331 Password"));
        s.next();
        s.sleep(300); // the dialogue is still running here
        s.reply(QStringLiteral("230 ok"));
        s.serve([](const QString &c) {
            if (c == QLatin1String("QUIT")) {
                QThread::msleep(300); // keep the QUIT operation busy for a while
                return QStringLiteral("221 Bye");
            }
            return ScriptedSession::loginAnswer(c);
        });
    });
    auto &[server, ftp, log] = client;

    ftp.Quit();
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("info 1 Not connected to the server")}));
    EXPECT_FALSE(ftp.OperationOk());

    ftp.Login();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("info 4 PASS")); }));
    log.lines.clear();
    ftp.Quit(); // the login dialogue owns the connection
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("info 5 The component is busy doing something")}));

    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("loggedin")); }));
    log.lines.clear();
    ftp.Quit();
    EXPECT_TRUE(ftp.Busy());
    EXPECT_EQ(log.lines.first(), QStringLiteral("busy"));
    ftp.Quit();
    EXPECT_EQ(log.lines.last(), QStringLiteral("info 5 The component is busy doing something"));
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("quit")); }));
    EXPECT_EQ(server.count(QStringLiteral("QUIT")), 1);
    EXPECT_EQ(log.only({"info 1", "quit", "ready"}),
              QStringList({"info 1 Disconnected", "quit", "ready"}));
    EXPECT_FALSE(ftp.ControlConnected());
    EXPECT_FALSE(ftp.LoggedIn());
}

namespace {

QStringList retryReports(const FtpLog &log)
{
    return log.only({"error", "info 18", "info 21", "info 1 ", "quit", "ready", "loggedin"});
}

} // namespace

// A refused welcome is retried Retries times, then reported as a disconnection; a retry
// that is welcomed logs in. (That the retry waits RetryInterval is shown by the quit that
// ends the wait below.)
TEST_F(SessionTest, RefusedWelcomeIsRetriedThenReportedAsDisconnected)
{
    const QString refused = QStringLiteral("error 25 ");
    const QString retrying = QStringLiteral("info 18 Retrying...");
    const QStringList end = {"info 21 Retry Finished", "info 1 Disconnected", "quit", "ready"};
    const struct
    {
        int retries;
        const char *welcome;
        bool secondWelcomed;
        QStringList reports;
        int connections;
    } cases[] = {
        {3, "421 Too many users", false,
         QStringList{refused, retrying, refused, retrying, refused, retrying, refused} + end, 4},
        {0, "120 Later", false, QStringList{refused} + end, 1},
        {2, "421 Not yet", true,
         {refused, retrying, QStringLiteral("ready"), QStringLiteral("loggedin")}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.welcome);
        const QString welcome = QString::fromLatin1(c.welcome);
        const bool secondWelcomed = c.secondWelcomed;
        ScriptedClient client([welcome, secondWelcomed](ScriptedSession &s, int connection) {
            if (secondWelcomed && connection > 0) {
                answering()(s, connection);
                return;
            }
            s.reply(welcome);
            s.close();
        });
        auto &[server, ftp, log] = client;
        ftp.SetRetries(c.retries);
        ftp.Login();
        ASSERT_TRUE(waitUntil([&] { return log.has(c.reports.last()); }));
        pumpFor(100);
        EXPECT_EQ(retryReports(log), c.reports);
        EXPECT_EQ(server.connectionCount(), c.connections);
        EXPECT_EQ(ftp.ControlConnected(), secondWelcomed);
    }
}

// Quitting the program makes every event loop return: a retry wait then ends at once
// instead of holding the program for RetryInterval. Run in a child process, since the quit
// stays in force for the rest of the process.
TEST_F(SessionTest, QuittingEndsTheRetryWait)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto child = [] {
        ScriptedClient client([](ScriptedSession &s, int) {
            s.reply(QStringLiteral("421 Too many users"));
            s.close();
        });
        auto &[server, ftp, log] = client;
        ftp.SetRetries(2);
        ftp.SetRetryInterval(60);
        ftp.OnFtpInfo = [](TMFtp *, FtpInfo info, const QString &) {
            if (info == infoRetrying)
                QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
        };
        ftp.Login();
        waitUntil([&] { return log.has(QStringLiteral("quit")); }, 20000);
        std::_Exit(log.has(QStringLiteral("quit")) && server.connectionCount() == 1 ? 7 : 1);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(7), "");
}

TEST_F(SessionTest, MissingUnknownAndOverlongHostNames)
{
    TMFtp ftp;
    FtpLog log(ftp);
    // No server at all: it is asked for, then reported.
    ftp.Login();
    pumpFor(30);
    EXPECT_EQ(log.lines, QStringList({"need 1", "error 18 ", "ready"}));

    log.lines.clear();
    ftp.SetServer(QStringLiteral("h") + QString(80, QLatin1Char('x')) + QStringLiteral(".example"));
    ftp.Login();
    pumpFor(50);
    EXPECT_EQ(retryReports(log), QStringList({QStringLiteral("error 15 Address resolution error")}));
    EXPECT_TRUE(log.has(QStringLiteral("info 2 hxxx")));

    // A name the resolver refuses (without asking any name server) fails in the lookup.
    log.lines.clear();
    ftp.SetServer(QStringLiteral("no such host"));
    ftp.Login();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("error")); }));
    pumpFor(50);
    EXPECT_EQ(log.only({"info 2 ", "error", "ready", "quit"}),
              QStringList({"info 2 no such host", "error 15 Address resolution error"}));
    EXPECT_EQ(ftp.LastError, 11001);
}

TEST_F(SessionTest, OwnTimeoutReportsButLetsTheConnectGoOn)
{
    // A listener whose accept queue is full leaves further connects hanging.
    quint16 port = 0;
    const int fd = loopback::listenOnFreePort(port, 0);
    sockaddr_storage a;
    const socklen_t len = loopback::address(false, port, a);
    int fillers[3];
    for (int &f : fillers) {
        f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(f, reinterpret_cast<sockaddr *>(&a), len);
    }
    pumpFor(100);
    TMFtp ftp;
    FtpLog log(ftp);
    pointAt(ftp, port);
    ftp.TimeOut = 1;
    ftp.Login();
    ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("error")); }, 3000)) << log.dump().toStdString();
    EXPECT_EQ(retryReports(log), QStringList({QStringLiteral("error 7 Connection timed out")}));
    EXPECT_TRUE(ftp.SocketOpen()); // the connect was not given up
    for (int f : fillers)
        ::close(f);
    ::close(fd);
}

// A host name is resolved before connecting; a login while connected replaces the socket
// without a word of the old connection's end.
TEST_F(SessionTest, HostNameIsResolvedAndALoginWhileConnectedReplacesTheSocketSilently)
{
    ScriptedClient client(answering());
    auto &[server, ftp, log] = client;
    ftp.SetServer(QStringLiteral("localhost"));
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    EXPECT_EQ(log.only({"info 2", "info 19", "info 0"}),
              QStringList({"info 2 localhost", "info 19 127.0.0.1", "info 0 127.0.0.1"}));
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    pumpFor(100);
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_FALSE(log.has(QStringLiteral("quit")));
    EXPECT_FALSE(log.has(QStringLiteral("info 1 "))) << log.dump().toStdString();
    EXPECT_FALSE(log.has(QStringLiteral("error")));
}

// After a connection that ended (a reconnect refused, a server that closed before the
// login), Quit is refused at once: neither admitted nor spinning on a dead socket. A refused
// connection is reported once and not retried.
TEST_F(SessionTest, AnEndedConnectionLeavesNothingToSendTo)
{
    const quint16 gonePort = closedPort();
    for (const bool reconnect : {true, false}) {
        SCOPED_TRACE(reconnect ? "failed reconnect" : "closed before the login");
        ScriptedClient client([reconnect](ScriptedSession &s, int connection) {
            if (reconnect) {
                answering()(s, connection);
                return;
            }
            s.reply(QStringLiteral("220 ready"));
            s.next();
            s.close(); // no answer to USER
        });
        auto &[server, ftp, log] = client;
        ftp.SetRetries(3);
        if (reconnect) {
            ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
            log.lines.clear();
            ftp.Port = gonePort;
            ftp.Login();
            ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("error")); }));
            pumpFor(100);
            EXPECT_EQ(retryReports(log), QStringList({QStringLiteral("error 11 Connection Refused")}));
            EXPECT_EQ(ftp.LastErrorKind(), errConnectionRefused);
            EXPECT_TRUE(ftp.LastErrorText().isEmpty()); // used once
        } else {
            ftp.Login();
            ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("ready")); }));
            EXPECT_EQ(retryReports(log), QStringList({"info 1 Disconnected", "quit", "ready"}));
            EXPECT_FALSE(ftp.ControlConnected());
            EXPECT_EQ(server.connectionCount(), 1);
        }
        log.lines.clear();
        ftp.Quit();
        EXPECT_EQ(log.lines, QStringList({QStringLiteral("info 1 Not connected to the server")}));
    }
}

namespace {

// Logs in with a one-second keep-alive and counts the NOOPs within the given time.
int noopsWithin(int ms, quint16 interval, const QString &noopAnswer)
{
    ScriptedClient client(answering([noopAnswer](const QString &c) {
        return c == QLatin1String("NOOP") ? noopAnswer : QString();
    }));
    auto &[server, ftp, log] = client;
    ftp.SetNoopInterval(interval);
    if (!logIn(ftp, log))
        return -1;
    pumpFor(ms);
    // A keep-alive neither raises OnFtpBusy nor ends with OnFtpReady.
    if (ftp.Busy() || !ftp.LoggedIn() || log.count("ready") != 1 || log.has("busy"))
        return -2;
    return server.count(QStringLiteral("NOOP"));
}

} // namespace

// A NOOP every interval; a NOOP the server does not know ends the keep-alive, a busy
// answer does not; interval 0 sends none.
TEST_F(SessionTest, KeepAliveSendsNoopEveryIntervalUntilItIsUnknown)
{
    EXPECT_EQ(noopsWithin(2500, 1, QStringLiteral("200 ok")), 2);
    EXPECT_EQ(noopsWithin(2500, 1, QStringLiteral("502 Not implemented")), 1);
    EXPECT_EQ(noopsWithin(2500, 1, QStringLiteral("421 Busy, try later")), 2);
    EXPECT_EQ(noopsWithin(1200, 0, QStringLiteral("200 ok")), 0);
}
