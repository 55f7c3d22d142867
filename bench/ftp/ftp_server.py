#!/usr/bin/python3
"""A pyftpdlib server on a free loopback port for the FTP benchmark: serves HOME to user
"bench" (password "bench") with full rights, prints the port, and runs until killed.
With a second argument CERTDIR it requires explicit TLS (AUTH TLS, PROT P) with a
self-signed certificate for 127.0.0.1 that it writes to CERTDIR/cert.pem."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)
home = sys.argv[1]
auth = DummyAuthorizer()
auth.add_user("bench", "bench", home, perm="elradfmwMT")


class Handler(FTPHandler):
    # Binary from the start, so that the REST probe of the login succeeds.
    def on_connect(self):
        self._current_type = 'i'


Handler.authorizer = auth
if len(sys.argv) > 2:
    import datetime
    import ipaddress
    import os
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "127.0.0.1")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(hours=1))
            .not_valid_after(now + datetime.timedelta(days=1))
            .add_extension(x509.SubjectAlternativeName(
                [x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]), False)
            .sign(key, hashes.SHA256()))
    pem = cert.public_bytes(serialization.Encoding.PEM)
    with open(os.path.join(sys.argv[2], "cert.pem"), "wb") as f:
        f.write(pem)
    with open(os.path.join(sys.argv[2], "server.pem"), "wb") as f:
        f.write(pem + key.private_bytes(serialization.Encoding.PEM,
                                        serialization.PrivateFormat.PKCS8,
                                        serialization.NoEncryption()))

    class Dtp(TLS_DTPHandler):
        # Clients that begin the data handshake before their RETR or STOR (curl does)
        # would otherwise find the data connection closed.
        def secure_connection(self, ssl_context):
            super().secure_connection(ssl_context)
            self._ssl_want_read = True

    class TlsHandler(TLS_FTPHandler):
        def on_connect(self):
            self._current_type = 'i'

    TlsHandler.authorizer = auth
    TlsHandler.certfile = os.path.join(sys.argv[2], "server.pem")
    TlsHandler.tls_control_required = True
    TlsHandler.tls_data_required = True
    TlsHandler.dtp_handler = Dtp
    Handler = TlsHandler
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.2)
