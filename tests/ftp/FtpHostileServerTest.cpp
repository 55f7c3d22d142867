// TMFtp against broken and hostile servers: one row per behaviour, each a server script and
// the events the component must raise. Time-outs are one second and every wait ends on an
// event, so the rows do not depend on how loaded the machine is.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/ScriptedFtpServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ftp;
using namespace ftptest;

namespace {

// Answers the login dialogue up to PWD.
void login(ScriptedSession &s)
{
    s.reply(QStringLiteral("220 ready"));
    for (;;) {
        const QString c = s.next();
        if (!s.isOpen())
            return;
        s.reply(ScriptedSession::loginAnswer(c));
        if (c == QLatin1String("PWD"))
            return;
    }
}

// Reads the next command and answers it.
void answer(ScriptedSession &s, const QString &reply)
{
    s.next();
    s.reply(reply);
}

// Waits until the client is gone (or the session's read time-out passes).
void drain(ScriptedSession &s)
{
    while (s.isOpen())
        s.next();
}

// Answers TYPE and PASV.
void typeAndPasv(ScriptedSession &s)
{
    answer(s, QStringLiteral("200 Type set"));
    answer(s, s.openPassive());
}

// Reads RETR or STOR, takes the passive data connection and answers it.
void openTransfer(ScriptedSession &s,
                  const QString &reply = QStringLiteral(
                      "150 Opening BINARY mode data connection for f.bin (100000 bytes)."))
{
    s.next();
    s.acceptPassive();
    s.reply(reply);
}

// Answers an upload's TYPE, SIZE (no such file) and PASV, and opens its STOR.
void openUpload(ScriptedSession &s)
{
    answer(s, QStringLiteral("200 Type set"));
    answer(s, QStringLiteral("550 No such file")); // SIZE
    answer(s, s.openPassive());
    openTransfer(s, QStringLiteral("150 Ok to send data"));
}

// Reads RETR and sends data on the passive connection as the 100000 bytes announced, then
// the final reply unless it is left out.
void sendFile(ScriptedSession &s, const QByteArray &data, bool finalReply = true)
{
    openTransfer(s);
    s.sendData(data);
    s.closeData();
    if (finalReply)
        s.reply(QStringLiteral("226 Done"));
    drain(s);
}

// Connects from another loopback address to the client's PORT listener and sends text.
void connectAsStranger(const QString &portArgument, const QByteArray &text)
{
    const QStringList f = portArgument.split(QLatin1Char(','));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.2", &from.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    inet_pton(AF_INET, f.mid(0, 4).join(QLatin1Char('.')).toLatin1().constData(), &to.sin_addr);
    to.sin_port = htons(static_cast<quint16>(f.value(4).toInt() * 256 + f.value(5).toInt()));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0)
        ::send(fd, text.constData(), static_cast<size_t>(text.size()), MSG_NOSIGNAL);
    ::close(fd);
}

struct Row
{
    const char *name;
    // The server after the login (or from the start when the row logs in itself).
    std::function<void(ScriptedSession &)> script;
    // Starts the operation; ftp is connected and logged in unless loginInRow.
    std::function<void(TMFtp &ftp, const QString &localFile)> act;
    // error, ready, received, stored, renamed, deleted and quit events, in order.
    QStringList expected;
    // Further checks once the events are in.
    std::function<void(TMFtp &ftp, FtpLog &log, ScriptedFtpServer &server,
                       const QString &localFile)>
        check;
    QByteArray localBefore = QByteArray(); // null: no local file before
    bool loginInRow = false;
    bool passive = true;
};

const QByteArray Existing = pattern(7777);
const QByteArray Content = pattern(100000);

void download(TMFtp &ftp, const QString &local) { ftp.DownloadFile(QStringLiteral("f.bin"), local); }
void upload(TMFtp &ftp, const QString &local) { ftp.UploadFile(local, QStringLiteral("f.bin")); }

const QStringList Received = {QStringLiteral("ready"), QStringLiteral("received")};
QStringList failed(const QString &error, const QString &event)
{
    return {error, QStringLiteral("ready"), event};
}
// A stalled or silent peer: the connection ends with the time-out.
const QStringList TimedOut = {QStringLiteral("error 7 Connection timed out"),
                              QStringLiteral("quit"), QStringLiteral("ready")};

