// The real FTP servers of the tests; see RealFtpServers.h.

#include "RealFtpServers.h"
#include "FtpTlsServer.h"
#include "Loopback.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <grp.h>
#include <pwd.h>

using namespace ftp;

namespace ftptest {

namespace {

// Where the test set-up unpacked the packages that cannot be installed beside vsftpd.
QString unpacked(const QString &file)
{
    return QStringLiteral(FTP_SERVERS_DIR) + QLatin1Char('/') + file;
}

bool writeText(const QString &path, const QString &text, QFile::Permissions permissions)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(text.toUtf8());
    f.close();
    return f.setPermissions(permissions);
}

const QFile::Permissions Readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                    | QFile::ReadOther;

// Whether something accepts connections at the loopback port.
bool accepting(bool ipv6, quint16 port)
{
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_storage a;
    const socklen_t len = loopback::address(ipv6, port, a);
    const int r = ::connect(fd, reinterpret_cast<sockaddr *>(&a), len);
    ::close(fd);
    return r == 0;
}

QString run(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The virtual user's ids: a server started by root serves as nobody, one started by
// anybody else as that user.
uint serveUid() { return ::getuid() == 0 ? 65534 : ::getuid(); }
uint serveGid() { return ::getuid() == 0 ? 65534 : ::getgid(); }

} // namespace

RealFtpServer::RealFtpServer(Kind kind, TMFtpTlsMode tls, bool ipv6)
    : m_kind(kind), m_tls(tls), m_ipv6(ipv6)
{
    if (kind == Kind::Vsftpd)
        m_user = QStringLiteral("anonymous"); // vsftpd knows local and anonymous users only
}

RealFtpServer::~RealFtpServer()
{
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

QString RealFtpServer::name(Kind kind)
{
    switch (kind) {
    case Kind::Vsftpd: return QStringLiteral("vsftpd");
    case Kind::Proftpd: return QStringLiteral("ProFTPD");
    case Kind::PureFtpd: return QStringLiteral("Pure-FTPd");
    case Kind::Pyftpdlib: return QStringLiteral("pyftpdlib");
    }
    return QString();
}

bool RealFtpServer::offers(Kind kind, TMFtpTlsMode tls, bool ipv6)
{
    return !(kind == Kind::PureFtpd && tls == tlsImplicit) && !(kind == Kind::Pyftpdlib && ipv6);
}

QString RealFtpServer::home() const
{
    if (m_py)
        return m_py->home();
    if (m_pys)
        return m_pys->home();
    return m_home.path();
}

QString RealFtpServer::certificateFile() const
{
    if (m_tls == tlsNone)
        return QString();
    return m_pys ? m_pys->certificateFile() : path(QStringLiteral("cert.pem"));
}

bool RealFtpServer::start()
{
    if (m_kind == Kind::Pyftpdlib) {
        const auto take = [this](auto &server) {
            const bool started = server.start();
            static_cast<ServerStart &>(*this) = server;
            return started;
        };
        if (m_tls == tlsNone)
            return take(*(m_py = std::make_unique<PyFtpServer>()));
        return take(*(m_pys = std::make_unique<PyFtpsServer>(
                          m_tls == tlsImplicit ? PyFtpsServer::Mode::Implicit : PyFtpsServer::Mode::Explicit)));
    }
    // The served user writes into the home directory, whoever it is.
    QFile::setPermissions(m_home.path(), QFile::Permissions(0x7777));
    QFile::setPermissions(m_run.path(), QFile::Permissions(0x7755));
    if (m_tls != tlsNone && !makeCertificate())
        return false;
    port = loopback::freePort(m_ipv6);
    switch (m_kind) {
    case Kind::Vsftpd: return startVsftpd();
    case Kind::Proftpd: return startProftpd();
    case Kind::PureFtpd: return startPureFtpd();
    case Kind::Pyftpdlib: break;
    }
    return false;
}

bool RealFtpServer::makeCertificate()
{
    run(QStringLiteral("openssl"),
        QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                       "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,IP:::1 -batch")
                .split(QLatin1Char(' '))
            + QStringList{QStringLiteral("-keyout"), path(QStringLiteral("key.pem")),
                          QStringLiteral("-out"), path(QStringLiteral("cert.pem"))});
    QFile key(path(QStringLiteral("key.pem")));
    QFile cert(path(QStringLiteral("cert.pem")));
    if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("openssl made no certificate");
        return false;
    }
    // Pure-FTPd takes key and certificate from one file.
    QFile both(path(QStringLiteral("both.pem")));
    both.open(QIODevice::WriteOnly);
    both.write(key.readAll() + cert.readAll());
    both.close();
    for (const char *f : {"key.pem", "cert.pem", "both.pem"})
        QFile::setPermissions(path(QLatin1String(f)), Readable);
    return true;
}

