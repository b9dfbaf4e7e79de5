// WinSock over the system's UDP sockets or over in-process queues, with broadcast sent to a
// peer list and the fault injector on the way out.
#include <string.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "FaultInjector.h"
#include "PosixUdp.h"
#include "mg_winsock.h"

using mg_winsock::Datagram;

namespace {

// The largest UDP payload over IPv4.
const int kLargestDatagram = 65507;
// A memory socket holds at most this many datagrams, as a system socket's buffer would.
const size_t kMemoryQueueLimit = 4096;
const u_short kFirstEphemeralPort = 49152;

struct Socket {
    bool Used = false;
    int Fd = -1; // the system socket; -1 in the memory network
    bool Bound = false;
    u_long Address = 0; // network order
    u_short Port = 0;   // host order
    bool Broadcast = false;
    bool NonBlocking = false;
    std::deque<Datagram> Inbox; // memory network only
};

struct State {
    int Startups = 0;
    u_long BindAddress = 0x0100007F; // 127.0.0.1
    std::vector<u_long> Peers;
    bool Memory = false;
    u_short NextEphemeralPort = kFirstEphemeralPort;
    std::vector<Socket> Sockets; // SOCKET s is Sockets[s - 1]
    mg_winsock::FaultInjector Injector;
    MgWinsockCounts Counts{};
};

State& The()
{
    static State state;
    return state;
}

thread_local int tLastError;

int Fail(int error)
{
    tLastError = error;
    return SOCKET_ERROR;
}

double Now()
{
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

Socket* Find(SOCKET s)
{
    State& state = The();
    if (s == 0 || s > state.Sockets.size() || !state.Sockets[s - 1].Used)
        return nullptr;
    return &state.Sockets[s - 1];
}

Socket* FindBound(u_long address, u_short port)
{
    for (Socket& socket : The().Sockets)
        if (socket.Used && socket.Bound && socket.Address == address && socket.Port == port)
            return &socket;
    return nullptr;
}

// Puts one datagram on the wire now.
void Transmit(Datagram& datagram)
{
    State& state = The();
    if (state.Memory) {
        Socket* target = FindBound(datagram.TargetAddress, datagram.TargetPort);
        if (target != nullptr && target->Inbox.size() < kMemoryQueueLimit)
            target->Inbox.push_back(std::move(datagram));
        return;
    }
    Socket* from = Find(datagram.From);
    if (from == nullptr || from->Fd < 0)
        return;
    mg_posix_udp::SendTo(from->Fd, datagram.Bytes.data(), static_cast<int>(datagram.Bytes.size()),
                         datagram.TargetAddress, datagram.TargetPort);
}

void TransmitAll(std::vector<Datagram>& due)
{
    for (Datagram& datagram : due)
        Transmit(datagram);
}

// A memory socket gets its port as a system socket would on first use.
bool BindMemory(Socket& socket, u_long address, u_short port)
{
    State& state = The();
    if (port == 0) {
        for (int tries = 0; tries < 16384; ++tries) {
            const u_short candidate = state.NextEphemeralPort;
            state.NextEphemeralPort = candidate == 65535 ? kFirstEphemeralPort : static_cast<u_short>(candidate + 1);
            if (FindBound(address, candidate) == nullptr) {
                port = candidate;
                break;
            }
        }
        if (port == 0)
            return Fail(WSAEADDRINUSE), false;
    } else if (FindBound(address, port) != nullptr) {
        return Fail(WSAEADDRINUSE), false;
    }
    socket.Bound = true;
    socket.Address = address;
    socket.Port = port;
    return true;
}

bool BindTo(Socket& socket, u_long address, u_short port)
{
    if (The().Memory)
        return BindMemory(socket, address, port);
    if (mg_posix_udp::Bind(socket.Fd, address, port) < 0)
        return Fail(mg_posix_udp::LastError()), false;
    if (port == 0 && mg_posix_udp::LocalPort(socket.Fd, &port) < 0)
        return Fail(mg_posix_udp::LastError()), false;
    socket.Bound = true;
    socket.Address = address;
    socket.Port = port;
    return true;
}

void ReleaseSocket(Socket& socket)
{
    if (socket.Fd >= 0)
        mg_posix_udp::Close(socket.Fd);
    socket = Socket();
}

} // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data)
{
    if (data == nullptr)
        return WSAEFAULT;
    const BYTE major = static_cast<BYTE>(versionRequested & 0xFF);
    const BYTE minor = static_cast<BYTE>(versionRequested >> 8);
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    memset(data, 0, sizeof *data);
    data->wVersion = major > 2 || (major == 2 && minor > 2) ? 0x0202 : versionRequested;
    data->wHighVersion = 0x0202;
    strcpy(data->szDescription, "UDP datagrams over the host's sockets");
    strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 1024;
    data->iMaxUdpDg = kLargestDatagram;
    ++The().Startups;
    return 0;
}

int WSACleanup()
{
    State& state = The();
    if (state.Startups == 0)
        return Fail(WSANOTINITIALISED);
    if (--state.Startups == 0)
        for (Socket& socket : state.Sockets)
            if (socket.Used)
                ReleaseSocket(socket);
    return 0;
}

int WSAGetLastError() { return tLastError; }
void WSASetLastError(int error) { tLastError = error; }

SOCKET socket(int af, int type, int protocol)
{
    State& state = The();
    if (state.Startups == 0)
        return Fail(WSANOTINITIALISED), INVALID_SOCKET;
    if (af != AF_INET)
        return Fail(WSAEAFNOSUPPORT), INVALID_SOCKET;
    if (type != SOCK_DGRAM || (protocol != 0 && protocol != IPPROTO_UDP))
        return Fail(WSAEINVAL), INVALID_SOCKET;
    Socket created;
    created.Used = true;
    if (!state.Memory) {
        created.Fd = mg_posix_udp::Open();
        if (created.Fd < 0)
            return Fail(mg_posix_udp::LastError()), INVALID_SOCKET;
    }
    for (size_t i = 0; i < state.Sockets.size(); ++i)
        if (!state.Sockets[i].Used) {
            state.Sockets[i] = std::move(created);
            return static_cast<SOCKET>(i + 1);
        }
    state.Sockets.push_back(std::move(created));
    return static_cast<SOCKET>(state.Sockets.size());
}

int bind(SOCKET s, const struct sockaddr* name, int namelen)
{
    Socket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (name == nullptr || namelen < static_cast<int>(sizeof(sockaddr_in)))
        return Fail(WSAEFAULT);
    if (socket->Bound)
        return Fail(WSAEINVAL);
    sockaddr_in address;
    memcpy(&address, name, sizeof address);
    if (address.sin_family != AF_INET)
        return Fail(WSAEAFNOSUPPORT);
    // "Any address" means the configured one: engines on one machine share the port.
    u_long local = address.sin_addr.s_addr;
    if (local == INADDR_ANY)
        local = The().BindAddress;
    return BindTo(*socket, local, ntohs(address.sin_port)) ? 0 : SOCKET_ERROR;
}

int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen)
{
    Socket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (level != SOL_SOCKET || optname != SO_BROADCAST)
        return Fail(WSAEINVAL);
    if (optval == nullptr || optlen < 1)
        return Fail(WSAEFAULT);
    BOOL value = 0;
    memcpy(&value, optval, std::min<size_t>(sizeof value, static_cast<size_t>(optlen)));
    socket->Broadcast = value != 0;
    return 0;
}

