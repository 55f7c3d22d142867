#pragma once
// TLS for the FTP component: a client-side OpenSSL channel over a socket descriptor that
// TMSocket already holds in non-blocking mode. Nothing here blocks or waits: each call
// does what the socket allows now and says whether it wants the socket readable or
// writable before it can go on, so that the handshake and every read and write are driven
// by the socket's own notifications.
//
// The channel judges the server after the handshake: with a pinned key (the SHA-256 of
// the server's public key, "sha256//" + Base64 as the common command-line clients write
// it) only that key is trusted and the chain is not looked at; otherwise, when
// verification is on, the chain must lead to a trusted certificate (the system's, or
// those of a CA file) and the certificate must name the host (a name or an IP address).
// A data connection reuses the TLS session of its control connection, since many servers
// refuse protected data connections that do not.

#include <QString>

#include <deque>

#include <memory>

struct ssl_st;
struct ssl_ctx_st;
struct ssl_session_st;

namespace ftp {

// What a channel is told about the server and how to judge it.
struct TMTlsSettings
{
    QString host;          // the name or dotted address the connection was made to
    bool verify = true;    // check the chain and the host name
    QString pinnedSha256;  // when not empty: the only key trusted ("sha256//..." or Base64)
    QString caFile;        // certificates trusted besides the system's (PEM); may be empty
};

// The OpenSSL client context shared by the control connection and its data connections
// (sessions are only reused within one context). It keeps the sessions its connections
// received: under TLS 1.3 a session ticket is good for one resumption at many servers, a
// resumed data connection that reads (a download, a listing) brings a fresh one for the next,
// but one that only writes (an upload) often brings none. Each data connection therefore
// takes a session not offered before, newest first (the control connection's tickets are
// the reserve); only when none is left is the newest offered again.
class TMTlsContext
{
public:
    explicit TMTlsContext(const QString &caFile);
    ~TMTlsContext();
    TMTlsContext(const TMTlsContext &) = delete;
    TMTlsContext &operator=(const TMTlsContext &) = delete;

    ssl_ctx_st *Handle() const { return m_ctx; }
    QString CaFile() const { return m_caFile; }
    // Why the context could not be made (no such CA file, ...); empty when it could.
    QString Problem() const { return m_problem; }
    void KeepSession(ssl_session_st *session); // takes the reference
    // The session for the next data connection, with a reference for the caller (null when
    // none came yet).
    ssl_session_st *TakeSession();

private:
    static constexpr std::size_t MaxUnused = 8;
    ssl_session_st *m_newest = nullptr;
    std::deque<ssl_session_st *> m_unused; // newest first
    ssl_ctx_st *m_ctx = nullptr;
    QString m_caFile;
    QString m_problem;
};

class TMTlsChannel
{
public:
    enum class Want { Nothing, Read, Write };
    enum class Step { Done, WantRead, WantWrite, Failed };

    // A client channel on the connected descriptor fd. When sessionFrom is given (a data
    // connection), the context's newest session, or else sessionFrom's, is offered for
    // reuse.
    TMTlsChannel(std::shared_ptr<TMTlsContext> context, int fd, const TMTlsSettings &settings,
                 const TMTlsChannel *sessionFrom);
    ~TMTlsChannel();
    TMTlsChannel(const TMTlsChannel &) = delete;
    TMTlsChannel &operator=(const TMTlsChannel &) = delete;

    // One step of the handshake. Failed leaves the library's reason in Error().
    Step Handshake();
    bool Established() const { return m_established; }

    // Reads or writes what the channel allows now. A result > 0 is a byte count. 0 with
    // want Read or Write: try again when the socket is so; 0 with want Nothing: the peer
    // closed the TLS stream. -1: a failure, its reason in Error().
    int Read(char *buffer, int size, Want &want);
    int Write(const char *data, int length, Want &want);
    // Decrypted bytes the channel holds that no Read has taken yet (the socket shows none
    // of them as readable).
    int Buffered() const;
    // Takes what the peer sent that nobody read (session tickets among it), then sends
    // the close alert once (what the socket takes now). The socket's lingering close reads
    // on after it, so that closing never resets the connection.
    void CloseNotify();

    // After the handshake: whether the server is trusted under the settings, and if not why.
    bool Trusted() const { return m_untrustedReason.isEmpty(); }
    QString UntrustedReason() const { return m_untrustedReason; }
    QString Fingerprint() const { return m_fingerprint; } // "sha256//" + Base64, or empty
    QString Protocol() const;
    QString Cipher() const;
    bool SessionReused() const;
    QString Error() const { return m_error; }

    // The SHA-256 fingerprint text of a DER-encoded SubjectPublicKeyInfo.
    static QString FingerprintOfKey(const QByteArray &derPublicKey);
    // "sha256//ABC=" or "ABC=" (blanks around ignored) -> "sha256//ABC="; empty when the
    // text is not 32 bytes of Base64.
    static QString NormalizePin(const QString &text);

private:
    void Judge();
    QString TakeError(int result, int sslError);
    int Outcome(int result, bool reading, Want &want);

    std::shared_ptr<TMTlsContext> m_context;
    ssl_st *m_ssl = nullptr;
    TMTlsSettings m_settings;
    bool m_established = false;
    bool m_closeSent = false;
    QString m_fingerprint;
    QString m_untrustedReason;
    QString m_error;
};

} // namespace ftp
