// The endpoint: learning its own address, the handshake both ways and to "any", giving up,
// which connect requests replace a connection, round-robin receive and the kill operations.
#include "NetTestSupport.h"
#include "engine/devices/CPacket.h"

namespace {

using namespace PacketLimits;
using Network = NetTest;

// Runs both endpoints' frames until each has returned a connection (or time runs out).
void Handshake(CNetwork& a, CNetwork& b, CRemoteConnection*& atA, CRemoteConnection*& atB)
{
    for (int frame = 0; frame < 100 && (atA == nullptr || atB == nullptr); ++frame) {
        NetTest::Advance(0.02);
        if (CRemoteConnection* c = a.Process())
            atA = c;
        if (CRemoteConnection* c = b.Process())
            atB = c;
    }
}

TEST_F(Network, TwoEndpointsLearnTheirAddressesAndShakeHandsBothWays)
{
    for (bool fromB : {false, true}) {
        std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
        std::unique_ptr<CNetwork> b = MakeEndpoint(kHostB);
        EXPECT_STREQ(a->IPAddressString(), "127.0.0.1");
        EXPECT_STREQ(b->IPAddressString(), "127.0.0.2");
        CNetwork& caller = fromB ? *b : *a;
        CNetwork& callee = fromB ? *a : *b;
        callee.AcceptConnections(true);
        caller.ConnectTo(fromB ? "127.0.0.1" : "127.0.0.2");
        CRemoteConnection* atCaller = nullptr;
        CRemoteConnection* atCallee = nullptr;
        Handshake(caller, callee, atCaller, atCallee);
        ASSERT_NE(atCaller, nullptr);
        ASSERT_NE(atCallee, nullptr);
        EXPECT_EQ(atCaller->Status(), CRemoteConnection::LIVE);
        EXPECT_EQ(atCallee->Status(), CRemoteConnection::LIVE);
        EXPECT_EQ(atCaller->ID(), atCallee->ID());
        EXPECT_EQ(atCaller->IPAddress(), callee.IPAddress());
        EXPECT_STREQ(atCallee->IPAddressString(), caller.IPAddressString());

        // Messages go only to connections the host has taken on (not expiring), unless all.
        caller.Send("first", 5, false);
        atCaller->Expiring(0);
        EXPECT_EQ(atCaller->Expiring(1234), 0);
        caller.Send("second", 6, false);
        atCaller->Flush();
        callee.Process();
        int length;
        BYTE* payload = callee.Receive(length);
        ASSERT_NE(payload, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(payload), length), "second");
        EXPECT_EQ(callee.ReceivingFrom(), atCallee);
        EXPECT_EQ(callee.Receive(length), nullptr);
        EXPECT_EQ(length, 0);
    }
}

TEST_F(Network, ConnectingToAnyReachesEveryAcceptingPeer)
{
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    std::unique_ptr<CNetwork> b = MakeEndpoint(kHostB);
    b->AcceptConnections(true);
    a->ConnectTo("");
    CRemoteConnection* atA = nullptr;
    CRemoteConnection* atB = nullptr;
    Handshake(*a, *b, atA, atB);
    ASSERT_NE(atA, nullptr);
    ASSERT_NE(atB, nullptr);
    EXPECT_EQ(atA->IPAddress(), kHostB);
    EXPECT_EQ(atB->IPAddress(), kHostA);
}

TEST_F(Network, AnUnansweredConnectGivesUpAfterFourAttempts)
{
    Wire silent(kHostB);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    a->ConnectTo("127.0.0.2");
    a->ConnectTo("not an address"); // refused: it would read as the broadcast address
    CRemoteConnection* given = nullptr;
    double waited = 0;
    while (given == nullptr && waited < 5) {
        NetTest::Advance(0.05);
        waited += 0.05;
        given = a->Process();
    }
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(given->Status(), CRemoteConnection::DEAD);
    EXPECT_NEAR(waited, 2.2, 0.11); // four requests over 0.5 s apart, then one more interval
    int requests = 0;
    for (const WirePacket& packet : silent.Take())
        requests += packet.Control() && packet.Sequence() == kConnect;
    EXPECT_EQ(requests, 4);
    EXPECT_EQ(a->GetNextConnection(given), nullptr);
    a->FreeDeadConnections();
    EXPECT_EQ(a->GetNextConnection(nullptr), nullptr);
}

// Each endpoint learns its address from its own announce only: a peer's, heard first, does not
// count, and neither does its own id from a foreign port being absent.
TEST_F(Network, OnlyTheEndpointsOwnAnnounceNamesItsAddress)
{
    const MgWinsockFaults lost = {1, 1.0, 0, 0, 0, 0, 0};
    MgWinsockSetFaults(&lost); // the endpoint's own announce is lost
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    MgWinsockSetFaults(nullptr);
    const DWORD provisional = a->IPAddress();
    EXPECT_NE(provisional, kHostA);

    Wire other(kHostB);
    std::vector<BYTE> announce = MakePacket(0, true, 17, kAnnounce, 0x3F, 0);
    const DWORD foreignId = provisional ^ 0x5A5A5A5A;
    announce.insert(announce.end(), reinterpret_cast<const BYTE*>(&foreignId),
                    reinterpret_cast<const BYTE*>(&foreignId) + 4);
    other.Send(announce, kHostA);
    a->Process();
    EXPECT_EQ(a->IPAddress(), provisional);
    a->ConnectTo("127.0.0.2"); // nothing before the address is known
    EXPECT_EQ(a->GetNextConnection(nullptr), nullptr);

    // Its own id, as the broadcast brings it back: from its own address (another port here).
    Wire echo(kHostA, kNetPort + 1);
    memcpy(announce.data() + 13, &provisional, 4);
    echo.Send(announce, kHostA);
    a->Process();
    EXPECT_EQ(a->IPAddress(), kHostA);
    EXPECT_STREQ(a->IPAddressString(), "127.0.0.1");
}