std::vector<Row> rows()
{
    std::vector<Row> r;
    // --- a refused download changes nothing local: a file there stays as it was (also one
    // to be resumed), none appears. A refusal of the file is told as one; a server's own
    // failure in its words. ---
    const QString refused = QStringLiteral("error 29 Access denied or file not found");
    const struct
    {
        const char *name, *reply;
        QString error;
        QByteArray before; // null: no local file
        bool resume = false;
    } retrFailures[] = {
        {"refused RETR keeps the local file", "550 No such file", refused, Existing},
        {"refused resumed RETR keeps the local file", "550 No such file", refused, Existing, true},
        {"refused RETR of a new file leaves no file", "550 No such file", refused, {}},
        {"failed RETR of a new file is the server's failure and leaves no file",
         "500 OOPS: vsf_sysutil_bind", QStringLiteral("error 12 500 OOPS: vsf_sysutil_bind"), {}},
        {"RETR without a data connection is a data connection failure",
         "425 Failed to establish connection.",
         QStringLiteral("error 27 425 Failed to establish connection."), {}},
    };
    for (const auto &f : retrFailures)
        r.push_back({f.name,
                     [reply = QString::fromLatin1(f.reply)](ScriptedSession &s) {
                         answer(s, QStringLiteral("200 Type set"));
                         if (s.next().startsWith(QLatin1String("SIZE"))) { // before a resume
                             s.reply(QStringLiteral("550 No such file"));
                             s.next();
                         }
                         s.reply(s.openPassive());
                         answer(s, reply);
                         drain(s);
                     },
                     [resume = f.resume](TMFtp &ftp, const QString &local) {
                         if (resume)
                             ftp.OnFtpNeedInfo = [](TMFtp *, TMFtpInfoNeeded, QString &v) {
                                 v = QStringLiteral("Resume");
                             };
                         download(ftp, local);
                     },
                     failed(f.error, QStringLiteral("received")),
                     [before = f.before](TMFtp &, FtpLog &, ScriptedFtpServer &, const QString &local) {
                         EXPECT_EQ(readFile(local), before.isNull() ? QByteArray("<missing>") : before);
                     },
                     f.before});
    // --- data connections only with the control connection's peer ---
    r.push_back({"PASV naming another host goes to the control peer",
                 [](ScriptedSession &s) {
                     answer(s, QStringLiteral("200 Type set"));
                     QString pasv = s.openPassive();
                     pasv.replace(QStringLiteral("(127,0,0,1,"), QStringLiteral("(10,9,9,9,"));
                     answer(s, pasv);
                     sendFile(s, Content);
                 },
                 download, Received,
                 [](TMFtp &, FtpLog &log, ScriptedFtpServer &, const QString &local) {
                     EXPECT_EQ(readFile(local), Content);
                     EXPECT_TRUE(log.has(QStringLiteral(
                         "info 19 The PASV reply named 10.9.9.9; the data connection goes to 127.0.0.1")));
                 },
                 Existing});
    r.push_back({"a refused PASV is asked again as EPSV, which goes to the control peer",
                 [](ScriptedSession &s) {
                     answer(s, QStringLiteral("200 Type set"));
                     answer(s, QStringLiteral("500 PASV not understood"));
                     const QString pasv = s.openPassive();
                     const QStringList f = pasv.section(QLatin1Char('('), 1).section(QLatin1Char(')'), 0, 0)
                                               .split(QLatin1Char(','));
                     const int port = f.value(4).toInt() * 256 + f.value(5).toInt();
                     answer(s, QStringLiteral("229 Entering Extended Passive Mode (|||%1|)").arg(port));
                     sendFile(s, Content);
                 },
                 download, Received,
                 [](TMFtp &, FtpLog &, ScriptedFtpServer &server, const QString &local) {
                     EXPECT_EQ(readFile(local), Content);
                     EXPECT_EQ(server.count(QStringLiteral("EPSV")), 1);
                 },
                 Existing});
    r.push_back({"active mode takes one connection, from the control peer only",
                 [](ScriptedSession &s) {
                     answer(s, QStringLiteral("200 Type set"));
                     const QString port = s.next().section(QLatin1Char(' '), 1);
                     s.reply(QStringLiteral("200 PORT ok"));
                     s.next(); // RETR
                     connectAsStranger(port, "EVIL-DATA");
                     s.sleep(100);
                     s.connectActive(port);
                     s.reply(QStringLiteral("150 Here it comes"));
                     s.sendData(Content);
                     s.closeData();
                     s.reply(QStringLiteral("226 Done"));
                     drain(s);
                 },
                 download, Received,
                 [](TMFtp &ftp, FtpLog &log, ScriptedFtpServer &, const QString &local) {
                     EXPECT_EQ(readFile(local), Content);
                     EXPECT_TRUE(log.has(QStringLiteral("info 19 Refused a data connection")));
                     EXPECT_FALSE(ftp.ListenSocket()->SocketOpen());
                 },
                 QByteArray(), false, false});
    // --- short transfers are failures ---
    r.push_back({"download shorter than announced",
                 [](ScriptedSession &s) {
                     typeAndPasv(s);
                     sendFile(s, Content.left(50000));
                 },
                 download,
                 {QStringLiteral("error 27 Transfer incomplete: 50000 of 100000 bytes received"),
                  QStringLiteral("ready")}, nullptr});
    r.push_back({"226 before the upload was sent",
                 [](ScriptedSession &s) {
                     openUpload(s);
                     s.sleep(50);
                     s.reply(QStringLiteral("226 Transfer complete"));
                     drain(s);
                 },
                 upload, {QStringLiteral("error 27 Transfer incomplete"), QStringLiteral("ready")},
                 nullptr, pattern(20 * 1024 * 1024)});
    // --- a refused rename or delete ends that operation with the server's words, and the
    // session goes on ---
    const struct
    {
        const char *name, *error; // error: null when the command is accepted
        QStringList replies, sent; // the server's answers; the commands it must get
    } fileCommands[] = {
        {"refused RNTO", "error 12 553 Rename refused", {"350 Waiting for RNTO", "553 Rename refused"},
         {"RNFR .f.part", "RNTO f.bin"}},
        {"accepted DELE", nullptr, {"250 Deleted"}, {"DELE .f.part"}},
        {"refused DELE", "error 12 550 Permission denied", {"550 Permission denied"}, {"DELE .f.part"}},
    };
    for (const auto &f : fileCommands) {
        const bool rename = f.sent.size() == 2;
        const QString event = QLatin1String(rename ? "renamed" : "deleted");
        r.push_back({f.name,
                     [replies = f.replies](ScriptedSession &s) {
                         for (const QString &reply : replies)
                             answer(s, reply);
                         drain(s);
                     },
                     [rename](TMFtp &ftp, const QString &) {
                         if (rename)
                             ftp.RenameFile(QStringLiteral(".f.part"), QStringLiteral("f.bin"));
                         else
                             ftp.DeleteFile(QStringLiteral(".f.part"));
                     },
                     f.error ? failed(QString::fromLatin1(f.error), event)
                             : QStringList{QStringLiteral("ready"), event},
                     [sent = f.sent](TMFtp &ftp, FtpLog &, ScriptedFtpServer &server, const QString &) {
                         QStringList got = server.commands();
                         got.removeIf([](const QString &c) {
                             return !c.startsWith(QLatin1String("RN")) && !c.startsWith(QLatin1String("DELE"));
                         });
                         EXPECT_EQ(got, sent);
                         EXPECT_TRUE(ftp.ControlConnected());
                         EXPECT_EQ(ftp.CurrentOperation(), opNone);
                     }});
    }
    // --- nothing in a command line but the command ---
    r.push_back({"CR LF in a file name is refused",
                 [](ScriptedSession &s) {
                     typeAndPasv(s);
                     drain(s);
                 },
                 [](TMFtp &ftp, const QString &local) {
                     ftp.DownloadFile(QStringLiteral("a\r\nDELE important.txt"), local);
                 },
                 failed(QStringLiteral("error 12 Command refused: it holds a line end or a zero byte"),
                        QStringLiteral("received")),
                 [](TMFtp &ftp, FtpLog &, ScriptedFtpServer &server, const QString &) {
                     EXPECT_EQ(server.count(QStringLiteral("DELE")), 0);
                     EXPECT_EQ(server.count(QStringLiteral("RETR")), 0);
                     EXPECT_TRUE(ftp.ControlConnected());
                 }});
    // --- every wait ends within TimeOut ---
    for (const QByteArray &banner : {QByteArray(), QByteArray("220 hello")})
        r.push_back({banner.isEmpty() ? "silent server" : "banner without a line end",
                     [banner](ScriptedSession &s) {
                         s.send(banner);
                         drain(s);
                     },
                     nullptr, TimedOut, nullptr, QByteArray(), true});
    r.push_back({"unanswered RETR",
                 [](ScriptedSession &s) {
                     typeAndPasv(s);
                     drain(s);
                 },
                 download, TimedOut, nullptr});
    r.push_back({"stalled data connection",
                 [](ScriptedSession &s) {
                     typeAndPasv(s);
                     openTransfer(s);
                     s.sendData(Content.left(1000));
                     drain(s);
                 },
                 download, TimedOut, nullptr});
    r.push_back({"stalled upload",
                 [](ScriptedSession &s) {
                     openUpload(s); // and never reads
                     drain(s);
                 },
                 upload, TimedOut, nullptr, pattern(20 * 1024 * 1024)});
    r.push_back({"slow but moving download goes on",
                 [](ScriptedSession &s) {
                     typeAndPasv(s);
                     openTransfer(s);
                     for (int i = 0; i < 10; ++i) {
                         s.sendData(Content.mid(i * 10000, 10000));
                         s.sleep(300); // longer in all than the one-second time-out
                     }
                     s.closeData();
                     s.reply(QStringLiteral("226 Done"));
                     drain(s);
                 },
                 download, Received,
                 [](TMFtp &, FtpLog &, ScriptedFtpServer &, const QString &local) {
                     EXPECT_EQ(readFile(local), Content);
                 }});
    r.push_back({"missing final reply",
                 [](ScriptedSession &s) {
                     typeAndPasv(s);
                     sendFile(s, Content, false);
                 },
                 download, TimedOut, nullptr});
    // --- floods are bounded ---
    const struct
    {
        const char *name, *error;
        QByteArray chunk; // sent 3000 times, or until the client goes
    } floods[] = {
        {"multi-line reply without end", "error 12 Reply from the server too long",
         "220-" + QByteArray(1000, 'x') + "\r\n"},
        {"line without line end", "error 12 Reply line from the server too long",
         QByteArray(1000, 'x')},
    };
    for (const auto &f : floods)
        r.push_back({f.name,
                     [chunk = f.chunk](ScriptedSession &s) {
                         for (int i = 0; i < 3000 && s.isOpen(); ++i)
                             s.send(chunk);
                         drain(s);
                     },
                     nullptr,
                     {QString::fromLatin1(f.error), QStringLiteral("quit"), QStringLiteral("ready")},
                     nullptr, QByteArray(), true});
    // --- replies answer only the command they follow ---
    r.push_back({"second welcome line does not answer USER",
                 [](ScriptedSession &s) {
                     s.send("220 Welcome\r\n220 Please behave\r\n");
                     s.serve(ScriptedSession::loginAnswer);
                 },
                 nullptr, {QStringLiteral("ready"), QStringLiteral("loggedin")},
                 [](TMFtp &, FtpLog &, ScriptedFtpServer &server, const QString &) {
                     EXPECT_EQ(server.commands().mid(0, 3),
                               QStringList({"USER anonymous", "PASS guest@dorvanta.local", "SYST"}));
                 },
                 QByteArray(), true});
    r.push_back({"transfer asked for before the welcome is refused",
                 [](ScriptedSession &s) {
                     s.sleep(300);
                     s.reply(QStringLiteral("220 ready"));
                     s.serve(ScriptedSession::loginAnswer);
                 },
                 [](TMFtp &ftp, const QString &local) {
                     ASSERT_TRUE(waitUntil([&] { return ftp.ControlConnected(); }));
                     download(ftp, local);
                 },
                 {QStringLiteral("ready"), QStringLiteral("loggedin")},
                 [](TMFtp &, FtpLog &log, ScriptedFtpServer &server, const QString &) {
                     EXPECT_TRUE(log.has(QStringLiteral("info 5 The component is busy")));
                     EXPECT_EQ(server.count(QStringLiteral("TYPE")), 0);
                     EXPECT_EQ(server.count(QStringLiteral("RETR")), 0);
                 },
                 QByteArray(), true});
    return r;
}

