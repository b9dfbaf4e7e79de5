// A connection against a peer played by hand: acknowledgements, resends, lag and death, the
// window wrapping past 64, the outstanding limit, and the message size limits.
#include <unistd.h>

#include <utility>

#include "NetTestSupport.h"
#include "engine/devices/CPacket.h"

namespace {

using namespace PacketLimits;

class RemoteConnection : public NetTest {
protected:
    void SetUp() override
    {
        NetTest::SetUp();
        m_Peer = std::make_unique<Wire>(kHostB);
        m_A = MakeEndpoint(kHostA);
        m_Peer->Take();
        m_C = ConnectToWire(*m_A, *m_Peer);
        ASSERT_NE(m_C, nullptr);
        m_Id = m_C->ID();
    }
    void TearDown() override
    {
        m_A.reset();
        m_Peer.reset();
        NetTest::TearDown();
    }
    // The acknowledgement the endpoint's next packet carries.
    std::pair<int, int> NextAck()
    {
        m_C->Flush();
        std::vector<WirePacket> sent = m_Peer->Take();
        EXPECT_EQ(sent.size(), 1u);
        return sent.empty() ? std::make_pair(-1, -1) : std::make_pair(sent.back().Ack(), sent.back().Run());
    }
    // The peer's next data packet, acknowledging the endpoint's packets.
    void PeerAcks(int ack, int run, const std::string& payload = "")
    {
        m_Peer->SendData(m_Id, m_PeerSequence, ack, run, payload);
        m_PeerSequence = (m_PeerSequence + 1) & 63;
        m_A->Process();
    }
    std::vector<std::string> ReceiveAll()
    {
        std::vector<std::string> got;
        int length;
        while (BYTE* payload = m_A->Receive(length))
            got.emplace_back(reinterpret_cast<char*>(payload), length);
        return got;
    }
    // Sends one packet with a message; returns its sequence.
    int SendPacket(const std::string& message = "m")
    {
        m_C->Send(message.data(), static_cast<int>(message.size()));
        m_C->Flush();
        std::vector<WirePacket> sent = m_Peer->Take();
        EXPECT_EQ(sent.size(), 1u);
        return sent.empty() ? -1 : sent.back().Sequence();
    }

