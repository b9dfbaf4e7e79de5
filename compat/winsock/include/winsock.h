#pragma once
// WinSock 1.1, as much of it as the network endpoint uses: UDP datagram sockets over POSIX.
// Three things differ from a plain socket layer, so that engines on one machine really talk:
// a socket bound to "any address" is bound to the configured address instead, a datagram to
// the broadcast address goes to the configured list of peers (and the sender) instead of the
// network, and a seeded fault injector can stand between the sockets and the wire. The
// controls are in mg_winsock.h.
//
// The declarations are this layer's own (Windows values and layouts); a source that includes
// this header must not also include the system's socket headers.
#include <windows.h>

typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef ULONG u_long;
typedef UINT_PTR SOCKET;

#define INVALID_SOCKET (~static_cast<SOCKET>(0))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define SOCK_DGRAM 2
#define IPPROTO_UDP 17
#define SOL_SOCKET 0xffff
#define SO_BROADCAST 0x0020
#define FIONBIO static_cast<long>(0x8004667eUL)

#define INADDR_ANY static_cast<u_long>(0x00000000)
#define INADDR_BROADCAST static_cast<u_long>(0xffffffff)
#define INADDR_NONE 0xffffffff

#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEWOULDBLOCK 10035
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETUNREACH 10051
#define WSAENOBUFS 10055
#define WSAEMFILE 10024
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
} WSADATA, *LPWSADATA;

struct in_addr {
    union {
        struct {
            u_char s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct {
            u_short s_w1, s_w2;
        } S_un_w;
        u_long S_addr;
    } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16, "an IPv4 socket address is 16 bytes");
static_assert(sizeof(sockaddr) == 16, "a socket address is 16 bytes");

int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const struct sockaddr* name, int namelen);
int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int ioctlsocket(SOCKET s, long cmd, u_long* argp);
int sendto(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to, int tolen);
// A datagram longer than len fills buf and fails with WSAEMSGSIZE; the rest is lost.
int recvfrom(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen);
int closesocket(SOCKET s);

u_long inet_addr(const char* text);
u_short htons(u_short value);
u_short ntohs(u_short value);
u_long htonl(u_long value);
u_long ntohl(u_long value);
