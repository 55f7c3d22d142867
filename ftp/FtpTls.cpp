// The OpenSSL channel of the FTP component; see FtpTls.h. The channel talks to the socket
// through a small BIO of its own that sends with MSG_NOSIGNAL, so that a peer that has
// gone never raises SIGPIPE in the program, and that reports would-block as a retry.

#include "FtpTls.h"

#include "FTPSock.h"

#include <QByteArray>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <sys/socket.h>

namespace ftp {

namespace {

// The BIO's own state: the descriptor, and whether the peer's end of stream was read. The
// library asks for the latter (BIO_CTRL_EOF) to tell an end of stream from a failure; only
// then does it treat a peer that closes without the close alert as a close.
struct SocketBio
{
    int fd = -1;
    bool eof = false;
};

SocketBio *bioState(BIO *bio)
{
    return static_cast<SocketBio *>(BIO_get_data(bio));
}

int bioWrite(BIO *bio, const char *data, int length)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(bioState(bio)->fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int bioRead(BIO *bio, char *buffer, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(bioState(bio)->fd, buffer, static_cast<size_t>(size), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    if (n == 0 && size > 0)
        bioState(bio)->eof = true;
    return static_cast<int>(n);
}

long bioCtrl(BIO *bio, int command, long, void *)
{
    switch (command) {
    case BIO_CTRL_FLUSH: return 1;
    case BIO_CTRL_EOF: return bioState(bio)->eof ? 1 : 0;
    default: return 0;
    }
}

int bioDestroy(BIO *bio)
{
    delete bioState(bio);
    BIO_set_data(bio, nullptr);
    return 1;
}

int bioCreate(BIO *bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD *socketMethod()
{
    static BIO_METHOD *method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "ftp socket");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, bioCtrl);
        BIO_meth_set_create(m, bioCreate);
        BIO_meth_set_destroy(m, bioDestroy);
        return m;
    }();
    return method;
}

// The library's queued reasons, one text; cleared from the queue.
QString queuedErrors()
{
    QString text;
    unsigned long e;
    while ((e = ERR_get_error()) != 0) {
        char line[256];
        ERR_error_string_n(e, line, sizeof line);
        if (!text.isEmpty())
            text += QStringLiteral("; ");
        text += QString::fromLatin1(line);
    }
    return text;
}

int contextIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// A connection of the context received a session (a TLS 1.3 ticket, or a TLS 1.2 session).
int newSession(SSL *ssl, SSL_SESSION *session)
{
    auto *context = static_cast<TMTlsContext *>(
        SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex()));
    if (!context)
        return 0;
    context->KeepSession(session);
    return 1;
}

} // namespace

// ---- context ------------------------------------------------------------------------------

TMTlsContext::TMTlsContext(const QString &caFile) : m_caFile(caFile)
{
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx) {
        m_problem = queuedErrors();
        return;
    }
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    // The chain is judged after the handshake (Judge), where a pinned key may stand in
    // for it; the library still computes the verdict for us.
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Many FTP servers end data connections without the close alert; the end of a
    // transfer is confirmed by the reply on the protected control connection.
    SSL_CTX_set_options(m_ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_set_ex_data(m_ctx, contextIndex(), this);
    SSL_CTX_sess_set_new_cb(m_ctx, newSession);
    if (SSL_CTX_set_default_verify_paths(m_ctx) != 1)
        ERR_clear_error(); // no system store: only a CA file or a pin can trust a server
    if (!caFile.isEmpty()
        && SSL_CTX_load_verify_locations(m_ctx, caFile.toLocal8Bit().constData(), nullptr) != 1)
        m_problem = QStringLiteral("cannot load CA file %1: %2").arg(caFile, queuedErrors());
}

TMTlsContext::~TMTlsContext()
{
    for (SSL_SESSION *session : m_unused)
        SSL_SESSION_free(session);
    if (m_newest)
        SSL_SESSION_free(m_newest);
    SSL_CTX_free(m_ctx);
}

