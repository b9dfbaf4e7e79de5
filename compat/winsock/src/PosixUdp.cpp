#include "PosixUdp.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mg_posix_udp {
namespace {

thread_local int tLastError;

// errno to the WinSock code a Windows caller would see for the same failure.
int Fail()
{
    switch (errno) {
    case EAGAIN:
        tLastError = 10035; // WSAEWOULDBLOCK
        break;
    case EADDRINUSE:
        tLastError = 10048;
        break;
    case EADDRNOTAVAIL:
        tLastError = 10049;
        break;
    case EACCES:
    case EPERM:
        tLastError = 10013;
        break;
    case EMSGSIZE:
        tLastError = 10040;
        break;
    case ENETUNREACH:
    case EHOSTUNREACH:
        tLastError = 10051;
        break;
    case EBADF:
    case ENOTSOCK:
        tLastError = 10038;
        break;
    case ENOBUFS:
    case ENOMEM:
        tLastError = 10055;
        break;
    case EMFILE:
    case ENFILE:
        tLastError = 10024;
        break;
    case EINTR:
        tLastError = 10004;
        break;
    default:
        tLastError = 10022; // WSAEINVAL
        break;
    }
    return -1;
}

sockaddr_in Address(uint32_t address, uint16_t port)
{
    sockaddr_in name;
    memset(&name, 0, sizeof name);
    name.sin_family = AF_INET;
    name.sin_port = htons(port);
    name.sin_addr.s_addr = address;
    return name;
}

} // namespace

int Open()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return fd < 0 ? Fail() : fd;
}

int Bind(int fd, uint32_t address, uint16_t port)
{
    const sockaddr_in name = Address(address, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&name), sizeof name) < 0 ? Fail() : 0;
}

int LocalPort(int fd, uint16_t* port)
{
    sockaddr_in name;
    socklen_t length = sizeof name;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&name), &length) < 0)
        return Fail();
    *port = ntohs(name.sin_port);
    return 0;
}

int SetBroadcast(int fd, bool on)
{
    const int value = on ? 1 : 0;
    return ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) < 0 ? Fail() : 0;
}

int SetNonBlocking(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return Fail();
    return ::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) < 0 ? Fail() : 0;
}

int SendTo(int fd, const void* bytes, int length, uint32_t address, uint16_t port)
{
    const sockaddr_in name = Address(address, port);
    const ssize_t sent =
        ::sendto(fd, bytes, static_cast<size_t>(length), 0, reinterpret_cast<const sockaddr*>(&name), sizeof name);
    return sent < 0 ? Fail() : static_cast<int>(sent);
}

int RecvFrom(int fd, void* bytes, int capacity, uint32_t* address, uint16_t* port)
{
    sockaddr_in name;
    memset(&name, 0, sizeof name);
    socklen_t length = sizeof name;
    const ssize_t got =
        ::recvfrom(fd, bytes, static_cast<size_t>(capacity), MSG_TRUNC, reinterpret_cast<sockaddr*>(&name), &length);
    if (got < 0)
        return Fail();
    *address = name.sin_addr.s_addr;
    *port = ntohs(name.sin_port);
    return static_cast<int>(got);
}

int Close(int fd) { return ::close(fd) < 0 ? Fail() : 0; }

int LastError() { return tLastError; }

} // namespace mg_posix_udp
