// The FTP-over-TLS test server; see FtpTlsServer.h.

#include "FtpTlsServer.h"

#include <QElapsedTimer>
#include <QFile>

namespace ftptest {

namespace {

const char *serverScript = R"PY(
import sys, os, datetime, ipaddress, logging
from cryptography import x509
from cryptography.x509.oid import NameOID
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.CRITICAL)
home, certdir, mode = sys.argv[1], sys.argv[2], sys.argv[3]
key = ec.generate_private_key(ec.SECP256R1())
name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "127.0.0.1")])
now = datetime.datetime.now(datetime.timezone.utc)
cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name)
        .public_key(key.public_key()).serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(hours=1))
        .not_valid_after(now + datetime.timedelta(days=1))
        .add_extension(x509.SubjectAlternativeName([x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]), False)
        .add_extension(x509.BasicConstraints(ca=True, path_length=None), True)
        .sign(key, hashes.SHA256()))
pem = cert.public_bytes(serialization.Encoding.PEM)
open(os.path.join(certdir, "cert.pem"), "wb").write(pem)
open(os.path.join(certdir, "server.pem"), "wb").write(pem + key.private_bytes(
    serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, serialization.NoEncryption()))
auth = DummyAuthorizer()
auth.add_user("tester", "secret", home, perm="elradfmwMT")
class Handler(TLS_FTPHandler):
    pass
class Implicit(Handler):
    def handle(self):
        self.secure_connection(self.ssl_context)
    def handle_ssl_established(self):
        Handler.handle(self)
handler = Implicit if mode == "implicit" else Handler
from OpenSSL._util import lib as ssl_lib
from pyftpdlib.handlers import TLS_DTPHandler
class Dtp(TLS_DTPHandler):
    # As common Linux servers do: a data connection must resume the control's session.
    def handle_ssl_established(self):
        if not ssl_lib.SSL_session_reused(self.socket._ssl):
            self.cmd_channel.respond("522 SSL connection failed: session reuse required")
            self.close()
handler.dtp_handler = Dtp
handler.certfile = os.path.join(certdir, "server.pem")
handler.tls_control_required = True
handler.tls_data_required = True
handler.authorizer = auth
handler.auth_failed_timeout = 0.1
handler.permit_foreign_addresses = False
server = FTPServer(("127.0.0.1", 0), handler)
import base64, hashlib
spki = key.public_key().public_bytes(serialization.Encoding.DER,
                                     serialization.PublicFormat.SubjectPublicKeyInfo)
print(server.socket.getsockname()[1], "sha256//" + base64.b64encode(hashlib.sha256(spki).digest()).decode(), flush=True)
server.serve_forever(timeout=0.2)
)PY";

} // namespace

PyFtpsServer::PyFtpsServer(Mode mode) : m_mode(mode) {}

bool PyFtpsServer::start()
{
    const bool started = m_python.start(
        serverScript,
        {home(), m_certs.path(),
         m_mode == Mode::Implicit ? QStringLiteral("implicit") : QStringLiteral("explicit")},
        QStringLiteral("pyftpdlib, OpenSSL, cryptography"));
    static_cast<ServerStart &>(*this) = m_python;
    m_fingerprint = QString::fromLatin1(m_python.firstLine.value(1));
    return started;
}

} // namespace ftptest
