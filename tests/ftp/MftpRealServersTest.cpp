// mftp against the servers shops run: one row per server, TLS mode, data mode and address
// family (IPv6 goes through EPSV and EPRT), each
// doing a put, a get, a resumed get and a resumed put, byte-compared, every run ending
// with exit status 0 within its time-out.

#include "RealFtpServers.h"

#include <QFile>
#include <QProcess>
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

struct MftpResult
{
    int status = -1;
    QString err;
};

MftpResult mftp(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(MFTP_PATH), args);
    MftpResult r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("mftp did not finish");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    f.close();
    f.setPermissions(f.permissions() | QFile::ReadOther | QFile::WriteOther);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
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
    QByteArray data(1234567, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 131) ^ (i >> 9));
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
    } ops[] = {
        {"put", nullptr, {QStringLiteral("put"), source, url + QStringLiteral("m.bin")},
         home + QStringLiteral("/m.bin")},
        {"get", [&] { writeFile(back, QByteArray(2000000, 'z')); },
         {QStringLiteral("get"), url + QStringLiteral("m.bin"), back}, back},
        {"resumed get", [&] { writeFile(back, data.left(100000)); },
         {QStringLiteral("get"), url + QStringLiteral("m.bin"), back, QStringLiteral("--resume")}, back},
        {"resumed put", [&] { writeFile(home + QStringLiteral("/r.bin"), data.left(300001)); },
         {QStringLiteral("put"), source, url + QStringLiteral("r.bin"), QStringLiteral("--resume")},
         home + QStringLiteral("/r.bin")},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.name);
        if (op.before)
            op.before();
        const MftpResult r = mftp(op.args + common);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(readAll(op.result) == data) << readAll(op.result).size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, MftpRealServers, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row> &i) { return rowName(i.param); });