int ioctlsocket(SOCKET s, long cmd, u_long* argp)
{
    Socket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (cmd != FIONBIO)
        return Fail(WSAEINVAL);
    if (argp == nullptr)
        return Fail(WSAEFAULT);
    socket->NonBlocking = *argp != 0;
    if (socket->Fd >= 0 && mg_posix_udp::SetNonBlocking(socket->Fd, socket->NonBlocking) < 0)
        return Fail(mg_posix_udp::LastError());
    return 0;
}

int sendto(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to, int tolen)
{
    MgWinsockPump();
    State& state = The();
    Socket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (flags != 0)
        return Fail(WSAEINVAL);
    if (len < 0 || (len > 0 && buf == nullptr) || to == nullptr || tolen < static_cast<int>(sizeof(sockaddr_in)))
        return Fail(WSAEFAULT);
    if (len > kLargestDatagram)
        return Fail(WSAEMSGSIZE);
    sockaddr_in target;
    memcpy(&target, to, sizeof target);
    if (target.sin_family != AF_INET)
        return Fail(WSAEAFNOSUPPORT);
    // An unbound socket is bound on first send, as the system does.
    if (!socket->Bound && !BindTo(*socket, state.BindAddress, 0))
        return SOCKET_ERROR;

    std::vector<u_long> targets;
    if (target.sin_addr.s_addr == INADDR_BROADCAST) {
        if (!socket->Broadcast)
            return Fail(WSAEACCES);
        // Broadcast stays on the machine: the sender hears itself, and each listed peer once.
        targets.push_back(socket->Address);
        for (u_long peer : state.Peers)
            if (std::find(targets.begin(), targets.end(), peer) == targets.end())
                targets.push_back(peer);
    } else {
        targets.push_back(target.sin_addr.s_addr);
    }

    const double now = state.Injector.Active() ? Now() : 0.0;
    for (u_long address : targets) {
        Datagram datagram{
            std::vector<char>(buf, buf + len), s, socket->Address, socket->Port, address, ntohs(target.sin_port)};
        ++state.Counts.sent;
        if (state.Injector.Active())
            state.Injector.Submit(std::move(datagram), now, state.Counts);
        else
            Transmit(datagram);
    }
    MgWinsockPump();
    return len;
}

