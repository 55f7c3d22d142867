#pragma once
// TMSocket: one non-blocking TCP socket (IPv4 or IPv6) whose readiness, connect completion, close,
// incoming connections and asynchronous host lookups arrive as messages at the socket's
// own notification window and are turned into calls of the handler slots below. It never
// blocks and never starts a thread. Every outcome is left as a numeric socket error code
// in LastError (a code of SocketErrors.h: 10035 would block, 10061 refused, 11001 host not
// found, ...); nothing is thrown.
//
// Notification rules: a read notification is re-armed by the next receive; a write
// notification follows a completed connect (or accept) and then comes again only after a
// send would have blocked; a peer's close is reported once, after the data before it was
// drained. Each notification carries the serial number of the socket it was made for;
// one that was made for an earlier socket (closed or replaced since) is dropped.

#include "NotifyWindow.h"
#include "SocketErrors.h"

#include <QObject>

#include <memory>
#include <mutex>
#include <QString>

#include <netinet/in.h>
#include <sys/socket.h>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace ftp {

// Whether `text` is an IP address, IPv4 or IPv6 (no brackets, no spaces); when it is, `a`
// becomes that address with port 0.
bool ipAddress(const QString &text, sockaddr_storage &a);

class TMTlsChannel;
class TMTlsContext;
struct TMTlsSettings;

class TMSocket : public QObject
{
public:
    using Handler = std::function<void(TMSocket *sender)>;

    // Message numbers of the notification window.
    static constexpr unsigned MsgLookupDone = TMNotifyWindow::WM_USER;      // 1024
    static constexpr unsigned MsgSocketEvent = TMNotifyWindow::WM_USER + 1; // 1025

    // Socket events carried in the low word of a socket message's LParam.
    static constexpr int FdRead = 1;
    static constexpr int FdWrite = 2;
    static constexpr int FdAccept = 8;
    static constexpr int FdConnect = 16;
    static constexpr int FdClose = 32;
    // The TLS handshake ended (the error code says how).
    static constexpr int FdTls = 64;

    // Error codes the component handles by name (the whole table: SocketErrors.h).
    static constexpr quint16 ErrWouldBlock = sockWouldBlock;
    static constexpr quint16 ErrNotSocket = sockNotSocket;
    static constexpr quint16 ErrNotConnected = sockNotConnected;
    static constexpr quint16 ErrHostNotFound = sockHostNotFound;
    static constexpr quint16 ErrTlsHandshake = sockTlsHandshake;
    static constexpr quint16 ErrTlsUntrusted = sockTlsUntrusted;
    static constexpr quint16 ErrTlsIo = sockTlsIo;
    static constexpr quint16 ErrForeignPeer = sockAccessDenied; // refused: not the expected peer

    // The longest host name a lookup accepts (the lookup buffer holds 68 bytes with the
    // terminating zero).
    static constexpr int MaxHostNameLength = 67;

    explicit TMSocket(QObject *owner = nullptr);
    ~TMSocket() override;

    TMSocket(const TMSocket &) = delete;
    TMSocket &operator=(const TMSocket &) = delete;

    void CreateSocket();
    void RecreateSocket();
    void SetAddress(const QString &dotted);
    void SetPort(quint16 port);
    QString AddressText() const;
    void ResolveHost(const QString &name);
    // Takes the first address of the last lookup; the next call of UseNextResolvedAddress
    // the one after it (false when there is none).
    void UseResolvedAddress();
    bool UseNextResolvedAddress();
    // Whether the address set (or the peer connected) is an IPv6 one.
    bool IsIpv6() const;
    void Connect();
    void Listen();
    // Takes the next connection waiting at listener. With onlyFrom (a dotted address) a
    // connection from any other address is closed at once, this socket is left as it
    // was, and LastError is ErrForeignPeer; the listener waits for the next one.
    void Accept(TMSocket *listener, const QString &onlyFrom = QString());
    void Close();
    int SendBuffer(const char *data, int length);
    int ReceiveBuffer(char *buffer, int size);
    QString LocalAddressText();
    quint16 LocalPort();
    void ArmTimeout(int seconds);
    // Read notifications only once this many bytes are waiting (or the peer closed).
    void SetReceiveLowWater(int bytes);
    // Bytes received and not yet read (0 when there is no socket).
    int PendingBytes() const;
    // Those, the bytes read ahead and not yet taken, and the decrypted bytes a TLS channel
    // holds.
    int BytesWaiting() const;

    // TLS (FtpTls.h). StartTls begins a client handshake on the connected socket now,
    // under the TimeOut countdown. ArmTls makes the next connect or accept of this object
    // begin one (an empty context disarms) as soon as AllowTls has been called too: FTP
    // servers expect the data connection's handshake only once they have the transfer
    // command. The connect notification, or the first ready-to-send of an accepted
    // socket, comes only after the handshake. Until it has ended, sends and receives would
    // block. Its end raises OnTlsDone with LastError 0, ErrTlsHandshake or
    // ErrTlsUntrusted; from then on sends and receives go through TLS, and closing sends
    // the close alert. sessionFrom offers that socket's TLS session for reuse.
    void StartTls(std::shared_ptr<TMTlsContext> context, const TMTlsSettings &settings,
                  const TMSocket *sessionFrom = nullptr);
    void ArmTls(std::shared_ptr<TMTlsContext> context, const TMTlsSettings &settings,
                const TMSocket *sessionFrom = nullptr);
    void AllowTls();
    bool TlsHandshaking() const { return m_tlsHandshaking || m_tlsWaiting; }
    // How many steps handshakes of this object have taken: each follows bytes moving, so
    // a count that changes is a handshake that progresses.
    quint64 TlsHandshakeSteps() const { return m_tlsSteps; }
    // A reader that stops before taking all there is (a bounded read per notification)
    // calls this: decrypted bytes left inside the TLS channel raise no socket notification
    // of their own, so another read notification is posted for them.
    void ReadAgainIfBuffered();
    // The channel of the current (or last failed) handshake; null without TLS.
    const TMTlsChannel *TlsChannel() const { return m_tls ? m_tls.get() : m_tlsFailed.get(); }