void TMTlsContext::KeepSession(ssl_session_st *session)
{
    SSL_SESSION_up_ref(session);
    m_unused.push_front(session);
    while (m_unused.size() > MaxUnused) {
        SSL_SESSION_free(m_unused.back());
        m_unused.pop_back();
    }
    if (m_newest)
        SSL_SESSION_free(m_newest);
    m_newest = session;
}

ssl_session_st *TMTlsContext::TakeSession()
{
    if (!m_unused.empty()) {
        SSL_SESSION *session = m_unused.front();
        m_unused.pop_front();
        return session;
    }
    if (m_newest)
        SSL_SESSION_up_ref(m_newest);
    return m_newest;
}

// ---- channel ------------------------------------------------------------------------------

TMTlsChannel::TMTlsChannel(std::shared_ptr<TMTlsContext> context, int fd,
                           const TMTlsSettings &settings, const TMTlsChannel *sessionFrom)
    : m_context(std::move(context)), m_settings(settings)
{
    ERR_clear_error();
    if (!m_context || !m_context->Handle()) {
        m_error = m_context ? m_context->Problem() : QStringLiteral("no TLS context");
        return;
    }
    m_ssl = SSL_new(m_context->Handle());
    if (!m_ssl) {
        m_error = queuedErrors();
        return;
    }
    BIO *bio = BIO_new(socketMethod());
    BIO_set_data(bio, new SocketBio{fd, false});
    SSL_set_bio(m_ssl, bio, bio);
    const QByteArray host = settings.host.toUtf8();
    if (sockaddr_storage address{}; ipAddress(settings.host, address)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.constData());
    } else if (!host.isEmpty()) {
        SSL_set_tlsext_host_name(m_ssl, host.constData());
        SSL_set1_host(m_ssl, host.constData());
    }
    if (SSL_SESSION *session = sessionFrom ? m_context->TakeSession() : nullptr) {
        SSL_set_session(m_ssl, session);
        SSL_SESSION_free(session);
    } else if (sessionFrom && sessionFrom->m_ssl && sessionFrom->m_established) {
        SSL_SESSION *session = SSL_get1_session(sessionFrom->m_ssl);
        if (session) {
            SSL_set_session(m_ssl, session);
            SSL_SESSION_free(session);
        }
    }
    SSL_set_connect_state(m_ssl);
}

TMTlsChannel::~TMTlsChannel()
{
    SSL_free(m_ssl);
}

QString TMTlsChannel::TakeError(int result, int sslError)
{
    QString text = queuedErrors();
    if (!text.isEmpty())
        return text;
    if (sslError == SSL_ERROR_SYSCALL)
        return result == 0 || errno == 0 ? QStringLiteral("the server closed the connection")
                                         : QString::fromLocal8Bit(strerror(errno));
    return QStringLiteral("TLS error %1").arg(sslError);
}

TMTlsChannel::Step TMTlsChannel::Handshake()
{
    if (!m_ssl)
        return Step::Failed;
    if (m_established)
        return Step::Done;
    ERR_clear_error();
    const int r = SSL_do_handshake(m_ssl);
    if (r == 1) {
        m_established = true;
        Judge();
        return Step::Done;
    }
    const int e = SSL_get_error(m_ssl, r);
    if (e == SSL_ERROR_WANT_READ)
        return Step::WantRead;
    if (e == SSL_ERROR_WANT_WRITE)
        return Step::WantWrite;
    m_error = TakeError(r, e);
    return Step::Failed;
}

