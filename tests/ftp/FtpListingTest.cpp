// Name listings and folder making against the scripted server, in the forms servers answer
// them: names with the folder before them, LF or CR LF, "." and "..", an empty folder as no
// data or as "No files found" (450 or 550), a folder that is not there; MKD made, refused
// for a folder that is there (found by CWD, the current folder entered again), or refused
// for good. Both run synchronously here (Asynchronous false): the result is there when the
// call returns.

#include "testsupport/FtpTestSupport.h"
#include "testsupport/ScriptedFtpServer.h"

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

namespace {

// Serves the login, PASV and PORT, NLST (a refusal, or `listing` as its data) and MKD and
// CWD with the replies given.
struct Replies
{
    QString nlstRefusal; // empty: 150, the listing, 226
    QByteArray listing;
    QString mkd = QStringLiteral("257 \"/home/x\" created");
    QString cwd = QStringLiteral("250 OK");
};

ScriptedFtpServer::Script serving(const Replies &r)
{
    return [r](ScriptedSession &s, int) {
        s.reply(QStringLiteral("220 ready"));
        QString portArgument;
        bool passive = false;
        while (s.isOpen()) {
            const QString c = s.next();
            if (!s.isOpen())
                return;
            if (c.startsWith(QLatin1String("TYPE"))) {
                s.reply(QStringLiteral("200 Type set"));
            } else if (c == QLatin1String("PASV")) {
                passive = true;
                s.reply(s.openPassive());
            } else if (c.startsWith(QLatin1String("PORT "))) {
                passive = false;
                portArgument = c.mid(5);
                s.reply(QStringLiteral("200 PORT command successful"));
            } else if (c.startsWith(QLatin1String("NLST"))) {
                if (!r.nlstRefusal.isEmpty()) {
                    s.reply(r.nlstRefusal);
                    continue;
                }
                if (!(passive ? s.acceptPassive() : s.connectActive(portArgument))) {
                    s.reply(QStringLiteral("425 Cannot open data connection"));
                    continue;
                }
                s.reply(QStringLiteral("150 Here comes the directory listing."));
                s.sendData(r.listing);
                s.closeData();
                s.reply(QStringLiteral("226 Directory send OK."));
            } else if (c.startsWith(QLatin1String("MKD "))) {
                s.reply(r.mkd);
            } else if (c.startsWith(QLatin1String("CWD "))) {
                s.reply(r.cwd);
            } else {
                s.reply(ScriptedSession::loginAnswer(c));
            }
        }
    };
}

QStringList afterLogin(const QStringList &commands)
{
    return commands.mid(commands.indexOf(QStringLiteral("PWD")) + 1);
}

} // namespace

TEST_F(FtpTest, NameListingsInTheFormsServersSendThem)
{
    const QString folderMissing = QStringLiteral("550 No such file or directory");
    const struct
    {
        const char *name;
        Replies replies;
        QStringList names;
        bool fails;
    } rows[] = {
        {"names with their folder, CR LF",
         {{}, "dorvanta-rezerva/a.dvr\r\ndorvanta-rezerva/b.dvr\r\n"}, {"a.dvr", "b.dvr"}, false},
        {"bare names, LF, the dot entries", {{}, ".\n..\na b.dvr\nc.dvr"}, {"a b.dvr", "c.dvr"}, false},
        {"empty folder, no data", {{}, ""}, {}, false},
        {"empty folder as 550 No files found", {"550 No files found", ""}, {}, false},
        {"empty folder as 450 No files found.", {"450 No files found.", ""}, {}, false},
        {"folder not there", {folderMissing, ""}, {}, true},
    };
    for (const auto &row : rows) {
        for (const bool passive : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (passive ? " passive" : " active"));
            ScriptedClient client(serving(row.replies));
            auto &[server, ftp, log] = client;
            ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
            ftp.SetPassive(passive);
            ftp.SetAsynchronous(false);
            log.lines.clear();
            ftp.ListNames(QStringLiteral("dorvanta-rezerva"));
            pumpFor(30); // the events posted with the end
            EXPECT_EQ(ftp.NameList(), row.names);
            EXPECT_EQ(log.has(QStringLiteral("error")), row.fails) << log.dump().toStdString();
            EXPECT_TRUE(log.has(QStringLiteral("ready")));
            EXPECT_TRUE(afterLogin(server.commands()).contains(QStringLiteral("NLST dorvanta-rezerva")));
            EXPECT_TRUE(ftp.ControlConnected()); // the session goes on
        }
    }
}

TEST_F(FtpTest, MakingAFolderThatMayBeThereAlready)
{
    const QString exists = QStringLiteral("550 Create directory operation failed.");
    const struct
    {
        const char *name;
        Replies replies;
        bool existingIsFine;
        QStringList commands;
        QString error; // the error's text; empty when none
    } rows[] = {
        {"made", {}, true, {"MKD x"}, {}},
        {"there already", {{}, {}, exists}, true, {"MKD x", "CWD x", "CWD /home"}, {}},
        {"there already, but wanted new", {{}, {}, exists}, false, {"MKD x"}, exists},
        {"cannot be made", {{}, {}, QStringLiteral("521 Permission denied"), QStringLiteral("550 No such directory")},
         true, {"MKD x", "CWD x"}, QStringLiteral("521 Permission denied")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedClient client(serving(row.replies));
        auto &[server, ftp, log] = client;
        ASSERT_TRUE(logIn(ftp, log)) << log.dump().toStdString();
        ftp.SetAsynchronous(false);
        log.lines.clear();
        ftp.MakeDirectory(QStringLiteral("x"), row.existingIsFine);
        pumpFor(30);
        EXPECT_EQ(afterLogin(server.commands()), row.commands);
        EXPECT_EQ(log.only({"error"}),
                  row.error.isEmpty() ? QStringList() : QStringList{QStringLiteral("error 12 ") + row.error});
        EXPECT_TRUE(log.has(QStringLiteral("ready")));
    }
}