    std::unique_ptr<Wire> m_Peer;
    std::unique_ptr<CNetwork> m_A;
    CRemoteConnection* m_C = nullptr;
    int m_Id = 0;
    int m_PeerSequence = 1;
};

// Packets 5, 6, 7 arrive after 3 with 4 lost: delivery stops after 3, and the acknowledgements
// alternate between the run 5-7 and the last packet in order until 4 comes.
TEST_F(RemoteConnection, AcknowledgementsCycleThroughRunsReceivedBeyondAGap)
{
    for (int sequence : {1, 2, 3})
        m_Peer->SendData(m_Id, sequence, 0, 0, std::string(1, char('0' + sequence)));
    m_A->Process();
    EXPECT_EQ(NextAck(), std::make_pair(3, 0));
    for (int sequence : {5, 6, 7})
        m_Peer->SendData(m_Id, sequence, 0, 0, std::string(1, char('0' + sequence)));
    m_A->Process();
    EXPECT_EQ(ReceiveAll(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(NextAck(), std::make_pair(7, 3));
    EXPECT_EQ(NextAck(), std::make_pair(3, 0));
    EXPECT_EQ(NextAck(), std::make_pair(7, 3));
    m_Peer->SendData(m_Id, 4, 0, 0, "4");
    m_A->Process();
    EXPECT_EQ(NextAck(), std::make_pair(7, 0));
    EXPECT_EQ(NextAck(), std::make_pair(7, 0));
    EXPECT_EQ(ReceiveAll(), (std::vector<std::string>{"4", "5", "6", "7"}));
    // A duplicate of a delivered packet is dropped silently.
    m_Peer->SendData(m_Id, 6, 0, 0, "6");
    m_A->Process();
    EXPECT_TRUE(ReceiveAll().empty());
}

// A packet overtaken by later acknowledged packets goes again on every third acknowledgement.
TEST_F(RemoteConnection, APacketIsResentOncePerThreeLaterAcknowledgements)
{
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(SendPacket(), i);
    m_PeerSequence = 1;
    auto resentOne = [&] {
        int count = 0;
        for (const WirePacket& packet : m_Peer->Take())
            count += !packet.Control() && packet.Sequence() == 1;
        return count;
    };
    const int expected[] = {0, 0, 1, 0, 0, 1};
    for (int round = 0; round < 6; ++round) {
        PeerAcks(2, 1); // 2 arrived, 1 did not
        EXPECT_EQ(resentOne(), expected[round]) << "acknowledgement " << round + 1;
    }
    EXPECT_EQ(m_C->ReSends(), 2);
    // 3 and 4 are acknowledged along with 1 and 2: nothing is outstanding.
    PeerAcks(4, 0);
    EXPECT_EQ(m_C->Outstanding(), 0);
}

// Without answers: lagged after the 8th unanswered send, dead after the 22nd; lagged sends are
// lag packets, not data.
TEST_F(RemoteConnection, SilenceLagsAfterTheEighthSendAndKillsAfterTheTwentySecond)
{
    std::vector<int> statuses;
    std::vector<int> kinds; // sequence for data, 100 + type for control
    for (int frame = 0; frame < 40; ++frame) {
        NetTest::Advance(0.11);
        m_A->Process();
        for (const WirePacket& packet : m_Peer->Take()) {
            kinds.push_back(packet.Control() ? 100 + packet.Sequence() : packet.Sequence());
            statuses.push_back(m_C->Status());
        }
    }
    ASSERT_EQ(statuses.size(), 22u);
    for (int i = 0; i < 22; ++i) {
        const int expected = i < 7    ? CRemoteConnection::LIVE
                             : i < 21 ? CRemoteConnection::LAGGED
                                      : CRemoteConnection::DEAD;
        EXPECT_EQ(statuses[i], expected) << "send " << i + 1;
        EXPECT_EQ(kinds[i], i < 8 ? i + 1 : 100 + kLagging) << "send " << i + 1;
    }
    EXPECT_EQ(m_C->LagOuts(), 1);
    EXPECT_EQ(m_A->Lagged(), 0);
}

TEST_F(RemoteConnection, SequencesWrapPastTheWindowWithEverythingDeliveredInOrder)
{
    std::vector<std::string> got;
    for (int i = 0; i < 150; ++i) {
        const int sequence = SendPacket("out" + std::to_string(i));
        EXPECT_EQ(sequence, (i + 1) & 63);
        PeerAcks(sequence, 0, "in" + std::to_string(i));
        EXPECT_EQ(m_C->Outstanding(), 0);
        for (const std::string& message : ReceiveAll())
            got.push_back(message);
    }
    ASSERT_EQ(got.size(), 150u);
    for (int i = 0; i < 150; ++i)
        EXPECT_EQ(got[i], "in" + std::to_string(i));
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LIVE);
    EXPECT_EQ(m_C->ReSends(), 0);
}

// 32 packets outstanding lag the connection; a late acknowledgement frees nothing, and neither
// does one for a packet never sent.
TEST_F(RemoteConnection, OutstandingLimitAndLateAcknowledgements)
{
    for (int i = 1; i <= 5; ++i)
        SendPacket();
    PeerAcks(3, 0);
    EXPECT_EQ(m_C->Outstanding(), 2);
    PeerAcks(1, 0); // reordered: older than what is already acknowledged
    EXPECT_EQ(m_C->Outstanding(), 2);
    PeerAcks(40, 0); // beyond anything sent
    EXPECT_EQ(m_C->Outstanding(), 2);
    PeerAcks(5, 0);
    EXPECT_EQ(m_C->Outstanding(), 0);

    for (int i = 0; i < 31; ++i) {
        SendPacket();
        PeerAcks(5, 0); // answers, acknowledging nothing new
    }
    EXPECT_EQ(m_C->Outstanding(), 31);
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LIVE);
    SendPacket();
    PeerAcks(5, 0);
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LAGGED);
}