// A second request from an address with a lower id is ignored; a higher one replaces the
// connection. GetConnection with an id of 128 or more matches any id.
TEST_F(Network, ConnectRequestsWithLowerIdsAreIgnoredAndHigherOnesReplace)
{
    Wire peer(kHostB);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    peer.Take();
    peer.SendControl(10, kConnect);
    a->Process();
    EXPECT_EQ(a->GetNextConnection(nullptr), nullptr); // not accepting
    a->AcceptConnections(true);
    peer.SendControl(10, kConnect);
    a->Process();
    CRemoteConnection* first = a->GetConnection(kHostB, 200);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ID(), 10);
    std::vector<WirePacket> answer = peer.Take();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].Id(), 10);
    EXPECT_EQ(answer[0].Sequence(), kConnect);

    peer.SendControl(5, kConnect);
    a->Process();
    EXPECT_EQ(a->GetConnection(kHostB, 200), first);
    EXPECT_EQ(a->GetConnection(kHostB, 5), nullptr);
    peer.SendControl(12, kConnect);
    a->Process();
    EXPECT_EQ(first->Status(), CRemoteConnection::DEAD);
    CRemoteConnection* second = a->GetConnection(kHostB, 200);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->ID(), 12);
    EXPECT_EQ(a->GetiConnection(second), 1);
    EXPECT_EQ(a->GetConnection(kHostB, 12), second);
    EXPECT_EQ(a->GetConnection(kHostB, 11), nullptr);
}

// Receive gives the first peer's payloads until it has none, then the second's.
TEST_F(Network, ReceiveTakesPeersInSlotOrder)
{
    Wire b(kHostB);
    Wire c(kHostC);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    a->AcceptConnections(true);
    b.SendControl(1, kConnect);
    c.SendControl(2, kConnect);
    a->Process();
    b.SendData(1, 1, 0, 0, "b1");
    c.SendData(2, 1, 0, 0, "c1");
    b.SendData(1, 2, 0, 0, "");
    b.SendData(1, 3, 0, 0, "b2");
    c.SendData(2, 2, 0, 0, "c2");
    for (int i = 0; i < 4; ++i)
        a->Process(); // each connection becoming live ends one Process
    std::vector<std::string> got;
    std::vector<DWORD> from;
    int length;
    while (BYTE* payload = a->Receive(length)) {
        got.emplace_back(reinterpret_cast<char*>(payload), length);
        from.push_back(a->ReceivingFrom()->IPAddress());
    }
    EXPECT_EQ(got, (std::vector<std::string>{"b1", "b2", "c1", "c2"}));
    EXPECT_EQ(from, (std::vector<DWORD>{kHostB, kHostB, kHostC, kHostC}));
}

TEST_F(Network, KillOperationsSayGoodbyeAndFree)
{
    Wire b(kHostB);
    Wire c(kHostC);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    a->AcceptConnections(true);
    b.SendControl(1, kConnect);
    c.SendControl(2, kConnect);
    a->Process();
    b.Take();
    c.Take();
    auto disconnects = [](Wire& wire) {
        int count = 0;
        for (const WirePacket& packet : wire.Take())
            count += packet.Control() && packet.Sequence() == kDisconnect;
        return count;
    };

    a->KillConnections();
    EXPECT_EQ(disconnects(b), 1);
    EXPECT_EQ(disconnects(c), 1);
    ASSERT_NE(a->GetNextConnection(nullptr), nullptr); // dead, still held
    // A dead connection answers nothing but disconnects; freed, it is gone.
    NetTest::Advance(0.2);
    a->Process();
    EXPECT_TRUE(b.Take().empty());
    a->FreeDeadConnections();
    EXPECT_EQ(disconnects(b), 1);
    EXPECT_EQ(a->GetNextConnection(nullptr), nullptr);

    b.SendControl(3, kConnect);
    c.SendControl(4, kConnect);
    a->Process();
    b.Take();
    c.Take();
    a->KillConnection("127.0.0.3");
    EXPECT_EQ(disconnects(c), 1);
    EXPECT_EQ(disconnects(b), 0);
    a->Reset();
    EXPECT_EQ(disconnects(b), 1);
    EXPECT_EQ(a->GetNextConnection(nullptr), nullptr);
}

// A connection the host has not taken on goes once no data came for a second.
TEST_F(Network, AnExpiringConnectionWithoutDataGoesAfterASecond)
{
    Wire b(kHostB);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    a->AcceptConnections(true);
    b.SendControl(1, kConnect);
    a->Process();
    b.SendData(1, 1, 0, 0, "x");
    a->Process();
    ASSERT_NE(a->GetConnection(kHostB, 1), nullptr);
    for (int i = 0; i < 9; ++i) {
        NetTest::Advance(0.1);
        a->Process();
        b.SendData(1, (2 + i) & 63, 0, 0, ""); // header-only packets are not data
    }
    EXPECT_NE(a->GetConnection(kHostB, 1), nullptr);
    NetTest::Advance(0.2);
    a->Process();
    EXPECT_EQ(a->GetConnection(kHostB, 1), nullptr);
    bool saidGoodbye = false;
    for (const WirePacket& packet : b.Take())
        saidGoodbye |= packet.Control() && packet.Sequence() == kDisconnect;
    EXPECT_TRUE(saidGoodbye);
}

} // namespace
