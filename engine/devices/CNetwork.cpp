#include "engine/devices/CNetwork.h"

#include <stdio.h>
#include <string.h>

#include "core/names/CCRC32.h"
#include "core/output/ZOutput.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GObject.h"

using namespace PacketLimits;

namespace {
// Datagrams read in one Process at most, so that a flood cannot hold up a frame.
const int kDatagramsPerProcess = 1024;
} // namespace

CNetwork::CNetwork(int port)
    : m_Socket(INVALID_SOCKET), m_pSocketAddress(nullptr), m_OwnAddress(0), m_pReceiveBuffer(nullptr), m_bAccept(false),
      m_ReceiveCursor(0), m_NextId(0), m_Now(0), m_ProvisionalAddress(0), m_bBound(false),
      m_bInert(GObject::EditableEvaluation != 0), m_DroppedDatagrams(0)
{
    memset(m_Connections, 0, sizeof m_Connections);
    m_OwnAddressText[0] = '\0';
    if (m_bInert)
        return;
    PlatformNetworkInit();
    m_pSocketAddress = new sockaddr_in;
    memset(m_pSocketAddress, 0, sizeof *m_pSocketAddress);
    m_pSocketAddress->sin_family = AF_INET;
    m_pSocketAddress->sin_addr.s_addr = INADDR_ANY;
    CreateSocket(port);
    m_pReceiveBuffer = new CPacket(0, 0);
    RefreshClock();

    // The clock's bytes seed both the connection ids and the announce's random id; the
    // announce comes back to this endpoint, which so learns the address it is seen at.
    const DWORD random = static_cast<DWORD>(CCRC32::GetCRC(&m_Now, sizeof m_Now));
    m_NextId = static_cast<BYTE>(random & 0x7F);
    m_ProvisionalAddress = random;
    SetAddress(random);
    CPacket announce(kAnnounce, -1);
    announce.Append(&random, sizeof random);
    SendPacket(&announce, INADDR_BROADCAST, 0);
    Process();
}

CNetwork::~CNetwork()
{
    if (m_bInert)
        return;
    for (CRemoteConnection*& connection : m_Connections) {
        delete connection;
        connection = nullptr;
    }
    if (m_Socket != INVALID_SOCKET)
        closesocket(m_Socket);
    delete m_pSocketAddress;
    delete m_pReceiveBuffer;
    WSACleanup();
}

bool CNetwork::PlatformNetworkInit()
{
    WSADATA data;
    WSAStartup(0x0101, &data);
    return false;
}

