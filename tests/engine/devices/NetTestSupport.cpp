#include "NetTestSupport.h"

#include "engine/devices/CPacket.h"
#include "engine/object/GObject.h"

std::vector<BYTE> MakePacket(int id, bool control, int length, int sequence, int ack, int run, int delay)
{
    const DWORD fields = static_cast<DWORD>(length & 0xFFFF) | static_cast<DWORD>(sequence & 0x3F) << 16 |
                         static_cast<DWORD>(ack & 0x3F) << 22 | static_cast<DWORD>(run & 0xF) << 28;
    return {static_cast<BYTE>(id),
            0,
            0,
            0,
            static_cast<BYTE>(control ? 1 : 0),
            static_cast<BYTE>(fields),
            static_cast<BYTE>(fields >> 8),
            static_cast<BYTE>(fields >> 16),
            static_cast<BYTE>(fields >> 24),
            static_cast<BYTE>(delay),
            static_cast<BYTE>(delay >> 8),
            0,
            0};
}

Wire::Wire(u_long address, u_short port)
{
    MgWinsockSetBindAddress(address);
    m_Socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in name = {};
    name.sin_family = AF_INET;
    name.sin_port = htons(port);
    EXPECT_EQ(bind(m_Socket, reinterpret_cast<sockaddr*>(&name), sizeof name), 0);
    BOOL on = TRUE;
    setsockopt(m_Socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on), sizeof on);
}

Wire::~Wire() { closesocket(m_Socket); }

void Wire::Send(const std::vector<BYTE>& bytes, u_long to, u_short port)
{
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = to;
    sendto(m_Socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
           reinterpret_cast<sockaddr*>(&target), sizeof target);
}

void Wire::SendData(int id, int sequence, int ack, int run, const std::string& payload, u_long to)
{
    std::vector<BYTE> bytes = MakePacket(id, false, 13 + static_cast<int>(payload.size()), sequence, ack, run);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    Send(bytes, to);
}

void Wire::SendControl(int id, int type, u_long to, int ack, int run)
{
    Send(MakePacket(id, true, 13, type, ack, run), to);
}

std::vector<WirePacket> Wire::Take()
{
    std::vector<WirePacket> got;
    for (;;) {
        BYTE buffer[600];
        sockaddr_in from;
        int length = sizeof from;
        const int n = recvfrom(m_Socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                               reinterpret_cast<sockaddr*>(&from), &length);
        if (n == SOCKET_ERROR)
            return got;
        got.push_back(WirePacket{std::vector<BYTE>(buffer, buffer + n), from.sin_addr.s_addr});
    }
}

void NetTest::SetUp()
{
    // Endpoints built while the registry still builds its prototypes stay inert.
    static const bool prototypesBuilt = (GObject::InitEditableInfo(), true);
    (void)prototypesBuilt;
    WSADATA data;
    WSAStartup(0x0101, &data);
    MgWinsockUseMemoryNetwork(true);
    MgWinsockSetFaults(nullptr);
    const u_long peers[] = {kHostA, kHostB};
    MgWinsockSetBroadcastPeers(peers, 2);
    MgUseVirtualClock(1000 * MG_PERF_FREQUENCY);
}

void NetTest::TearDown()
{
    MgWinsockSetFaults(nullptr);
    WSACleanup();
    MgWinsockUseMemoryNetwork(false);
    MgUseRealClock();
}

void NetTest::Advance(double seconds) { MgAdvanceVirtualClock(static_cast<LONGLONG>(seconds * MG_PERF_FREQUENCY)); }

std::unique_ptr<CNetwork> NetTest::MakeEndpoint(u_long address)
{
    Advance(0.001);
    MgWinsockSetBindAddress(address);
    return std::make_unique<CNetwork>(kNetPort);
}

CRemoteConnection* NetTest::ConnectToWire(CNetwork& endpoint, Wire& peer)
{
    EXPECT_EQ(endpoint.IPAddress(), kHostA);
    endpoint.ConnectTo(kHostB);
    std::vector<WirePacket> request = peer.Take();
    EXPECT_EQ(request.size(), 1u);
    if (request.empty())
        return nullptr;
    EXPECT_TRUE(request[0].Control());
    EXPECT_EQ(request[0].Sequence(), PacketLimits::kConnect);
    peer.SendControl(request[0].Id(), PacketLimits::kConnect);
    CRemoteConnection* connection = endpoint.Process();
    EXPECT_NE(connection, nullptr);
    if (connection == nullptr)
        return nullptr;
    EXPECT_EQ(connection->Status(), CRemoteConnection::LIVE);
    connection->Expiring(0);
    return connection;
}