TEST_F(RemoteConnection, MessagesFillThePacketUpToItsLimit)
{
    EXPECT_TRUE(m_C->Send(std::string(300, 'a').data(), 300));
    EXPECT_TRUE(m_C->Send(std::string(100, 'b').data(), 100)); // 413 - 313 = 100 still fits
    EXPECT_TRUE(m_Peer->Take().empty());
    EXPECT_EQ(m_C->PacketOverflows(), 0);
    m_C->Flush();
    m_Peer->Take();
    EXPECT_TRUE(m_C->Send(std::string(300, 'a').data(), 300));
    EXPECT_TRUE(m_C->Send(std::string(101, 'b').data(), 101)); // does not: the packet goes first
    std::vector<WirePacket> sent = m_Peer->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Length(), 313);
    EXPECT_EQ(m_C->PacketOverflows(), 1);
    EXPECT_TRUE(m_C->Send(std::string(400, 'c').data(), 400));
    EXPECT_EXIT((dup2(2, 1), m_C->Send(std::string(401, 'd').data(), 401)), testing::ExitedWithCode(3),
                "Remote Connection : Message is too large.");
}

// While lagged no data packet goes out, so a message that does not fit is refused and counted
// instead of written past the packet's end.
TEST_F(RemoteConnection, ALaggedConnectionRefusesWhatDoesNotFit)
{
    for (int frame = 0; frame < 8; ++frame) {
        NetTest::Advance(0.11);
        m_A->Process();
    }
    ASSERT_EQ(m_C->Status(), CRemoteConnection::LAGGED);
    m_Peer->Take();
    const std::string big(400, 'x');
    EXPECT_TRUE(m_C->Send(big.data(), 400));
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(m_C->Send(big.data(), 400));
    EXPECT_EQ(m_C->RefusedMessages(), 20);
    NetTest::Advance(0.11);
    m_A->Process();
    std::vector<WirePacket> sent = m_Peer->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].Control());
    EXPECT_EQ(sent[0].Sequence(), PacketLimits::kLagging);
}

// The lag packets end a lag: a probe answered when all is acknowledged, caught-up accepted only
// with both windows empty, a lagging peer lags this side too, a disconnect kills.
TEST_F(RemoteConnection, LagPacketsLeadBackToLive)
{
    for (int frame = 0; frame < 8; ++frame) {
        NetTest::Advance(0.11);
        m_A->Process();
    }
    ASSERT_EQ(m_C->Status(), CRemoteConnection::LAGGED);
    ASSERT_EQ(m_C->Outstanding(), 8);
    m_Peer->Take();

    // Caught up while packets are outstanding: not enough.
    m_Peer->SendControl(m_Id, kCaughtUp);
    m_A->Process();
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LAGGED);
    // A probe that acknowledges all 8: windows empty, answered with caught-up, live again.
    m_Peer->Send(MakePacket(m_Id, true, 13, kLagProbe, 8, 0), kHostA);
    m_A->Process();
    EXPECT_EQ(m_C->Outstanding(), 0);
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LIVE);
    std::vector<WirePacket> answer = m_Peer->Take();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_TRUE(answer[0].Control());
    EXPECT_EQ(answer[0].Sequence(), kCaughtUp);

    m_Peer->Send(MakePacket(m_Id, true, 13, kLagging, 8, 0), kHostA);
    m_A->Process();
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LAGGED);
    EXPECT_EQ(m_C->LagOuts(), 2);
    // Lagged with empty windows: its keep-alive is a probe.
    NetTest::Advance(0.11);
    m_A->Process();
    std::vector<WirePacket> probe = m_Peer->Take();
    ASSERT_EQ(probe.size(), 1u);
    EXPECT_EQ(probe[0].Sequence(), kLagProbe);
    m_Peer->SendControl(m_Id, kCaughtUp);
    m_A->Process();
    EXPECT_EQ(m_C->Status(), CRemoteConnection::LIVE);

    m_Peer->SendControl(m_Id, kDisconnect);
    m_A->Process();
    EXPECT_EQ(m_C->Status(), CRemoteConnection::DEAD);
    m_A->FreeDeadConnections();
    EXPECT_EQ(m_A->GetNextConnection(nullptr), nullptr);
}

} // namespace
