#pragma once

// Loopback sockets of the tests and their servers: the loopback address of a family at a
// port, a listener on a free port, and a port that was free a moment ago.

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace loopback {

// 127.0.0.1 (or ::1) at port, and the address's length.
inline socklen_t address(bool ipv6, quint16 port, sockaddr_storage &a)
{
    a = {};
    if (ipv6) {
        auto *a6 = reinterpret_cast<sockaddr_in6 *>(&a);
        a6->sin6_family = AF_INET6;
        a6->sin6_addr = in6addr_loopback;
        a6->sin6_port = htons(port);
        return sizeof *a6;
    }
    auto *a4 = reinterpret_cast<sockaddr_in *>(&a);
    a4->sin_family = AF_INET;
    a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a4->sin_port = htons(port);
    return sizeof *a4;
}

// A socket listening on a free loopback port with room for backlog waiting connections;
// port is set to the port.
inline int listenOnFreePort(quint16 &port, int backlog = 8, bool ipv6 = false)
{
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage a;
    socklen_t len = address(ipv6, 0, a);
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), len);
    ::listen(fd, backlog);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 *>(&a)->sin6_port
                      : reinterpret_cast<sockaddr_in *>(&a)->sin_port);
    return fd;
}

// A loopback port that nothing listens on now (a server started next takes it).
inline quint16 freePort(bool ipv6 = false)
{
    quint16 port = 0;
    ::close(listenOnFreePort(port, 1, ipv6));
    return port;
}

} // namespace loopback
