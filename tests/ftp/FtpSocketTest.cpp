// TMSocket against loopback peers: notifications for replaced sockets are dropped, a
// peer's close is reported once after the data before it, and Close and lookups behave as
// the component relies on, and error codes are mapped from errno and lookup failures.
// (Refused connections and unknown or overlong host names are checked through the
// component in FtpSessionTest.)

#include "testsupport/FtpTestSupport.h"
#include "testsupport/ScriptedFtpServer.h"

#include "ftp/FTPSock.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <netdb.h>

using namespace ftp;
using namespace ftptest;

namespace {

// Exposes the notification window so that a test can post a message itself.
class ProbeSocket : public TMSocket
{
public:
    using TMSocket::NotifyWindow;
};

TMMessage socketEvent(quint64 serial, int event)
{
    TMMessage m;
    m.Msg = TMSocket::MsgSocketEvent;
    m.LParam = event;
    m.Serial = serial;
    return m;
}

} // namespace

using SocketTest = FtpTest;

TEST_F(SocketTest, NotificationForReplacedSocketIsDropped)
{
    ProbeSocket s;
    int readable = 0, closed = 0;
    s.OnReadable = [&](TMSocket *) { ++readable; };
    s.OnClosed = [&](TMSocket *) { ++closed; };
    s.CreateSocket();
    const quint64 old = s.SocketSerial();
    s.RecreateSocket();
    ASSERT_NE(old, s.SocketSerial());
    s.Connected = true;
    s.NotifyWindow()->Post(socketEvent(old, TMSocket::FdRead));
    s.NotifyWindow()->Post(socketEvent(old, TMSocket::FdClose));
    pumpFor(50);
    EXPECT_EQ(readable, 0);
    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(s.SocketOpen());
    EXPECT_TRUE(s.Connected);
}

TEST_F(SocketTest, CloseNotificationLeavesSocketOpenedByItsReadHandlerAlone)
{
    ProbeSocket s;
    int closed = 0;
    s.OnClosed = [&](TMSocket *) { ++closed; };
    s.OnReadable = [&](TMSocket *) {
        s.Close();
        s.CreateSocket();
    };
    s.CreateSocket();
    s.Connected = true;
    s.NotifyWindow()->Post(socketEvent(s.SocketSerial(), TMSocket::FdClose));
    pumpFor(50);
    EXPECT_EQ(closed, 1); // from the handler's own Close
    EXPECT_TRUE(s.SocketOpen());
}

TEST_F(SocketTest, PeerCloseIsReportedOnceAfterTheDataBeforeIt)
{
    ScriptedFtpServer server([](ScriptedSession &s, int) {
        s.send("first part ");
        s.sleep(30);
        s.send(QByteArray(10000, 'x'));
        s.close();
    });
    TMSocket s;
    QByteArray received;
    QStringList order;
    s.OnConnected = [&](TMSocket *) { order << QStringLiteral("connected"); };
    s.OnReadable = [&](TMSocket *sock) {
        char buf[512];
        int n;
        while ((n = sock->ReceiveBuffer(buf, sizeof buf)) > 0)
            received.append(buf, n);
    };
    s.OnClosed = [&](TMSocket *) { order << QStringLiteral("closed %1").arg(received.size()); };
    s.SetAddress(QStringLiteral("127.0.0.1"));
    s.SetPort(server.port());
    s.CreateSocket();
    s.Connect();
    ASSERT_EQ(s.LastError, 0);
    ASSERT_TRUE(waitUntil([&] { return order.size() >= 2; }));
    pumpFor(100);
    EXPECT_EQ(order, QStringList({QStringLiteral("connected"), QStringLiteral("closed 10011")}));
    EXPECT_FALSE(s.Connected);
    EXPECT_FALSE(s.SocketOpen());
}

