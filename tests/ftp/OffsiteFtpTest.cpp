// The FTP target of the off-site copies against the servers shops run, in the clear and
// over TLS, passive and active: offsite-init's folder made on the server and found there
// again, an empty folder listed as empty, a sealed copy put, listed, fetched back and opened,
// removed, and a backup's copy sent with the server's older copies trimmed to those kept.
// Nothing here depends on one server's wording.

#include "FtpSettings.h"
#include "OffsiteFtp.h"
#include "desk/DataDirectory.h"
#include "desk/Offsite.h"
#include "desk/SealedBackup.h"
#include "engine/EngineError.h"
#include "platform/TextFiles.h"
#include "testsupport/RealFtpServers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ftp;
using namespace ftptest;

namespace {

struct Row
{
    RealFtpServer::Kind server;
    TMFtpTlsMode tls;
    bool passive;
};

std::string rowName(const Row &r)
{
    std::string name = RealFtpServer::name(r.server).toStdString();
    std::erase(name, '-');
    name += r.tls == tlsNone ? "_Clear" : "_ExplicitTls";
    name += r.passive ? "_Passive" : "_Active";
    return name;
}

std::vector<Row> rows()
{
    std::vector<Row> all;
    for (auto server : {RealFtpServer::Kind::Vsftpd, RealFtpServer::Kind::Proftpd,
                        RealFtpServer::Kind::PureFtpd, RealFtpServer::Kind::Pyftpdlib})
        for (TMFtpTlsMode tls : {tlsNone, tlsExplicit})
            for (bool passive : {true, false})
                if (RealFtpServer::offers(server, tls, false))
                    all.push_back({server, tls, passive});
    return all;
}

// The key the server shows, as the backup page's "PROVERI VEZU" learns it; empty without TLS.
QString serverKey(const RealFtpServer &server, TMFtpTlsMode tls)
{
    if (tls == tlsNone)
        return {};
    TMFtp ftp;
    pointAtRealServer(ftp, server.port, server.user());
    ftp.SetTls(tls);
    ftp.SetTlsCaFile(server.certificateFile());
    FtpLog log(ftp);
    logIn(ftp, log, 10000);
    return ftp.TlsFingerprint();
}

// A data directory whose upload option points at the server.
void writeUploadOption(const QString &dir, const RealFtpServer &server, TMFtpTlsMode tls,
                       bool passive, const QString &password)
{
    FtpSettings s;
    s.server = server.host();
    s.user = server.user();
    s.password = password;
    s.tls = tls != tlsNone;
    s.pinnedKey = serverKey(server, tls);
    s.passive = passive;
    s.port = server.port;
    QDir(dir).mkpath(QStringLiteral("podaci"));
    ASSERT_TRUE(platform::saveLines(QDir(dir).filePath(QStringLiteral("podaci/ftpop.txt")), s.toLines()));
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

class OffsiteFtp : public ::testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        ensureApp();
        offsite_ftp::registerFtpTarget();
    }
};

} // namespace

TEST_P(OffsiteFtp, MakesListsPutsGetsRemovesAndTrimsCopiesOnTheServer)
{
    const Row row = GetParam();
    RealFtpServer server(row.server, row.tls, false);
    FTPTEST_START_OR_SKIP(server);
    QTemporaryDir data;
    const QString dir = data.path();
    ASSERT_EQ(desk::DataDirectory::createTables(dir), QString()); // a copy carries the shop's tables
    writeUploadOption(dir, server, row.tls, row.passive, server.password());
    const QString copies = QDir(server.home()).filePath(offsite_ftp::Folder);
    const auto onServer = [&] { return sorted(QDir(copies).entryList(QDir::Files)); };

    // Set-up makes the folder; a second set-up finds it there.
    desk::offsite::init(dir, {QString(), true});
    ASSERT_TRUE(QFileInfo(copies).isDir());
    auto targets = desk::offsite::targets(dir, desk::offsite::settings(dir));
    ASSERT_EQ(targets.size(), 1u);
    auto &target = targets.front();
    EXPECT_NO_THROW(target->prepare());
    EXPECT_EQ(target->names(), QStringList());

    // A sealed copy there and back, whole, under its name only.
    const QByteArray plain = pattern(300001);
    const QString backup = QDir(dir).filePath(QStringLiteral("podaci/bck-01-02-26-10-00-00.db"));
    ASSERT_TRUE(writeFile(backup, plain));
    const QByteArray key = desk::offsite::key(dir);
    const QString sealedFile = QDir(dir).filePath(QStringLiteral("sealed.dvr"));
    desk::sealed::seal(backup, sealedFile, key);
    const QString name = QStringLiteral("2026-02-01-10-00-00.dvr");
    target->put(sealedFile, name);
    EXPECT_EQ(onServer(), QStringList{name});
    EXPECT_TRUE(readFile(QDir(copies).filePath(name)) == readFile(sealedFile));
    EXPECT_EQ(target->names(), QStringList{name});
    const QString fetched = QDir(dir).filePath(QStringLiteral("fetched.dvr"));
    ASSERT_TRUE(writeFile(fetched, "an older, longer file that the download replaces whole"));
    target->get(name, fetched);
    const QString opened = QDir(dir).filePath(QStringLiteral("opened.db"));
    desk::sealed::unseal(fetched, opened, key);
    EXPECT_TRUE(readFile(opened) == plain);
    target->remove(name);
    EXPECT_EQ(target->names(), QStringList());
    EXPECT_THROW(target->get(name, fetched), engine::EngineError);
    target.reset();

    // A backup's copy goes there, and of the copies the server holds only those kept stay;
    // what is not a copy is left alone.
    QStringList before{QStringLiteral("2010-05-01-08-00-00.dvr")};
    for (int day = 1; day <= 28; ++day)
        before += QStringLiteral("2026-01-%1-08-00-00.dvr").arg(day, 2, 10, QLatin1Char('0'));
    for (int day = 1; day <= 17; ++day)
        before += QStringLiteral("2025-12-%1-08-00-00.dvr").arg(day, 2, 10, QLatin1Char('0'));
    for (const QString &old : before + QStringList{QStringLiteral("napomena.txt")})
        ASSERT_TRUE(writeFile(QDir(copies).filePath(old), "old"));
    ASSERT_TRUE(QFile::remove(backup));
    ASSERT_TRUE(QFile::copy(QDir(dir).filePath(QStringLiteral("podaci/promet.db")), backup));
    QString sent;
    EXPECT_TRUE(desk::offsite::send(dir, QStringLiteral("bck-01-02-26-10-00-00.db"),
                                    QDateTime::currentDateTime(), &sent));
    EXPECT_TRUE(sent.startsWith(QStringLiteral("Kopija van lokacije: FTP "))) << sent.toStdString();
    const QStringList kept = desk::offsite::keep(before + QStringList{name});
    ASSERT_LT(kept.size(), before.size()); // some are trimmed
    EXPECT_EQ(onServer(), sorted(kept
                                 + QStringList{QStringLiteral("napomena.txt")}));
    EXPECT_TRUE(desk::offsite::statusLine(dir).startsWith(QStringLiteral("Poslednja kopija van lokacije: ") + name));
}

INSTANTIATE_TEST_SUITE_P(Rows, OffsiteFtp, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row> &i) { return rowName(i.param); });
