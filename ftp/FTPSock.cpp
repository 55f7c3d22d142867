// TMSocket over a POSIX non-blocking TCP socket (IPv4 or IPv6). Readiness comes from two
// QSocketNotifiers, each disabled as soon as it fires and turned into a message posted to
// the notification window; the window procedure then raises the handler slots in the
// order the messages arrive. The read notifier is enabled again by the next receive (or
// accept); the write notifier after a connect and after a send that would have blocked.
// A peer's close is seen by peeking at a readable socket and posted once. Messages carry
// the serial number of the socket they were made for and are dropped when that socket is
// no longer the one held.

#include "FTPSock.h"
#include "FtpTls.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <algorithm>
#include <cstring>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace ftp {

bool ipAddress(const QString &text, sockaddr_storage &a)
{
    const QByteArray bytes = text.left(INET6_ADDRSTRLEN).toLatin1();
    in_addr a4{};
    in6_addr a6{};
    if (inet_pton(AF_INET, bytes.constData(), &a4) == 1) {
        a = sockaddr_storage{};
        auto &in = reinterpret_cast<sockaddr_in &>(a);
        in.sin_family = AF_INET;
        in.sin_addr = a4;
        return true;
    }
    if (inet_pton(AF_INET6, bytes.constData(), &a6) == 1) {
        a = sockaddr_storage{};
        auto &in = reinterpret_cast<sockaddr_in6 &>(a);
        in.sin6_family = AF_INET6;
        in.sin6_addr = a6;
        return true;
    }
    return false;
}

namespace {

std::atomic<quint64> nextSerial{1};

socklen_t addressLength(const sockaddr_storage &a)
{
    return a.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

QString addressText(const sockaddr_storage &a)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 &>(a).sin6_addr, text, sizeof text);
    else
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(a).sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

quint16 addressPort(const sockaddr_storage &a)
{
    return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6 &>(a).sin6_port
                                         : reinterpret_cast<const sockaddr_in &>(a).sin_port);
}

// The address (of either family) into a, keeping its port; false when the text is none.
bool parseAddress(const QString &text, sockaddr_storage &a)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        t = t.mid(1, t.size() - 2);
    const quint16 port = addressPort(a);
    if (!ipAddress(t, a))
        return false;
    if (a.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6 &>(a).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in &>(a).sin_port = htons(port);
    return true;
}

// The end of a protected connection: the close alert and everything before it still go
// out after the descriptor has been given up, and whatever the peer sends meanwhile (TLS
// session tickets, its own close alert) is read away, so that the close never becomes a
// reset that could cost the peer the end of the data. The descriptor is closed at the
// peer's end of stream, or after a while.
class LingeringClose : public QObject
{
public:
    LingeringClose(int fd, std::unique_ptr<TMTlsChannel> channel, QObject *parent)
        : QObject(parent), m_fd(fd), m_channel(std::move(channel)),
          m_notifier(fd, QSocketNotifier::Read)
    {
        ::shutdown(fd, SHUT_WR);
        QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { Drain(); });
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Finish(); });
        m_timer.setSingleShot(true);
        m_timer.start(10000);
    }
    ~LingeringClose() override
    {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

private:
    void Drain()
    {
        char sink[4096];
        for (;;) {
            if (m_channel) {
                // Through TLS, so that a session ticket still arriving serves the next
                // data connection.
                TMTlsChannel::Want want;
                const int n = m_channel->Read(sink, sizeof sink, want);
                if (n > 0)
                    continue;
                if (n == 0 && want == TMTlsChannel::Want::Read)
                    return;
                Finish();
                return;
            }
            const ssize_t n = ::recv(m_fd, sink, sizeof sink, MSG_DONTWAIT);
            if (n > 0)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return;
            Finish();
            return;
        }
    }
    void Finish()
    {
        m_notifier.setEnabled(false);
        m_timer.stop();
        deleteLater();
    }

    int m_fd;
    std::unique_ptr<TMTlsChannel> m_channel;
    QSocketNotifier m_notifier;
    QTimer m_timer;
};

