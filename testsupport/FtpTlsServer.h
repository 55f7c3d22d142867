#pragma once
// A pyftpdlib FTP-over-TLS server for the component's tests: started with /usr/bin/python3
// on a free loopback port, with an EC certificate for 127.0.0.1 (IP name only) that it
// makes at start and writes to certificateFile(). It requires TLS on the control and the
// data connections, so a login in clear is refused, and, as common Linux servers do, data
// connections that do not resume the TLS session. User "tester", password "secret".

#include "FtpTestSupport.h"

#include <QString>
#include <QTemporaryDir>

namespace ftptest {

class PyFtpsServer : public ServerStart
{
public:
    enum class Mode { Explicit, Implicit };
    explicit PyFtpsServer(Mode mode = Mode::Explicit);
    bool start();
    QString home() const { return m_home.path(); }
    QString certificateFile() const { return m_certs.filePath(QStringLiteral("cert.pem")); }
    // The server key's fingerprint as the component reports it ("sha256//...").
    QString fingerprint() const { return m_fingerprint; }

private:
    Mode m_mode;
    QTemporaryDir m_home;
    QTemporaryDir m_certs;
    PythonServer m_python;
    QString m_fingerprint;
};

} // namespace ftptest