void CNetwork::CreateSocket(int port)
{
    m_pSocketAddress->sin_port = htons(static_cast<u_short>(port));
    m_Socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    m_bBound = m_Socket != INVALID_SOCKET &&
               bind(m_Socket, reinterpret_cast<const sockaddr*>(m_pSocketAddress), sizeof *m_pSocketAddress) == 0;
    if (!m_bBound) {
        char text[64];
        snprintf(text, sizeof text, "Network : Cannot bind port %d (error %d).\n", port, WSAGetLastError());
        _puts(text);
        return;
    }
    const BOOL on = TRUE;
    setsockopt(m_Socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    u_long nonBlocking = 1;
    ioctlsocket(m_Socket, FIONBIO, &nonBlocking);
}

void CNetwork::SetPort(int port)
{
    if (m_bInert)
        return;
    if (m_Socket != INVALID_SOCKET)
        closesocket(m_Socket);
    CreateSocket(port);
}

void CNetwork::SetAddress(DWORD address)
{
    m_OwnAddress = address;
    const BYTE* octets = reinterpret_cast<const BYTE*>(&address);
    snprintf(m_OwnAddressText, sizeof m_OwnAddressText, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
}

void CNetwork::RefreshClock()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    double secondsPerTick = CGameTimer::SecsPerTick;
    if (secondsPerTick == 0) {
        // No game timer yet: the counter's own rate.
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        secondsPerTick = 1.0 / static_cast<double>(frequency.QuadPart);
    }
    m_Now = static_cast<double>(count.QuadPart - CGameTimer::SysTicks) * secondsPerTick;
}

void CNetwork::ConnectTo(const char* address)
{
    DWORD value = 0;
    if (address != nullptr && address[0] != '\0') {
        value = inet_addr(address);
        // Not an address: connecting to the broadcast address it reads as would reach every peer.
        if (value == INADDR_NONE) {
            _puts("Network : Not an address to connect to.\n");
            return;
        }
    }
    ConnectTo(value);
}

void CNetwork::ConnectTo(DWORD address)
{
    if (m_bInert || m_OwnAddress == m_ProvisionalAddress)
        return;
    int freeSlot = -1;
    for (int i = kMaxConnections - 1; i >= 0; --i)
        if (m_Connections[i] == nullptr)
            freeSlot = i;
    if (freeSlot < 0)
        return;
    ++m_NextId;
    if (address == 0) {
        CPacket request(kConnect, -1);
        SendPacket(&request, INADDR_BROADCAST, m_NextId & 0x7F);
        m_bAccept = true;
        return;
    }
    for (CRemoteConnection* connection : m_Connections)
        if (connection != nullptr && connection->IPAddress() == address)
            connection->Die();
    CRemoteConnection* connection = new CRemoteConnection(this, address, m_NextId & 0x7F);
    m_Connections[freeSlot] = connection;
    connection->Connect();
}

CRemoteConnection* CNetwork::NewConnection(DWORD address, int id)
{
    if (!m_bAccept)
        return nullptr;
    int freeSlot = -1;
    for (int i = kMaxConnections - 1; i >= 0; --i)
        if (m_Connections[i] == nullptr)
            freeSlot = i;
    if (freeSlot < 0)
        return nullptr;
    CRemoteConnection* existing = GetConnection(address, 128);
    if (existing != nullptr) {
        if (id < existing->ID())
            return nullptr;
        existing->Die();
    }
    m_Connections[freeSlot] = new CRemoteConnection(this, address, id);
    return m_Connections[freeSlot];
}

void CNetwork::Send(const void* data, int length, bool all)
{
    for (CRemoteConnection* connection : m_Connections)
        if (connection != nullptr && connection->Status() == CRemoteConnection::LIVE &&
            (all || !connection->Expiring(1234)))
            connection->Send(data, length);
}

BYTE* CNetwork::Receive(int& length)
{
    for (int i = m_ReceiveCursor; i < kMaxConnections; ++i) {
        CRemoteConnection* connection = m_Connections[i];
        if (connection == nullptr)
            continue;
        // Packets without messages are consumed on the way to the next payload.
        while (connection->m_In[connection->m_NextToDeliver].pPacket != nullptr) {
            BYTE* payload = connection->Receive(length);
            if (payload != nullptr) {
                m_ReceiveCursor = i;
                return payload;
            }
        }
    }
    m_ReceiveCursor = 0;
    length = 0;
    return nullptr;
}

void CNetwork::Drain()
{
    if (m_bInert || !m_bBound)
        return;
    for (int i = 0; i < kDatagramsPerProcess * 16; ++i) {
        sockaddr_in from;
        int fromLength = sizeof from;
        if (recvfrom(m_Socket, reinterpret_cast<char*>(m_pReceiveBuffer), kMax, 0, reinterpret_cast<sockaddr*>(&from),
                     &fromLength) == SOCKET_ERROR &&
            WSAGetLastError() != WSAEMSGSIZE)
            break;
    }
}

void CNetwork::Flush()
{
    for (CRemoteConnection* connection : m_Connections)
        if (connection != nullptr)
            connection->Flush();
    Drain();
}

void CNetwork::Remove(int slot)
{
    CRemoteConnection* connection = m_Connections[slot];
    connection->SendControl(kDisconnect);
    m_Connections[slot] = nullptr;
    delete connection;
}

void CNetwork::Reset()
{
    for (int i = 0; i < kMaxConnections; ++i)
        if (m_Connections[i] != nullptr)
            Remove(i);
    Drain();
}

void CNetwork::KillConnection(const char* address)
{
    const DWORD value = address != nullptr ? inet_addr(address) : INADDR_NONE;
    for (int i = 0; i < kMaxConnections; ++i)
        if (m_Connections[i] != nullptr && m_Connections[i]->IPAddress() == value)
            Remove(i);
}

void CNetwork::KillConnection(CRemoteConnection* connection)
{
    const int slot = GetiConnection(connection);
    if (slot >= 0)
        Remove(slot);
}

void CNetwork::KillConnections()
{
    for (CRemoteConnection* connection : m_Connections)
        if (connection != nullptr) {
            connection->SendControl(kDisconnect);
            connection->Die();
        }
}

void CNetwork::FreeDeadConnections()
{
    for (int i = 0; i < kMaxConnections; ++i)
        if (m_Connections[i] != nullptr && m_Connections[i]->Status() == CRemoteConnection::DEAD)
            Remove(i);
}

CRemoteConnection* CNetwork::GetConnection(DWORD address, int id)
{
    for (CRemoteConnection* connection : m_Connections)
        if (connection != nullptr && connection->IPAddress() == address &&
            connection->Status() != CRemoteConnection::DEAD && (id >= 128 || connection->ID() == id))
            return connection;
    return nullptr;
}

int CNetwork::GetiConnection(CRemoteConnection* connection)
{
    for (int i = 0; i < kMaxConnections; ++i)
        if (connection != nullptr && m_Connections[i] == connection)
            return i;
    return -1;
}

CRemoteConnection* CNetwork::GetNextConnection(CRemoteConnection* connection)
{
    int i = connection == nullptr ? 0 : GetiConnection(connection) + 1;
    if (connection != nullptr && i == 0)
        return nullptr;
    for (; i < kMaxConnections; ++i)
        if (m_Connections[i] != nullptr)
            return m_Connections[i];
    return nullptr;
}

int CNetwork::Lagged()
{
    int count = 0;
    for (CRemoteConnection* connection : m_Connections)
        if (connection != nullptr && connection->Status() == CRemoteConnection::LAGGED)
            ++count;
    return count;
}

void CNetwork::SendPacket(CPacket* packet, DWORD address, int id)
{
    packet->SetConnectionId(id);
    if (packet->Length() > kMax)
        vbail("Network : Packet too large.\n");
    sockaddr_in target = *m_pSocketAddress;
    target.sin_addr.s_addr = address;
    sendto(m_Socket, reinterpret_cast<const char*>(packet), packet->Length(), 0,
           reinterpret_cast<const sockaddr*>(&target), sizeof target);
}

CRemoteConnection* CNetwork::Dispatch(int size, DWORD source)
{
    if (CPacket::Validate(m_pReceiveBuffer, size) != PACKET_OK) {
        ++m_DroppedDatagrams;
        return nullptr;
    }
    CPacket* packet = m_pReceiveBuffer;
    const bool known = m_OwnAddress != m_ProvisionalAddress;
    if (packet->IsControl() && packet->Type() == kAnnounce) {
        // Only this endpoint's own announce names its address: a peer's may come first.
        DWORD id;
        memcpy(&id, packet->Payload(), sizeof id);
        if (!known && id == m_ProvisionalAddress)
            SetAddress(source);
        return nullptr;
    }
    if (!known || source == m_OwnAddress)
        return nullptr;

    CRemoteConnection* connection = GetConnection(source, packet->ConnectionId());
    if (packet->IsControl() && packet->Type() == kConnect && connection == nullptr) {
        CRemoteConnection* created = NewConnection(source, packet->ConnectionId());
        if (created != nullptr) {
            if (created->m_ConnectAttempts >= 4)
                created->Die();
            else
                created->Connect();
        }
        return nullptr;
    }
    if (packet->IsControl() && packet->Type() == kDisconnect) {
        if (connection != nullptr)
            connection->Die();
        return nullptr;
    }
    if (connection == nullptr) {
        ++m_DroppedDatagrams;
        return nullptr;
    }
    // The connection keeps the packet; the next datagram needs a buffer of its own.
    m_pReceiveBuffer = new CPacket(0, 0);
    return connection->ReceivePacket(packet) ? connection : nullptr;
}

CRemoteConnection* CNetwork::Process()
{
    if (m_bInert)
        return nullptr;
    RefreshClock();
    if (m_OwnAddress != m_ProvisionalAddress)
        for (CRemoteConnection* connection : m_Connections)
            if (connection != nullptr && connection->Process())
                return connection;
    if (!m_bBound)
        return nullptr;
    for (int i = 0; i < kDatagramsPerProcess; ++i) {
        sockaddr_in from;
        int fromLength = sizeof from;
        const int size = recvfrom(m_Socket, reinterpret_cast<char*>(m_pReceiveBuffer), kMax, 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size == SOCKET_ERROR) {
            // Longer than any packet: counted and skipped, the next may be fine.
            if (WSAGetLastError() == WSAEMSGSIZE) {
                ++m_DroppedDatagrams;
                continue;
            }
            break;
        }
        CRemoteConnection* live = Dispatch(size, from.sin_addr.s_addr);
        if (live != nullptr)
            return live;
    }
    return nullptr;
}