// Receives the bare event a lookup's thread posts when it has left its answer in the mailbox.
class LookupReceiver : public QObject
{
public:
    static constexpr QEvent::Type AnswerWaiting = QEvent::Type(QEvent::User + 41);
    LookupReceiver(QObject *parent, std::function<void()> deliver)
        : QObject(parent), m_deliver(std::move(deliver))
    {
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != AnswerWaiting)
            return QObject::event(e);
        m_deliver();
        return true;
    }

private:
    std::function<void()> m_deliver;
};

} // namespace

TMSocket::TMSocket(QObject *owner)
    : QObject(owner), m_window(new TMNotifyWindow(this)),
      m_mailbox(std::make_shared<LookupMailbox>())
{
    m_window->WndProc = [this](TMMessage &m) { WndProc(m); };
    m_mailbox->receiver = new LookupReceiver(m_window, [this] { DeliverLookupAnswers(); });
    m_peer.ss_family = AF_INET;
    // What a Windows Sockets start-up would report, for the informational fields.
    WinsockDescription = QStringLiteral("POSIX sockets");
    WinsockStatus = QStringLiteral("Running");
    rlimit limit{};
    MaxSockets = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65535
                     ? static_cast<quint16>(limit.rlim_cur)
                     : 65535;
}

TMSocket::~TMSocket()
{
    m_window->WndProc = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_mailbox->lock);
        m_mailbox->socket = nullptr; // a lookup still running delivers to nobody
    }
    m_pendingLookup = 0;
    m_window->StopTimer(m_timerId);
    DetachNotifiers();
    if (m_handle >= 0)
        ::close(m_handle);
}

quint16 TMSocket::ErrorCode(ErrorOrigin origin, int code)
{
    return origin == ErrorOrigin::Lookup ? SocketErrorFromLookup(code) : SocketErrorFromErrno(code);
}

void TMSocket::SetLastErrorFromErrno(int err)
{
    LastError = ErrorCode(ErrorOrigin::System, err);
}

void TMSocket::CreateSocket()
{
    if (m_handle >= 0)
        return;
    const int fd = ::socket(m_peer.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return;
    }
    LastError = 0;
    m_handle = fd;
    m_family = m_peer.ss_family;
    m_serial = nextSerial++;
    m_connecting = m_listening = m_closeSeen = false;
}