void TMTlsChannel::Judge()
{
    X509 *cert = SSL_get1_peer_certificate(m_ssl);
    if (!cert) {
        m_untrustedReason = QStringLiteral("the server sent no certificate");
        return;
    }
    const int length = i2d_PUBKEY(X509_get0_pubkey(cert), nullptr);
    QByteArray der(length > 0 ? length : 0, '\0');
    unsigned char *out = reinterpret_cast<unsigned char *>(der.data());
    if (length > 0)
        i2d_PUBKEY(X509_get0_pubkey(cert), &out);
    X509_free(cert);
    m_fingerprint = FingerprintOfKey(der);

    const QString pinned = m_settings.pinnedSha256.trimmed();
    if (!pinned.isEmpty()) {
        if (NormalizePin(pinned) != m_fingerprint)
            m_untrustedReason = QStringLiteral("the server's key is not the pinned one");
        return;
    }
    if (!m_settings.verify)
        return;
    const long result = SSL_get_verify_result(m_ssl);
    if (result != X509_V_OK)
        m_untrustedReason = QString::fromLatin1(X509_verify_cert_error_string(result));
}

// The result of SSL_read or SSL_write as Read and Write give it: the byte count, 0 with what
// the channel waits for, or -1 with the reason kept. The peer's close alert ends a read
// (0, waiting for nothing) but fails a write.
int TMTlsChannel::Outcome(int result, bool reading, Want &want)
{
    if (result > 0)
        return result;
    const int e = SSL_get_error(m_ssl, result);
    switch (e) {
    case SSL_ERROR_WANT_READ: want = Want::Read; return 0;
    case SSL_ERROR_WANT_WRITE: want = Want::Write; return 0;
    case SSL_ERROR_ZERO_RETURN:
        if (reading)
            return 0;
        [[fallthrough]];
    default:
        m_error = TakeError(result, e);
        return -1;
    }
}

int TMTlsChannel::Read(char *buffer, int size, Want &want)
{
    want = Want::Nothing;
    if (!m_ssl)
        return -1;
    ERR_clear_error();
    return Outcome(SSL_read(m_ssl, buffer, size), true, want);
}

int TMTlsChannel::Buffered() const
{
    return m_ssl ? SSL_pending(m_ssl) : 0;
}

int TMTlsChannel::Write(const char *data, int length, Want &want)
{
    want = Want::Nothing;
    if (!m_ssl)
        return -1;
    if (length <= 0)
        return 0;
    ERR_clear_error();
    return Outcome(SSL_write(m_ssl, data, length), false, want);
}

void TMTlsChannel::CloseNotify()
{
    if (!m_ssl || !m_established || m_closeSent)
        return;
    m_closeSent = true;
    // Session tickets that arrived unread are taken first (they serve the next data
    // connection; once the close alert is out they would be ignored), and anything else
    // is read away, since unread data would make the close a reset.
    char sink[4096];
    ERR_clear_error();
    for (int i = 0; i < 64 && SSL_read(m_ssl, sink, sizeof sink) > 0; ++i) {
    }
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

QString TMTlsChannel::Protocol() const
{
    return m_ssl ? QString::fromLatin1(SSL_get_version(m_ssl)) : QString();
}

QString TMTlsChannel::Cipher() const
{
    return m_ssl ? QString::fromLatin1(SSL_get_cipher_name(m_ssl)) : QString();
}

bool TMTlsChannel::SessionReused() const
{
    return m_ssl && SSL_session_reused(m_ssl) == 1;
}

QString TMTlsChannel::FingerprintOfKey(const QByteArray &derPublicKey)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (derPublicKey.isEmpty()
        || EVP_Digest(derPublicKey.constData(), static_cast<size_t>(derPublicKey.size()), digest,
                      &size, EVP_sha256(), nullptr) != 1)
        return QString();
    return QStringLiteral("sha256//")
           + QString::fromLatin1(
               QByteArray(reinterpret_cast<const char *>(digest), static_cast<int>(size))
                   .toBase64());
}

QString TMTlsChannel::NormalizePin(const QString &text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("sha256//"), Qt::CaseInsensitive))
        t = t.mid(8);
    const auto decoded = QByteArray::fromBase64Encoding(t.toLatin1(),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 32)
        return QString();
    return QStringLiteral("sha256//") + QString::fromLatin1(decoded.decoded.toBase64());
}

} // namespace ftp
