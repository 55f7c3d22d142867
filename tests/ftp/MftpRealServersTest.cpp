// mftp against the servers shops run: one row per server, TLS mode, data mode and address
// family (IPv6 goes through EPSV and EPRT), each
// doing a put, a get, a resumed get and a resumed put (each resuming from where the copy
// stopped), byte-compared, every run ending with exit status 0 within its time-out; over
// TLS the user name goes out only inside TLS and the data connections are protected.

#include "testsupport/RealFtpServers.h"

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
    bool ipv6;
};

std::string rowName(const Row &r)
{
    std::string name = RealFtpServer::name(r.server).toStdString();
    std::erase(name, '-');
    name += r.tls == tlsNone ? "_Clear" : r.tls == tlsExplicit ? "_ExplicitTls" : "_ImplicitTls";
    name += r.passive ? "_Passive" : "_Active";
    name += r.ipv6 ? "_IPv6" : "_IPv4";
    return name;
}

std::vector<Row> rows()
{
    std::vector<Row> all;
    for (auto server : {RealFtpServer::Kind::Vsftpd, RealFtpServer::Kind::Proftpd,
                        RealFtpServer::Kind::PureFtpd, RealFtpServer::Kind::Pyftpdlib})
        for (TMFtpTlsMode tls : {tlsNone, tlsExplicit, tlsImplicit})
            for (bool passive : {true, false})
                for (bool ipv6 : {false, true})
                    if (RealFtpServer::offers(server, tls, ipv6))
                        all.push_back({server, tls, passive, ipv6});
    return all;
}

class MftpRealServers : public ::testing::TestWithParam<Row>
{
};

} // namespace

TEST_P(MftpRealServers, PutGetAndBothResumesCopyEveryByte)
{
    const Row row = GetParam();
    RealFtpServer server(row.server, row.tls, row.ipv6);
    FTPTEST_START_OR_SKIP(server);

    // Not a multiple of any block or record size, and more than a receive low-water mark.
    const QByteArray data = pattern(1234567);
    QTemporaryDir local;
    const QString source = local.filePath(QStringLiteral("source.bin"));
    const QString back = local.filePath(QStringLiteral("back.bin"));
    writeFile(source, data);
    const QString home = server.home();
    const QString url = QStringLiteral("%1://%2:%3@%4:%5/")
                            .arg(row.tls == tlsImplicit ? QStringLiteral("ftps") : QStringLiteral("ftp"),
                                 server.user(), server.password(),
                                 row.ipv6 ? QStringLiteral("[::1]") : server.host())
                            .arg(server.port);
    QStringList common{QStringLiteral("--timeout"), QStringLiteral("5")};
    if (row.passive)
        common << QStringLiteral("--passive");
    if (row.tls == tlsExplicit)
        common << QStringLiteral("--tls");
    if (row.tls != tlsNone)
        common << QStringLiteral("--cacert") << server.certificateFile();

    struct Op
    {
        const char *name;
        std::function<void()> before;
        QStringList args;
        QString result;
        QString sent; // a command the run must show (--verbose): a resume really resumes
    } ops[] = {
        {"put", nullptr, {"put", source, url + QStringLiteral("m.bin")}, home + "/m.bin", {}},
        {"get", [&] { writeFile(back, QByteArray(2000000, 'z')); },
         {"get", url + QStringLiteral("m.bin"), back}, back, {}},
        {"resumed get", [&] { writeFile(back, data.left(100000)); },
         {"get", url + QStringLiteral("m.bin"), back, "--resume", "--verbose"}, back, "REST 100000"},
        {"resumed put", [&] { writeFile(home + QStringLiteral("/r.bin"), data.left(300001)); },
         {"put", source, url + QStringLiteral("r.bin"), "--resume", "--verbose"},
         home + QStringLiteral("/r.bin"), "REST 300001"},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.name);
        if (op.before)
            op.before();
        const ProgramRun r = mftp(op.args + common);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(op.sent.isEmpty() || r.err.contains(op.sent)) << r.err.right(2000).toStdString();
        EXPECT_FALSE(r.err.contains(server.password())) << "the password is never shown";
        if (!op.sent.isEmpty() && row.tls != tlsNone) {
            // The user name goes out only inside TLS, and data connections are protected.
            const qsizetype user = r.err.indexOf(QStringLiteral("\nUSER "));
            EXPECT_GT(user, r.err.indexOf(QStringLiteral("TLS established: TLSv1.")));
            EXPECT_EQ(r.err.contains(QStringLiteral("\nAUTH TLS")), row.tls == tlsExplicit);
            EXPECT_GT(r.err.indexOf(QStringLiteral("\nPROT P")), user);
        }
        EXPECT_TRUE(readFile(op.result) == data) << readFile(op.result).size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, MftpRealServers, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row> &i) { return rowName(i.param); });

// A plain upload reads its file and sends it 256 KiB at a time: at every size around those
// edges every byte arrives, in order, also at a server that reads slower than the client
// sends (pyftpdlib), so that sends stop half way.
TEST(MftpUploadSizes, EveryByteArrivesInOrderWhateverTheSize)
{
    for (auto kind : {RealFtpServer::Kind::Vsftpd, RealFtpServer::Kind::Pyftpdlib}) {
        RealFtpServer server(kind, tlsNone, false);
        FTPTEST_START_OR_SKIP(server);
        const QString url = QStringLiteral("ftp://%1:%2@%3:%4/")
                                .arg(server.user(), server.password(), server.host())
                                .arg(server.port);
        QTemporaryDir local;
        for (const int size : {0, 1, 1514, 262143, 262144, 262145, 3 * 262144 + 1515, 6000001}) {
            SCOPED_TRACE(RealFtpServer::name(kind).toStdString() + " " + std::to_string(size));
            const QByteArray data = pattern(size);
            const QString source = local.filePath(QStringLiteral("s.bin"));
            writeFile(source, data);
            const ProgramRun r =
                mftp({"put", source, url + QStringLiteral("s.bin"), "--passive", "--timeout", "5"});
            EXPECT_EQ(r.status, 0) << r.err.toStdString();
            const QByteArray stored = readFile(server.home() + QStringLiteral("/s.bin"));
            EXPECT_TRUE(stored == data) << stored.size() << " bytes";
        }
    }
}