bool RealFtpServer::launch(const QString &program, const QStringList &args)
{
    if (!QFile::exists(program)) {
        missing = true;
        problem = program + QStringLiteral(" is not there (tools/install-deps.sh installs vsftpd; "
                                           "the test set-up unpacks ProFTPD and Pure-FTPd)");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(program, args);
    if (!m_process->waitForStarted(5000)) {
        problem = program + QStringLiteral(" did not start");
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        if (accepting(m_ipv6, port))
            return true;
        if (m_process->waitForFinished(20))
            break; // it ended: its output says why
    }
    problem = program + QStringLiteral(" does not listen: ")
              + QString::fromLocal8Bit(m_process->readAll());
    return false;
}

bool RealFtpServer::startVsftpd()
{
    QStringList conf{
        QStringLiteral("background=NO"),
        m_ipv6 ? QStringLiteral("listen_ipv6=YES") : QStringLiteral("listen=YES"),
        m_ipv6 ? QStringLiteral("listen_address6=::1") : QStringLiteral("listen_address=127.0.0.1"),
        QStringLiteral("listen_port=%1").arg(port),
        // No chroot and no change of user: what works without root too.
        QStringLiteral("run_as_launching_user=YES"),
        QStringLiteral("seccomp_sandbox=NO"),
        QStringLiteral("secure_chroot_dir=") + m_run.path(),
        QStringLiteral("anonymous_enable=YES"),
        QStringLiteral("local_enable=NO"),
        QStringLiteral("no_anon_password=YES"),
        QStringLiteral("anon_root=") + m_home.path(),
        QStringLiteral("write_enable=YES"),
        QStringLiteral("anon_upload_enable=YES"),
        QStringLiteral("anon_mkdir_write_enable=YES"),
        QStringLiteral("anon_other_write_enable=YES"),
        QStringLiteral("anon_world_readable_only=NO"),
        QStringLiteral("anon_umask=022"),
        QStringLiteral("connect_from_port_20=NO"),
        QStringLiteral("xferlog_enable=NO"),
        QStringLiteral("vsftpd_log_file=") + path(QStringLiteral("vsftpd.log")),
    };
    if (m_tls != tlsNone) {
        conf << QStringLiteral("ssl_enable=YES") << QStringLiteral("allow_anon_ssl=YES")
             << QStringLiteral("force_anon_logins_ssl=YES") << QStringLiteral("force_anon_data_ssl=YES")
             << QStringLiteral("ssl_ciphers=HIGH")
             << QStringLiteral("rsa_cert_file=") + path(QStringLiteral("cert.pem"))
             << QStringLiteral("rsa_private_key_file=") + path(QStringLiteral("key.pem"));
        if (m_tls == tlsImplicit)
            conf << QStringLiteral("implicit_ssl=YES");
    }
    const QString file = path(QStringLiteral("vsftpd.conf"));
    writeText(file, conf.join(QLatin1Char('\n')) + QLatin1Char('\n'), Readable);
    return launch(QStringLiteral("/usr/sbin/vsftpd"), {file});
}

bool RealFtpServer::startProftpd()
{
    const QString hash = run(QStringLiteral("openssl"),
                             {QStringLiteral("passwd"), QStringLiteral("-6"), password()});
    writeText(path(QStringLiteral("passwd")),
              QStringLiteral("%1:%2:%3:%4::%5:/bin/sh\n")
                  .arg(m_user, hash).arg(serveUid()).arg(serveGid()).arg(m_home.path()),
              QFile::ReadOwner | QFile::WriteOwner);
    writeText(path(QStringLiteral("group")), QStringLiteral("%1:x:%2:\n").arg(m_user).arg(serveGid()),
              QFile::ReadOwner | QFile::WriteOwner);
    QStringList conf{
        QStringLiteral("ServerType standalone"),
        QStringLiteral("DefaultServer on"),
        QStringLiteral("UseIPv6 on"),
        QStringLiteral("DefaultAddress ") + host(),
        QStringLiteral("SocketBindTight on"),
        QStringLiteral("Port %1").arg(port),
        QStringLiteral("PidFile ") + path(QStringLiteral("proftpd.pid")),
        QStringLiteral("ScoreboardFile ") + path(QStringLiteral("proftpd.scoreboard")),
        QStringLiteral("SystemLog ") + path(QStringLiteral("proftpd.log")),
        QStringLiteral("TransferLog none"),
        QStringLiteral("WtmpLog off"),
        QStringLiteral("UseReverseDNS off"),
        QStringLiteral("DelayEngine off"),
        QStringLiteral("AuthPAM off"),
        QStringLiteral("AuthOrder mod_auth_file.c"),
        QStringLiteral("AuthUserFile ") + path(QStringLiteral("passwd")),
        QStringLiteral("AuthGroupFile ") + path(QStringLiteral("group")),
        QStringLiteral("RequireValidShell off"),
        QStringLiteral("AllowOverwrite on"),
        QStringLiteral("AllowStoreRestart on"),
        QStringLiteral("AllowRetrieveRestart on"),
        QStringLiteral("Umask 022"),
        QStringLiteral("<IfModule mod_ctrls.c>\nControlsEngine off\n</IfModule>"),
    };
    if (::getuid() == 0) {
        conf << QStringLiteral("User nobody") << QStringLiteral("Group nogroup");
    } else {
        // Started by another user, ProFTPD keeps to that user: it must not try to take
        // root's rights back, which it cannot.
        const passwd *me = ::getpwuid(::getuid());
        const group *myGroup = ::getgrgid(::getgid());
        if (me)
            conf << QStringLiteral("User ") + QString::fromLocal8Bit(me->pw_name);
        if (myGroup)
            conf << QStringLiteral("Group ") + QString::fromLocal8Bit(myGroup->gr_name);
    }
    if (m_tls != tlsNone) {
        conf << QStringLiteral("ModulePath ") + unpacked(QStringLiteral("usr/lib/proftpd"))
             << QStringLiteral("LoadModule mod_tls.c")
             << QStringLiteral("TLSEngine on") << QStringLiteral("TLSRequired on")
             << QStringLiteral("TLSProtocol TLSv1.2 TLSv1.3")
             << QStringLiteral("TLSECCertificateFile ") + path(QStringLiteral("cert.pem"))
             << QStringLiteral("TLSECCertificateKeyFile ") + path(QStringLiteral("key.pem"))
             << QStringLiteral("TLSVerifyClient off") << QStringLiteral("TLSRenegotiate none")
             << QStringLiteral("TLSLog ") + path(QStringLiteral("tls.log"));
        if (m_tls == tlsImplicit)
            conf << QStringLiteral("TLSOptions UseImplicitSSL");
    }
    const QString file = path(QStringLiteral("proftpd.conf"));
    writeText(file, conf.join(QLatin1Char('\n')) + QLatin1Char('\n'), Readable);
    return launch(unpacked(QStringLiteral("usr/sbin/proftpd")),
                  {QStringLiteral("--nodaemon"), QStringLiteral("--config"), file});
}

bool RealFtpServer::startPureFtpd()
{
    if (::getuid() != 0) {
        // Debian builds Pure-FTPd for root only: started by anybody else it refuses every
        // login ("421 Sorry, but I can't trust you"). Such a run skips its rows.
        missing = true;
        problem = QStringLiteral("Pure-FTPd from its Debian package runs only as root; these "
                                 "tests run as uid %1, so its rows are skipped").arg(::getuid());
        return false;
    }
    const QString hash = run(QStringLiteral("openssl"),
                             {QStringLiteral("passwd"), QStringLiteral("-6"), password()});
    const QString passwd = path(QStringLiteral("pureftpd.passwd"));
    const QString db = path(QStringLiteral("pureftpd.pdb"));
    writeText(passwd,
              QStringLiteral("%1:%2:%3:%4::%5::::::::::::\n")
                  .arg(m_user, hash).arg(serveUid()).arg(serveGid()).arg(m_home.path()),
              QFile::ReadOwner | QFile::WriteOwner);
    const QString pw = unpacked(QStringLiteral("usr/bin/pure-pw"));
    if (QFile::exists(pw)) {
        QProcess mkdb;
        mkdb.start(pw, {QStringLiteral("mkdb"), db, QStringLiteral("-f"), passwd});
        mkdb.waitForFinished(10000);
    }
    QStringList args = QStringLiteral("-E -H -u 1 -f none -U 022:022").split(QLatin1Char(' '))
                       + QStringList{QStringLiteral("-S"), QStringLiteral("%1,%2").arg(host()).arg(port),
                                     QStringLiteral("-l"), QStringLiteral("puredb:") + db,
                                     QStringLiteral("-g"), path(QStringLiteral("pure-ftpd.pid"))};
    if (m_tls != tlsNone)
        args << QStringLiteral("-Y") << QStringLiteral("3") << QStringLiteral("-2")
             << path(QStringLiteral("both.pem"));
    return launch(unpacked(QStringLiteral("usr/sbin/pure-ftpd")), args);
}

} // namespace ftptest
