// The login dialogue against the scripted server: the first command of every proxy kind,
// a whole dialogue through a SITE proxy, server-type detection from SYST and from the
// NetTerm welcome, the initial directory, and values asked through OnFtpNeedInfo.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/ScriptedFtpServer.h"

#include "ftp/FtpMisc.h"

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

using LoginTest = FtpTest;

namespace {

struct ProxyCase
{
    TMFtpProxyType type;
    quint16 realPort;
    const char *firstCommand;
};

// Sends ftp as "kasa" to ftp.example.com through the proxy of the given kind at
// 127.0.0.1:proxyPort (written with blanks around it), whose own user is "gate".
void viaProxy(TMFtp &ftp, TMFtpProxyType type, quint16 proxyPort)
{
    ftp.SetServer(QStringLiteral("ftp.example.com"));
    ftp.SetUsername(QStringLiteral("kasa"));
    ftp.SetProxyUsername(QStringLiteral("gate"));
    ftp.SetProxyType(type);
    ftp.SetProxyServer(QStringLiteral(" 127.0.0.1 "));
    ftp.SetProxyPort(proxyPort);
}

} // namespace

TEST_F(LoginTest, FirstCommandOfEachProxyKind)
{
    const ProxyCase cases[] = {
        {proxyHost, 21, "HOST ftp.example.com"},
        {proxyHostUser, 21, "USER ftp.example.com!kasa"},
        {proxyHostUser, 2121, "USER ftp.example.com:2121!kasa"},
        {proxyOpen, 21, "OPEN ftp.example.com"},
        {proxySite, 2121, "USER gate"},
        {proxyUserSite, 21, "USER kasa@ftp.example.com"},
        {proxyUserSite, 2121, "USER kasa@ftp.example.com:2121"},
    };
    for (const ProxyCase &c : cases) {
        ScriptedClient client([](ScriptedSession &s, int) {
            s.reply(QStringLiteral("220 proxy ready"));
            s.next();
            s.reply(QStringLiteral("530 no"));
            s.next();
        });
        auto &[proxy, ftp, log] = client;
        viaProxy(ftp, c.type, proxy.port());
        ftp.Port = c.realPort;
        ftp.Login();
        ASSERT_TRUE(waitUntil([&] { return log.has("ready"); }))
            << c.firstCommand << "\n" << log.dump().toStdString();
        EXPECT_EQ(proxy.commands().value(0), QString::fromLatin1(c.firstCommand));
        EXPECT_FALSE(log.has(QStringLiteral("info 2 "))) << "the real server is never looked up";
        // After the welcome the real server is back in Server for the next login.
        EXPECT_EQ(ftp.Server(), QStringLiteral("ftp.example.com"));
        EXPECT_EQ(ftp.Port, c.realPort);
    }
}

TEST_F(LoginTest, ProxyWithoutServerIsNoProxy)
{
    ScriptedClient client(answering());
    auto &[server, ftp, log] = client;
    ftp.SetProxyType(proxyHost);
    ftp.SetProxyServer(QStringLiteral("   "));
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    EXPECT_EQ(ftp.ProxyType(), proxyNone);
    EXPECT_EQ(server.commands().value(0), QStringLiteral("USER anonymous"));
}

TEST_F(LoginTest, SiteProxyDialogueAndNeededValues)
{
    ScriptedClient client([](ScriptedSession &s, int) {
        s.reply(QStringLiteral("220 NetTerm FTP server ready")); // not detected through a proxy
        s.serve([](const QString &c) {
            if (c == QLatin1String("USER gate"))
                return QStringLiteral("331 proxy password");
            if (c == QLatin1String("PASS gatepw"))
                return QStringLiteral("230 proxy ok");
            if (c == QLatin1String("SITE ftp.example.com"))
                return QStringLiteral("220 connected");
            if (c == QLatin1String("PASS "))
                return QStringLiteral("332 account please");
            if (c == QLatin1String("ACCT acc1"))
                return QStringLiteral("230 ok");
            return ScriptedSession::loginAnswer(c);
        });
    });
    auto &[proxy, ftp, log] = client;
    viaProxy(ftp, proxySite, proxy.port());
    ftp.SetPassword(QString());
    log.answer = [&ftp](TMFtpInfoNeeded need) {
        if (need == needPassword)
            return ftp.ProxyPassword().isEmpty() ? QStringLiteral("gatepw") : QString();
        return need == needAccount ? QStringLiteral("acc1") : QString();
    };
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    EXPECT_EQ(proxy.commands().mid(0, 7),
              QStringList({"USER gate", "PASS gatepw", "SITE ftp.example.com", "USER kasa", "PASS ",
                           "ACCT acc1", "SYST"}));
    EXPECT_EQ(ftp.ServerType(), ftpstUNIX);
    EXPECT_EQ(ftp.ProxyPassword(), QStringLiteral("gatepw"));
    EXPECT_EQ(ftp.Account(), QStringLiteral("acc1"));
    EXPECT_EQ(log.count(QStringLiteral("info 4 PASS (want to know) :-P")), 2);
}