TEST_F(SocketTest, WriteNotificationFollowsConnectAndThenOnlyAWouldBlockSend)
{
    ScriptedFtpServer server([](ScriptedSession &s, int) {
        s.sleep(400);
        s.close();
    });
    TMSocket s;
    int writable = 0;
    s.OnWritable = [&](TMSocket *) { ++writable; };
    s.SetAddress(QStringLiteral("127.0.0.1"));
    s.SetPort(server.port());
    s.CreateSocket();
    s.Connect();
    ASSERT_TRUE(waitUntil([&] { return writable == 1; }));
    EXPECT_EQ(s.SendBuffer("abc", 3), 3);
    pumpFor(100);
    EXPECT_EQ(writable, 1);
    // Fill the send buffer until a send would block; room again brings one notification.
    const QByteArray block(65536, 'y');
    s.ReportWouldBlock = true;
    while (s.SendBuffer(block.constData(), int(block.size())) > 0) {
    }
    EXPECT_EQ(s.LastError, TMSocket::ErrWouldBlock);
    s.ReportWouldBlock = false;
    EXPECT_EQ(s.SendBuffer(block.constData(), int(block.size())), 0);
    EXPECT_EQ(s.LastError, 0); // would block reads as success unless asked for
    s.Close();
}

TEST_F(SocketTest, CloseWithoutSocketCancelsLookupWithoutClosedEvent)
{
    TMSocket s;
    int closed = 0, resolved = 0;
    s.OnClosed = [&](TMSocket *) { ++closed; };
    s.OnResolved = [&](TMSocket *) { ++resolved; };
    s.ResolveHost(QStringLiteral("localhost"));
    EXPECT_TRUE(s.LookupPending());
    s.LastError = 4242;
    s.ResolveHost(QStringLiteral("localhost")); // ignored while one is pending
    EXPECT_EQ(s.LastError, 4242);
    s.Close();
    EXPECT_FALSE(s.LookupPending());
    pumpFor(200);
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(resolved, 0);
    // A new lookup after the cancelled one runs to its end.
    s.ResolveHost(QStringLiteral("localhost"));
    ASSERT_TRUE(waitUntil([&] { return resolved == 1; }));
    EXPECT_EQ(s.LastError, 0);
    s.UseResolvedAddress();
    EXPECT_EQ(s.AddressText(), QStringLiteral("127.0.0.1"));
}

TEST_F(SocketTest, ServerTextStartingWithDigitIsAnAddress)
{
    TMSocket s;
    s.SetServer(QStringLiteral("  \t1host.example\r\n"));
    EXPECT_EQ(s.Server(), QStringLiteral("1host.example"));
    EXPECT_EQ(s.HostAddress, QStringLiteral("1host.example"));
    EXPECT_TRUE(s.HostName.isEmpty());
    s.SetServer(QStringLiteral("ftp.example"));
    EXPECT_EQ(s.HostName, QStringLiteral("ftp.example"));
    EXPECT_TRUE(s.HostAddress.isEmpty());
    s.SetServer(QStringLiteral("   "));
    EXPECT_EQ(s.HostName, QStringLiteral("ftp.example")); // an empty server changes nothing
}

TEST_F(SocketTest, ErrorCodesFollowTheComponentTable)
{
    using O = TMSocket::ErrorOrigin;
    EXPECT_EQ(TMSocket::ErrorCode(O::System, 0), 0);
    EXPECT_EQ(TMSocket::ErrorCode(O::System, EAGAIN), 10035);
    EXPECT_EQ(TMSocket::ErrorCode(O::System, EINPROGRESS), 10035);
    EXPECT_EQ(TMSocket::ErrorCode(O::System, ECONNREFUSED), 10061);
    EXPECT_EQ(TMSocket::ErrorCode(O::System, ECONNRESET), 10054);
    EXPECT_EQ(TMSocket::ErrorCode(O::System, ENOTCONN), 10057);
    EXPECT_EQ(TMSocket::ErrorCode(O::System, EBADF), 10038);
    EXPECT_EQ(TMSocket::ErrorCode(O::Lookup, EAI_NONAME), 11001);
    EXPECT_EQ(TMSocket::ErrorCode(O::Lookup, EAI_AGAIN), 11003);
}