int recvfrom(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen)
{
    MgWinsockPump();
    Socket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (flags != 0)
        return Fail(WSAEINVAL);
    if (len < 0 || (len > 0 && buf == nullptr))
        return Fail(WSAEFAULT);
    if (from != nullptr && (fromlen == nullptr || *fromlen < static_cast<int>(sizeof(sockaddr_in))))
        return Fail(WSAEFAULT);
    if (!socket->Bound)
        return Fail(WSAEINVAL);

    u_long sourceAddress = 0;
    u_short sourcePort = 0;
    int size = 0;
    if (socket->Fd >= 0) {
        uint32_t address = 0;
        size = mg_posix_udp::RecvFrom(socket->Fd, buf, len, &address, &sourcePort);
        if (size < 0)
            return Fail(mg_posix_udp::LastError());
        sourceAddress = address;
    } else {
        // Memory sockets never block: an empty queue reads as "nothing waiting".
        if (socket->Inbox.empty())
            return Fail(WSAEWOULDBLOCK);
        Datagram datagram = std::move(socket->Inbox.front());
        socket->Inbox.pop_front();
        size = static_cast<int>(datagram.Bytes.size());
        if (size > 0 && len > 0)
            memcpy(buf, datagram.Bytes.data(), static_cast<size_t>(std::min(size, len)));
        sourceAddress = datagram.SourceAddress;
        sourcePort = datagram.SourcePort;
    }
    if (from != nullptr) {
        sockaddr_in source;
        memset(&source, 0, sizeof source);
        source.sin_family = AF_INET;
        source.sin_port = htons(sourcePort);
        source.sin_addr.s_addr = sourceAddress;
        memcpy(from, &source, sizeof source);
        *fromlen = sizeof source;
    }
    if (size > len)
        return Fail(WSAEMSGSIZE);
    return size;
}

int closesocket(SOCKET s)
{
    Socket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    ReleaseSocket(*socket);
    return 0;
}

u_long inet_addr(const char* text)
{
    if (text == nullptr)
        return INADDR_NONE;
    u_long parts[4];
    int count = 0;
    const char* p = text;
    while (count < 4) {
        if (*p < '0' || *p > '9')
            return INADDR_NONE;
        u_long value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<u_long>(*p++ - '0');
            if (++digits > 3 || value > 255)
                return INADDR_NONE;
        }
        parts[count++] = value;
        if (count < 4) {
            if (*p != '.')
                return INADDR_NONE;
            ++p;
        }
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p != '\0')
        return INADDR_NONE;
    return parts[0] | parts[1] << 8 | parts[2] << 16 | parts[3] << 24;
}

u_short htons(u_short value) { return static_cast<u_short>(value << 8 | value >> 8); }
u_short ntohs(u_short value) { return htons(value); }
u_long htonl(u_long value)
{
    return (value & 0xFF) << 24 | (value & 0xFF00) << 8 | (value >> 8 & 0xFF00) | (value >> 24 & 0xFF);
}
u_long ntohl(u_long value) { return htonl(value); }

void MgWinsockSetBindAddress(u_long address) { The().BindAddress = address; }
u_long MgWinsockBindAddress() { return The().BindAddress; }

void MgWinsockSetBroadcastPeers(const u_long* addresses, int count)
{
    The().Peers.assign(addresses, addresses + std::max(count, 0));
}

void MgWinsockUseMemoryNetwork(bool on) { The().Memory = on; }

void MgWinsockSetFaults(const MgWinsockFaults* faults)
{
    State& state = The();
    std::vector<Datagram> held;
    state.Injector.TakeAll(held);
    state.Injector.Configure(faults);
    TransmitAll(held);
}

void MgWinsockGetCounts(MgWinsockCounts* counts) { *counts = The().Counts; }
void MgWinsockResetCounts() { The().Counts = MgWinsockCounts{}; }

void MgWinsockPump()
{
    State& state = The();
    if (!state.Injector.Active())
        return;
    std::vector<Datagram> due;
    state.Injector.TakeDue(Now(), due);
    TransmitAll(due);
}

bool MgWinsockLocalAddress(SOCKET s, u_long* address, u_short* port)
{
    Socket* socket = Find(s);
    if (socket == nullptr || !socket->Bound)
        return false;
    *address = socket->Address;
    *port = socket->Port;
    return true;
}