TEST_F(LoginTest, RefusedStagesFailWithTheirKinds)
{
    struct Case
    {
        TMFtpProxyType proxy;
        const char *refused; // the command answered with 530
        int kind;
    } cases[] = {
        {proxyNone, "USER", errLoginFailed},
        {proxyNone, "PASS", errLoginFailed},
        {proxyHost, "HOST", errConnectRejected},
        {proxyOpen, "OPEN", errConnectRejected},
        {proxyNone, "PWD", errCommandFailed},
    };
    for (const Case &c : cases) {
        const QString refused = QString::fromLatin1(c.refused);
        ScriptedClient client(answering([refused](const QString &cmd) {
            if (cmd.startsWith(refused))
                return QStringLiteral("530 refused");
            if (cmd.startsWith(QLatin1String("HOST")))
                return QStringLiteral("331 user please");
            return cmd.startsWith(QLatin1String("OPEN")) ? QStringLiteral("220 open") : QString();
        }));
        auto &[server, ftp, log] = client;
        if (c.proxy != proxyNone)
            viaProxy(ftp, c.proxy, server.port());
        ftp.Login();
        ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("ready")); })) << c.refused;
        EXPECT_EQ(log.only({"error"}), QStringList({QStringLiteral("error %1 ").arg(c.kind)}))
            << c.refused;
        EXPECT_FALSE(log.has(QStringLiteral("loggedin")));
    }
}

TEST_F(LoginTest, ServerTypeFromSyst)
{
    const struct
    {
        const char *reply;
        TMFtpServerType type;
    } cases[] = {
        {"215 UNIX Type: L8", ftpstUNIX},
        {"215 BSD UNIX", ftpstUNIX},
        {"215 FreeBSD", ftpstBSD},
        {"215 VMS MultiNet V4.4", ftpstVmsMultinet},
        {"215 VMS OpenVMS", ftpstVmsUcx},
        {"215 VM/ESA with VPS", ftpstVMVPS},
        {"215 VM/CMS", ftpstVM},
        {"215 Windows_NT", ftpstDefault},
        {"215 WINDWOS_NT", ftpstMSFTP},
        {"215 MVS is the operating system", ftpstMVS},
        {"215 Chameleon", ftpstChameleon},
        {"215 SomethingElse", ftpstDefault},
        {"500 SYST not understood", ftpstDefault},
    };
    for (const auto &c : cases) {
        const QString systReply = QString::fromLatin1(c.reply);
        ScriptedClient client(answering([systReply](const QString &cmd) {
            return cmd == QLatin1String("SYST") ? systReply : QString();
        }));
        auto &[server, ftp, log] = client;
        ASSERT_TRUE(logIn(ftp, log)) << c.reply;
        EXPECT_EQ(ftp.ServerType(), c.type) << c.reply;
        // The detected kind is kept: the next login asks no SYST.
        ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
        EXPECT_EQ(server.count(QStringLiteral("SYST")), 1) << c.reply;
    }
}

TEST_F(LoginTest, NetTermWelcomeOnDirectConnection)
{
    ScriptedClient client([](ScriptedSession &s, int) {
        s.reply(QStringLiteral("220 NetTerm FTP server ready"));
        s.serve([](const QString &cmd) {
            if (cmd == QLatin1String("PWD"))
                return QStringLiteral("257 \"C:\\ftp\\kasa\" is current");
            return ScriptedSession::loginAnswer(cmd);
        });
    });
    auto &[server, ftp, log] = client;
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    EXPECT_EQ(ftp.ServerType(), ftpstNetTerm);
    EXPECT_EQ(server.count(QStringLiteral("SYST")), 0);
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/ftp/kasa"));
}

TEST_F(LoginTest, RefusedResumeProbeSkipsRestZero)
{
    ScriptedClient client(answering([](const QString &cmd) {
        return cmd.startsWith(QLatin1String("REST")) ? QStringLiteral("502 No REST") : QString();
    }));
    auto &[server, ftp, log] = client;
    ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
    EXPECT_FALSE(ftp.ResumeSupported());
    EXPECT_TRUE(log.has(QStringLiteral("info 17 This site cannot resume broken downloads/uploads")));
    EXPECT_EQ(server.count(QStringLiteral("REST 0")), 0);
}

TEST_F(LoginTest, InitialDirectory)
{
    for (const QString &cwdReply : {QStringLiteral("250 CWD command successful"),
                                    QStringLiteral("550 No such directory"),
                                    QStringLiteral("250 \"/pub/dv\" is current")}) {
        ScriptedClient client(answering([cwdReply](const QString &cmd) {
            if (cmd.startsWith(QLatin1String("CWD")))
                return cwdReply;
            return cmd == QLatin1String("PWD") ? QStringLiteral("257 \"/pub/dv\"") : QString();
        }));
        auto &[server, ftp, log] = client;
        ftp.SetInitialDirectory(QStringLiteral("pub/dv"));
        ASSERT_TRUE(logIn(ftp, log)) << cwdReply.toStdString();
        EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/pub/dv"));
        EXPECT_EQ(server.count(QStringLiteral("CWD pub/dv")), 1);
        EXPECT_EQ(server.count("PWD"), cwdReply.contains(QLatin1Char('"')) ? 0 : 1)
            << cwdReply.toStdString();
    }
}

TEST(FtpMisc, StripDrivePrefixOnBothForms)
{
    EXPECT_EQ(misc::StripDrivePrefix(QStringLiteral("/C:/ftp/kasa")), QStringLiteral("/ftp/kasa"));
    EXPECT_EQ(misc::StripDrivePrefix(QStringLiteral("D:\\data\\dv")), QStringLiteral("/data/dv"));
    EXPECT_EQ(misc::StripDrivePrefix(QStringLiteral("C:")), QString());
}

TEST(FtpMisc, QuotedDirectoryNeedsTwoQuotes)
{
    EXPECT_EQ(misc::QuotedDirectory(QStringLiteral("257 \"/a b\" is \"x\"")), QStringLiteral("/a b"));
    EXPECT_EQ(misc::QuotedDirectory(QStringLiteral("257 \"/open")), QString());
    const QString overlong = QStringLiteral("257 \"") + QString(2000, QLatin1Char('d')) + u'"';
    EXPECT_EQ(misc::QuotedDirectory(overlong).size(), 999);
}