    QString Server() const { return m_server; }
    void SetServer(const QString &value);

    bool SocketOpen() const { return m_handle >= 0; }
    bool LookupPending() const { return m_pendingLookup != 0; }
    // A connect was started and has not completed yet.
    bool Connecting() const { return m_connecting; }
    // Serial number of the socket now held; 0 when none is open.
    quint64 SocketSerial() const { return m_serial; }

    // Maps a POSIX errno value, or a host lookup failure, to the component's numeric
    // socket error code (0 for no error).
    enum class ErrorOrigin { System, Lookup };
    static quint16 ErrorCode(ErrorOrigin origin, int code);

    // Fields the owner reads and writes.
    bool Connected = false;
    QString WinsockDescription;
    QString WinsockStatus;
    quint16 MaxSockets = 0;
    int TimeOut = 20;
    QString HostAddress;
    QString HostName;
    quint16 Port = 0;
    quint16 LastError = 0;
    bool ReportWouldBlock = false;
    // Set by a sender while its stream has more to come, cleared before its last send: the
    // system may then hold a short last segment back for what follows. A close while it is
    // set, or after a send that did not take all it was given (the sender gave up half
    // way), resets the connection without the TLS close alert, so the peer never takes a
    // cut stream for a whole one. Every new connection starts with it cleared.
    bool MoreToCome = false;

    // Handler slots; an empty slot is skipped.
    std::function<void(TMMessage &message)> OnNotify;
    Handler OnResolved;
    Handler OnConnected;
    Handler OnClosed;
    Handler OnTimeout;
    Handler OnReadable;
    Handler OnWritable;
    Handler OnAcceptable;
    Handler OnTlsDone;

protected:
    virtual void HostResolved();
    TMNotifyWindow *NotifyWindow() const { return m_window; }
    void WndProc(TMMessage &message);

private:
    void HandleSocketEvent(const TMMessage &message);
    void HandleLookupDone(int lookupId, int result, std::vector<sockaddr_storage> addresses);
    void Raise(const Handler &handler) { if (handler) handler(this); }
    void AttachNotifiers(bool read, bool write);
    void DetachNotifiers();
    void ReadReady();
    void WriteReady();
    void PostEvent(int event, quint16 error);
    void SetLastErrorFromErrno(int err);
    void CloseHandle();
    void BeginTls(int afterEvent);
    void BeginArmedTls(int afterEvent);
    void TlsHandshakeStep();
    void EndTls();
    int TlsSend(const char *data, int length);
    int TlsReceive(char *buffer, int size);

    TMNotifyWindow *m_window;
    int m_handle = -1;
    quint64 m_serial = 0;
    bool MatchFamily();

    sockaddr_storage m_peer{};
    int m_family = AF_INET; // of the socket held
    std::vector<sockaddr_storage> m_resolved;
    size_t m_nextResolved = 0;
    std::vector<sockaddr_storage> m_lookupAddresses; // of the lookup being delivered
    int m_pendingLookup = 0;
    // Where a lookup's thread delivers its answer: the socket while it lives; the
    // destructor empties it under the lock, so a late answer is dropped. The answer itself
    // waits in the mailbox, under the lock; the thread only posts a bare event to the
    // mailbox's receiver (a child of the notification window), which takes the answers out
    // in the socket's thread. Nothing else crosses threads, so a thread checker sees every step.
    struct LookupAnswer
    {
        int id = 0;
        int result = 0;
        std::vector<sockaddr_storage> addresses;
    };
    struct LookupMailbox
    {
        std::mutex lock;
        TMSocket *socket = nullptr;
        QObject *receiver = nullptr;
        std::vector<LookupAnswer> answers;
    };
    void DeliverLookupAnswers();
    std::shared_ptr<LookupMailbox> m_mailbox;
    int m_countdown = 0;
    int m_timerId = 0;
    char m_hostNameBuffer[MaxHostNameLength + 1] = {};
    QString m_server;

    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    bool m_connecting = false;
    bool m_listening = false;
    bool m_closeSeen = false;

    // What one receive took from the system beyond what the caller asked for: the caller's
    // blocks stay the size it asks, but the system is asked for many at once.
    static constexpr int ReadAheadSize = 256 * 1024;
    std::unique_ptr<char[]> m_inBuffer;
    int m_inStart = 0;
    int m_inEnd = 0;

    bool m_streamCut = false; // the last send left more of the stream to come

    std::unique_ptr<TMTlsChannel> m_tls;
    std::unique_ptr<TMTlsChannel> m_tlsFailed; // kept for its reason and fingerprint
    std::shared_ptr<TMTlsContext> m_tlsContext;
    std::unique_ptr<TMTlsSettings> m_tlsSettings;
    const TMSocket *m_tlsSessionFrom = nullptr;
    bool m_tlsArmed = false;
    bool m_tlsHandshaking = false;
    bool m_tlsAllowed = false; // AllowTls came
    bool m_tlsWaiting = false; // connected, the handshake waits for AllowTls
    quint64 m_tlsSteps = 0;
    int m_tlsAfterEvent = 0; // the event the handshake held back (connect or write)
};

} // namespace ftp