// One row; a failed assertion ends only this row.
void runRow(const Row &row)
{
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("f.bin"));
    if (!row.localBefore.isNull())
        writeFile(local, row.localBefore);
    const bool loginInRow = row.loginInRow;
    auto script = row.script;
    ScriptedClient client([&](ScriptedSession &s, int) {
        if (!loginInRow)
            login(s);
        script(s);
    }, 1);
    auto &[server, ftp, log] = client;
    ftp.SetPassive(row.passive);
    // The event loop must keep turning while a server floods.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(0);
    ftp.Login();
    if (!loginInRow) {
        ASSERT_TRUE(waitUntil([&] { return log.has("loggedin"); })) << log.dump().toStdString();
        log.lines.clear();
    }
    if (row.act)
        row.act(ftp, local);
    const QString last = row.expected.last();
    ASSERT_TRUE(waitUntil([&] { return log.has(last) || log.has("quit"); }, 8000))
        << log.dump().toStdString();
    pumpFor(50);
    const QStringList events = log.only(
        {"error", "ready", "received", "stored", "renamed", "deleted", "loggedin", "quit"});
    ASSERT_EQ(events.size(), row.expected.size()) << log.dump().toStdString();
    for (int i = 0; i < events.size(); ++i)
        EXPECT_TRUE(events.at(i).startsWith(row.expected.at(i)))
            << events.at(i).toStdString() << " / " << row.expected.at(i).toStdString();
    EXPECT_FALSE(ftp.Busy());
    EXPECT_GT(ticks, 0);
    if (row.check)
        row.check(ftp, log, server, local);
    ftp.Close();
}

} // namespace

TEST(FtpHostileServer, EachBehaviourEndsAsExpected)
{
    ensureApp();
    for (const Row &row : rows()) {
        SCOPED_TRACE(row.name);
        runRow(row);
    }
}