// A socket is made before its address is known: one of the other family than the address
// set since is replaced by one of the right family (nothing was posted for it yet).
bool TMSocket::MatchFamily()
{
    if (m_handle < 0 || m_family == m_peer.ss_family)
        return true;
    const int fd = ::socket(m_peer.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    DetachNotifiers();
    ::close(m_handle);
    m_handle = fd;
    m_family = m_peer.ss_family;
    return true;
}

void TMSocket::CloseHandle()
{
    m_inStart = m_inEnd = 0;
    m_streamCut = MoreToCome = false;
    EndTls();
    DetachNotifiers();
    if (m_handle >= 0)
        ::close(m_handle);
    m_handle = -1;
    m_serial = 0;
    m_connecting = m_listening = m_closeSeen = false;
}

void TMSocket::RecreateSocket()
{
    // The old socket goes without a close notification; messages made for it are dropped
    // because the new socket has a new serial number.
    CloseHandle();
    Connected = false;
    CreateSocket();
}

void TMSocket::SetAddress(const QString &dotted)
{
    if (!parseAddress(dotted, m_peer)) {
        const quint16 port = addressPort(m_peer);
        m_peer = sockaddr_storage{};
        auto &in = reinterpret_cast<sockaddr_in &>(m_peer);
        in.sin_family = AF_INET;
        in.sin_addr.s_addr = INADDR_NONE;
        in.sin_port = htons(port);
    }
}

void TMSocket::SetPort(quint16 port)
{
    if (m_peer.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6 &>(m_peer).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in &>(m_peer).sin_port = htons(port);
}

QString TMSocket::AddressText() const
{
    return addressText(m_peer);
}

bool TMSocket::IsIpv6() const
{
    return m_peer.ss_family == AF_INET6;
}

void TMSocket::ResolveHost(const QString &name)
{
    if (m_pendingLookup != 0)
        return;
    const QByteArray bytes = name.toUtf8();
    if (bytes.isEmpty() || bytes.size() > MaxHostNameLength || bytes.contains('\0')) {
        // Longer names do not fit the lookup buffer; they are refused as unknown hosts.
        LastError = ErrHostNotFound;
        return;
    }
    std::memset(m_hostNameBuffer, 0, sizeof m_hostNameBuffer);
    std::memcpy(m_hostNameBuffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    // The system's resolver blocks, so it runs on a thread of its own; its answer comes
    // back through the notification window's event queue (dropped with the window) and
    // counts only while it is the pending lookup.
    static std::atomic<int> lastLookupId{0};
    const int id = ++lastLookupId == 0 ? ++lastLookupId : lastLookupId.load();
    m_pendingLookup = id;
    {
        // An earlier lookup's thread may be reading the mailbox right now.
        std::lock_guard<std::mutex> guard(m_mailbox->lock);
        m_mailbox->socket = this;
    }
    std::thread([mailbox = m_mailbox, id, name = std::string(m_hostNameBuffer)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *found = nullptr;
        const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
        std::vector<sockaddr_storage> addresses;
        for (const addrinfo *a = found; result == 0 && a; a = a->ai_next) {
            if ((a->ai_family != AF_INET && a->ai_family != AF_INET6)
                || a->ai_addrlen > sizeof(sockaddr_storage))
                continue;
            sockaddr_storage s{};
            std::memcpy(&s, a->ai_addr, a->ai_addrlen);
            const bool seen = std::any_of(addresses.begin(), addresses.end(), [&](const auto &o) {
                return std::memcmp(&o, &s, sizeof s) == 0;
            });
            if (!seen)
                addresses.push_back(s);
        }
        if (found)
            ::freeaddrinfo(found);
        std::lock_guard<std::mutex> guard(mailbox->lock);
        if (!mailbox->socket)
            return;
        mailbox->answers.push_back({id, result, std::move(addresses)});
        // The receiver lives while the socket does (the destructor empties the mailbox under
        // this lock first); the event goes with it, unread, when the window is gone.
        QCoreApplication::postEvent(mailbox->receiver, new QEvent(LookupReceiver::AnswerWaiting));
    }).detach();
    LastError = 0;
    ArmTimeout(TimeOut);
}

void TMSocket::DeliverLookupAnswers()
{
    std::vector<LookupAnswer> answers;
    {
        std::lock_guard<std::mutex> guard(m_mailbox->lock);
        answers.swap(m_mailbox->answers);
    }
    for (LookupAnswer &a : answers)
        HandleLookupDone(a.id, a.result, std::move(a.addresses));
}

void TMSocket::HandleLookupDone(int lookupId, int result, std::vector<sockaddr_storage> addresses)
{
    if (lookupId != m_pendingLookup)
        return; // given up (Close) or replaced
    quint16 error = ErrorCode(ErrorOrigin::Lookup, result);
    // Every address of the name, in the order the resolver gives: connecting tries them in
    // turn.
    if (error == 0 && addresses.empty())
        error = sockNoAddress;
    TMMessage m;
    m.Msg = MsgLookupDone;
    m.WParam = static_cast<quintptr>(lookupId);
    m.LParam = static_cast<qintptr>(error) << 16;
    m.Serial = 0;
    if (error == 0)
        m_lookupAddresses = std::move(addresses);
    WndProc(m);
}

void TMSocket::UseResolvedAddress()
{
    m_nextResolved = 0;
    UseNextResolvedAddress();
}

bool TMSocket::UseNextResolvedAddress()
{
    if (m_nextResolved >= m_resolved.size())
        return false;
    const quint16 port = addressPort(m_peer);
    m_peer = m_resolved[m_nextResolved++];
    SetPort(port);
    return true;
}

void TMSocket::HostResolved()
{
    Raise(OnResolved);
}

void TMSocket::Connect()
{
    if (m_handle < 0) {
        LastError = ErrNotSocket;
        return;
    }
    if (!MatchFamily())
        return;
    AttachNotifiers(false, true);
    m_connecting = true;
    if (::connect(m_handle, reinterpret_cast<const sockaddr *>(&m_peer), addressLength(m_peer)) < 0) {
        const int err = errno;
        SetLastErrorFromErrno(err);
        if (LastError == ErrWouldBlock) {
            if (!ReportWouldBlock)
                LastError = 0;
        } else {
            // Failed at once: no completion will be reported for this attempt.
            m_connecting = false;
            DetachNotifiers();
        }
    }
    if (LastError == 0)
        ArmTimeout(TimeOut);
}

void TMSocket::Listen()
{
    if (m_handle < 0) {
        LastError = ErrNotSocket;
        return;
    }
    if (!MatchFamily())
        return;
    if (::bind(m_handle, reinterpret_cast<const sockaddr *>(&m_peer), addressLength(m_peer)) < 0) {
        SetLastErrorFromErrno(errno);
        return;
    }
    LastError = 0;
    m_listening = true;
    AttachNotifiers(true, false);
    if (::listen(m_handle, 2) < 0)
        SetLastErrorFromErrno(errno);
    else
        LastError = 0;
}

void TMSocket::Accept(TMSocket *listener, const QString &onlyFrom)
{
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    const int fd = listener->m_handle < 0
                       ? -1
                       : ::accept4(listener->m_handle, reinterpret_cast<sockaddr *>(&peer), &len,
                                   SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int err = listener->m_handle < 0 ? EBADF : errno;
    if (listener->m_readNotifier && listener->m_listening)
        listener->m_readNotifier->setEnabled(true);
    if (fd < 0) {
        SetLastErrorFromErrno(err);
        return;
    }
    if (!onlyFrom.isEmpty()) {
        if (addressText(peer) != onlyFrom) {
            ::close(fd);
            LastError = ErrForeignPeer;
            return;
        }
    }
    CloseHandle();
    m_handle = fd;
    m_family = peer.ss_family;
    m_serial = nextSerial++;
    m_peer = peer;
    LastError = 0;
    Connected = true;
    AttachNotifiers(true, false);
    // An accepted connection may be written to at once (a protected one after its
    // handshake).
    if (m_tlsArmed)
        BeginArmedTls(FdWrite);
    else
        PostEvent(FdWrite, 0);
}

void TMSocket::Close()
{
    m_pendingLookup = 0; // a lookup still running delivers to nobody
    ArmTimeout(0);
    if (m_handle < 0)
        return;
    m_inStart = m_inEnd = 0;
    const bool cut = m_streamCut || MoreToCome;
    m_streamCut = MoreToCome = false;
    if (cut) {
        // The sender gave up half way: the peer must not see an orderly end of a cut stream.
        const linger reset{1, 0};
        ::setsockopt(m_handle, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    std::unique_ptr<TMTlsChannel> lingering;
    if (m_tls && m_tls->Established() && !m_tlsHandshaking && !cut) {
        m_tls->CloseNotify();
        lingering = std::move(m_tls);
    }
    EndTls();
    DetachNotifiers();
    int r = 0;
    if (lingering)
        new LingeringClose(m_handle, std::move(lingering), m_window); // closes the descriptor
    else
        r = ::close(m_handle);
    LastError = r < 0 ? ErrorCode(ErrorOrigin::System, errno) : 0;
    m_handle = -1;
    m_serial = 0;
    m_connecting = m_listening = m_closeSeen = false;
    Connected = false;
    Raise(OnClosed);
}

int TMSocket::SendBuffer(const char *data, int length)
{
    if (m_handle < 0) {
        LastError = ErrNotSocket;
        return 0;
    }
    if (m_tls || m_tlsFailed || m_tlsWaiting)
        return TlsSend(data, length);
    const int flags = MSG_NOSIGNAL | (MoreToCome ? MSG_MORE : 0);
    const ssize_t n = ::send(m_handle, data, static_cast<size_t>(length), flags);
    m_streamCut = MoreToCome || n < length;
    if (n > 0) {
        LastError = 0;
        return static_cast<int>(n);
    }
    if (n == 0)
        return 0;
    const int err = errno;
    SetLastErrorFromErrno(err);
    if (LastError == ErrWouldBlock) {
        // The next write notification tells when the buffer has room again.
        if (m_writeNotifier)
            m_writeNotifier->setEnabled(true);
        if (!ReportWouldBlock)
            LastError = 0;
    }
    return 0;
}

void TMSocket::SetReceiveLowWater(int bytes)
{
    // Not on a protected connection: a server that sends its close alert after the last
    // bytes and waits for ours before it closes would never wake a reader held back by
    // the mark.
    if (m_tls || m_tlsArmed)
        return;
    if (m_handle >= 0)
        ::setsockopt(m_handle, SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes);
}

int TMSocket::PendingBytes() const
{
    int n = 0;
    if (m_handle < 0 || ::ioctl(m_handle, FIONREAD, &n) < 0)
        return 0;
    return n;
}

int TMSocket::ReceiveBuffer(char *buffer, int size)
{
    if (m_handle < 0) {
        LastError = ErrNotSocket;
        return 0;
    }
    if (m_tls || m_tlsFailed || m_tlsWaiting)
        return TlsReceive(buffer, size);
    if (m_inStart < m_inEnd) {
        const int n = std::min(size, m_inEnd - m_inStart);
        std::memcpy(buffer, m_inBuffer.get() + m_inStart, static_cast<size_t>(n));
        m_inStart += n;
        LastError = 0;
        return n;
    }
    if (!m_inBuffer)
        m_inBuffer = std::make_unique<char[]>(ReadAheadSize);
    const ssize_t n = ::recv(m_handle, m_inBuffer.get(), ReadAheadSize, 0);
    const int err = errno;
    // A receive re-arms the read notification.
    if (m_readNotifier && !m_closeSeen)
        m_readNotifier->setEnabled(true);
    if (n > 0) {
        LastError = 0;
        const int taken = std::min(size, static_cast<int>(n));
        std::memcpy(buffer, m_inBuffer.get(), static_cast<size_t>(taken));
        m_inStart = taken;
        m_inEnd = static_cast<int>(n);
        return taken;
    }
    if (n == 0)
        return 0;
    SetLastErrorFromErrno(err);
    if (LastError == ErrWouldBlock && !ReportWouldBlock)
        LastError = 0;
    return 0;
}

QString TMSocket::LocalAddressText()
{
    if (m_handle < 0)
        return QString();
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    if (::getsockname(m_handle, reinterpret_cast<sockaddr *>(&local), &len) < 0) {
        SetLastErrorFromErrno(errno);
        return QString();
    }
    LastError = 0;
    return addressText(local);
}

quint16 TMSocket::LocalPort()
{
    if (m_handle < 0)
        return 0;
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    if (::getsockname(m_handle, reinterpret_cast<sockaddr *>(&local), &len) < 0) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    LastError = 0;
    return addressPort(local);
}

void TMSocket::SetServer(const QString &value)
{
    int from = 0;
    int to = static_cast<int>(value.size());
    while (from < to && value.at(from).unicode() <= ' ')
        ++from;
    while (to > from && value.at(to - 1).unicode() <= ' ')
        --to;
    m_server = value.mid(from, to - from);
    if (m_server.isEmpty())
        return;
    // A dotted address, or an IPv6 one (with or without its brackets).
    const QChar first = m_server.at(0);
    if ((first >= QLatin1Char('0') && first <= QLatin1Char('9')) || first == QLatin1Char('[')
        || m_server.contains(QLatin1Char(':'))) {
        HostAddress = m_server;
        HostName.clear();
    } else {
        HostName = m_server;
        HostAddress.clear();
    }
}

void TMSocket::ArmTimeout(int seconds)
{
    if (m_timerId != 0) {
        m_window->StopTimer(m_timerId);
        m_timerId = 0;
    }
    if (seconds > 0) {
        m_countdown = seconds;
        m_timerId = m_window->StartTimer(1000);
    }
}

void TMSocket::AttachNotifiers(bool read, bool write)
{
    DetachNotifiers();
    m_readNotifier = new QSocketNotifier(m_handle, QSocketNotifier::Read, m_window);
    m_readNotifier->setEnabled(read);
    QObject::connect(m_readNotifier, &QSocketNotifier::activated, m_window,
                     [this] { ReadReady(); });
    m_writeNotifier = new QSocketNotifier(m_handle, QSocketNotifier::Write, m_window);
    m_writeNotifier->setEnabled(write);
    QObject::connect(m_writeNotifier, &QSocketNotifier::activated, m_window,
                     [this] { WriteReady(); });
}

void TMSocket::DetachNotifiers()
{
    // Notifiers may be dropped from inside their own activation; delete them later.
    for (QSocketNotifier *n : {m_readNotifier, m_writeNotifier}) {
        if (n) {
            n->setEnabled(false);
            QObject::disconnect(n, nullptr, m_window, nullptr);
            n->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
}

void TMSocket::PostEvent(int event, quint16 error)
{
    TMMessage m;
    m.Msg = MsgSocketEvent;
    m.WParam = static_cast<quintptr>(m_handle);
    m.LParam = (static_cast<qintptr>(error) << 16) | event;
    m.Serial = m_serial;
    m_window->Post(m);
}

void TMSocket::ReadReady()
{
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_handle < 0)
        return;
    if (m_tlsHandshaking) {
        TlsHandshakeStep();
        return;
    }
    if (m_tlsWaiting)
        return; // nothing is read before the handshake; it re-enables the notifier
    if (m_listening) {
        PostEvent(FdAccept, 0);
        return;
    }
    char probe;
    const ssize_t n = ::recv(m_handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        PostEvent(FdRead, 0);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
        return;
    }
    if (m_closeSeen)
        return;
    m_closeSeen = true;
    PostEvent(FdClose, n == 0 ? 0 : ErrorCode(ErrorOrigin::System, errno));
}

void TMSocket::WriteReady()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    if (m_handle < 0)
        return;
    if (!m_connecting) {
        if (m_tlsHandshaking)
            TlsHandshakeStep();
        else
            PostEvent(FdWrite, 0);
        return;
    }
    m_connecting = false;
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
        err = errno;
    const quint16 code = ErrorCode(ErrorOrigin::System, err);
    if (code == 0 && m_tlsArmed) {
        // The connect is reported once the handshake has ended well; its countdown ends
        // here (closing a data socket on a time-out would look like the end of the data).
        ArmTimeout(0);
        BeginArmedTls(FdConnect);
        return;
    }
    PostEvent(FdConnect, code);
    if (code == 0) {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
        PostEvent(FdWrite, 0);
    } else {
        DetachNotifiers();
    }
}

void TMSocket::WndProc(TMMessage &message)
{
    if (message.Msg > MsgSocketEvent && OnNotify) {
        OnNotify(message);
        return;
    }
    switch (message.Msg) {
    case TMNotifyWindow::WM_QUERYENDSESSION:
        message.Result = 1;
        return;
    case TMNotifyWindow::WM_TIMER:
        if (static_cast<int>(message.WParam) != m_timerId || m_timerId == 0)
            return; // a tick of a countdown that has been stopped or replaced
        --m_countdown;
        if (m_countdown == 0) {
            if (OnTimeout)
                OnTimeout(this);
            else
                Close();
        }
        return;
    case MsgLookupDone:
        if (m_pendingLookup == 0 || static_cast<int>(message.WParam) != m_pendingLookup)
            return; // a lookup that was cancelled
        ArmTimeout(0);
        LastError = static_cast<quint16>((message.LParam >> 16) & 0xFFFF);
        if (LastError == 0)
            m_resolved = m_lookupAddresses;
        m_pendingLookup = 0;
        HostResolved();
        return;
    case MsgSocketEvent:
        HandleSocketEvent(message);
        return;
    default:
        return;
    }
}

void TMSocket::HandleSocketEvent(const TMMessage &message)
{
    const quint64 serial = message.Serial;
    if (serial == 0 || serial != m_serial)
        return; // made for a socket that has been closed or replaced since
    const int event = static_cast<int>(message.LParam & 0xFFFF);
    LastError = static_cast<quint16>((message.LParam >> 16) & 0xFFFF);
    switch (event) {
    case FdRead:
        Raise(OnReadable);
        if (m_serial == serial && !m_tlsHandshaking)
            ArmTimeout(0);
        return;
    case FdWrite:
        Raise(OnWritable);
        return;
    case FdAccept:
        Raise(OnAcceptable);
        return;
    case FdTls:
        Raise(OnTlsDone);
        return;
    case FdConnect:
        Connected = LastError == 0;
        ArmTimeout(0);
        Raise(OnConnected);
        return;
    case FdClose:
        if (Connected) {
            // Drain what arrived before the close and let pending sends finish; either
            // handler may close this socket (and open another) itself. A reader takes a
            // bounded amount per call, so it is called again while bytes are left.
            for (int left = BytesWaiting(), last = -1; left > 0 || last < 0; left = BytesWaiting()) {
                if (last >= 0 && left >= last)
                    break; // the reader takes nothing more now
                last = left;
                Raise(OnReadable);
                if (m_serial != serial)
                    return;
            }
            Raise(OnWritable);
            if (m_serial != serial)
                return;
            // A protected stream is answered with our own close alert before the socket
            // goes: a server may wait for it before it confirms the transfer.
            if (m_tls && m_tls->Established() && !m_tlsHandshaking)
                m_tls->CloseNotify();
            ::shutdown(m_handle, SHUT_RDWR);
        }
        CloseHandle();
        Connected = false;
        Raise(OnClosed);
        return;
    default:
        return;
    }
}

// ---- TLS ------------------------------------------------------------------------------------

void TMSocket::StartTls(std::shared_ptr<TMTlsContext> context, const TMTlsSettings &settings,
                        const TMSocket *sessionFrom)
{
    if (m_handle < 0) {
        LastError = ErrNotSocket;
        return;
    }
    m_tlsContext = std::move(context);
    m_tlsSettings = std::make_unique<TMTlsSettings>(settings);
    m_tlsSessionFrom = sessionFrom;
    LastError = 0;
    BeginTls(0);
    if (m_tlsHandshaking)
        ArmTimeout(TimeOut); // a handshake that stalls ends like a connect that does
}

void TMSocket::ArmTls(std::shared_ptr<TMTlsContext> context, const TMTlsSettings &settings,
                      const TMSocket *sessionFrom)
{
    m_tlsAllowed = false;
    m_tlsWaiting = false;
    m_tlsArmed = context != nullptr;
    m_tlsContext = std::move(context);
    m_tlsSettings = std::make_unique<TMTlsSettings>(settings);
    m_tlsSessionFrom = sessionFrom;
}

void TMSocket::BeginArmedTls(int afterEvent)
{
    if (m_tlsAllowed) {
        BeginTls(afterEvent);
        return;
    }
    m_tlsWaiting = true;
    m_tlsAfterEvent = afterEvent;
}

void TMSocket::AllowTls()
{
    m_tlsAllowed = true;
    if (!m_tlsWaiting || m_handle < 0)
        return;
    m_tlsWaiting = false;
    BeginTls(m_tlsAfterEvent);
}

void TMSocket::BeginTls(int afterEvent)
{
    // Clear text read ahead of the handshake is nobody's: from here on only TLS counts.
    m_inStart = m_inEnd = 0;
    m_tlsFailed.reset();
    const TMTlsChannel *from =
        m_tlsSessionFrom && m_tlsSessionFrom != this ? m_tlsSessionFrom->m_tls.get() : nullptr;
    m_tls = std::make_unique<TMTlsChannel>(m_tlsContext, m_handle, *m_tlsSettings, from);
    m_tlsHandshaking = true;
    m_tlsAfterEvent = afterEvent;
    TlsHandshakeStep();
}

void TMSocket::TlsHandshakeStep()
{
    const auto step = m_tls->Handshake();
    ++m_tlsSteps;
    // A handshake that goes on is movement: its countdown (when it has one) starts again,
    // so that only a handshake that stalls for TimeOut seconds ends.
    if (m_timerId != 0 && TimeOut > 0)
        m_countdown = TimeOut;
    switch (step) {
    case TMTlsChannel::Step::WantRead:
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
        return;
    case TMTlsChannel::Step::WantWrite:
        if (m_writeNotifier)
            m_writeNotifier->setEnabled(true);
        return;
    case TMTlsChannel::Step::Failed:
        m_tlsHandshaking = false;
        ArmTimeout(0);
        m_tlsFailed = std::move(m_tls);
        PostEvent(FdTls, ErrTlsHandshake);
        return;
    case TMTlsChannel::Step::Done:
        m_tlsHandshaking = false;
        ArmTimeout(0);
        if (!m_tls->Trusted()) {
            // Nothing more goes over this connection: not a password, not data.
            m_tlsFailed = std::move(m_tls);
            PostEvent(FdTls, ErrTlsUntrusted);
            return;
        }
        PostEvent(FdTls, 0);
        if (m_tlsAfterEvent == FdConnect)
            PostEvent(FdConnect, 0);
        PostEvent(FdWrite, 0);
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
        return;
    }
}

void TMSocket::EndTls()
{
    if (m_tls && m_handle >= 0 && !m_tlsHandshaking)
        m_tls->CloseNotify();
    m_tls.reset();
    m_tlsFailed.reset();
    m_tlsHandshaking = false;
    m_tlsWaiting = false;
}

int TMSocket::BytesWaiting() const
{
    return PendingBytes() + (m_inEnd - m_inStart)
           + (m_tls && !m_tlsHandshaking ? m_tls->Buffered() : 0);
}

void TMSocket::ReadAgainIfBuffered()
{
    if (m_handle >= 0
        && (m_inStart < m_inEnd || (m_tls && !m_tlsHandshaking && m_tls->Buffered() > 0)))
        PostEvent(FdRead, 0);
}

int TMSocket::TlsSend(const char *data, int length)
{
    if (!m_tls || m_tlsHandshaking) {
        // Nothing goes out in clear on a socket meant to be protected: until the end of
        // the handshake is handled (the owner then closes a failed one), sends wait.
        LastError = ReportWouldBlock ? ErrWouldBlock : 0;
        return 0;
    }
    TMTlsChannel::Want want;
    const int n = m_tls->Write(data, length, want);
    if (n > 0) {
        LastError = 0;
        return n;
    }
    if (n < 0) {
        LastError = ErrTlsIo;
        return 0;
    }
    if (want == TMTlsChannel::Want::Read && m_readNotifier)
        m_readNotifier->setEnabled(true);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(true);
    LastError = ReportWouldBlock ? ErrWouldBlock : 0;
    return 0;
}

int TMSocket::TlsReceive(char *buffer, int size)
{
    if (!m_tls || m_tlsHandshaking) {
        LastError = ReportWouldBlock ? ErrWouldBlock : 0;
        return 0;
    }
    TMTlsChannel::Want want;
    const int n = m_tls->Read(buffer, size, want);
    if (m_readNotifier && !m_closeSeen)
        m_readNotifier->setEnabled(true);
    if (n > 0) {
        LastError = 0;
        return n;
    }
    if (n < 0) {
        LastError = ErrTlsIo;
        return 0;
    }
    if (want == TMTlsChannel::Want::Nothing && !m_closeSeen) {
        // The peer's close alert (or its end of stream after the last record): the stream
        // is over, as with a close in clear. Everything before it has been read.
        m_closeSeen = true;
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
        PostEvent(FdClose, 0);
    }
    if (want == TMTlsChannel::Want::Write && m_writeNotifier)
        m_writeNotifier->setEnabled(true);
    LastError = want != TMTlsChannel::Want::Nothing && ReportWouldBlock ? ErrWouldBlock : 0;
    return 0;
}

} // namespace ftp
