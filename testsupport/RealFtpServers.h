#pragma once
// The FTP servers shops run, started for a test on a free loopback port and stopped when
// the object goes: vsftpd (installed from its Debian package), ProFTPD and Pure-FTPd
// (unpacked from their Debian packages into the build tree by the test set-up, since they
// conflict with vsftpd as installed packages), and pyftpdlib. Each serves a temporary home
// directory with full rights, in the clear or with TLS (explicit or implicit, where the
// server offers it) required for the login and the data, with a certificate the test makes
// for 127.0.0.1 and ::1. The configurations work whether the test runs as root or not,
// except Pure-FTPd's: Debian builds it for root only, so without root it is skipped.

#include "FtpTestSupport.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace ftptest {

class PyFtpServer;
class PyFtpsServer;

class RealFtpServer : public ServerStart
{
public:
    enum class Kind { Vsftpd, Proftpd, PureFtpd, Pyftpdlib };
    RealFtpServer(Kind kind, ftp::TMFtpTlsMode tls, bool ipv6 = false);
    ~RealFtpServer();

    static QString name(Kind kind);
    // Whether the server offers the TLS mode at all (Pure-FTPd has no implicit TLS) over
    // the address family (the pyftpdlib servers of the tests listen on IPv4 only).
    static bool offers(Kind kind, ftp::TMFtpTlsMode tls, bool ipv6);

    // missing: the server cannot run here (not there, or not as this user).
    bool start();
    QString host() const { return m_ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1"); }
    QString user() const { return m_user; }
    QString password() const { return QStringLiteral("secret"); }
    QString home() const;
    // The certificate that makes the server trusted (PEM); empty without TLS.
    QString certificateFile() const;

private:
    bool makeCertificate();
    bool startVsftpd();
    bool startProftpd();
    bool startPureFtpd();
    bool launch(const QString &program, const QStringList &args);
    QString path(const QString &name) const { return m_run.filePath(name); }

    Kind m_kind;
    ftp::TMFtpTlsMode m_tls;
    bool m_ipv6;
    QString m_user = QStringLiteral("tester");
    QTemporaryDir m_home;
    QTemporaryDir m_run; // configuration, certificate, logs
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<PyFtpServer> m_py;
    std::unique_ptr<PyFtpsServer> m_pys;
};

} // namespace ftptest
