// Two endpoints streaming framed, checksummed messages both ways through the fault injector:
// every message arrives exactly once and in order, resends make up for the losses, the same
// seed gives the same run, and outages end in recovery or death as the timers say.
#include "NetTestSupport.h"
#include "core/names/CCRC32.h"

namespace {

// A message: u16 length, u32 index, u32 checksum of the body, then the body.
const int kFrameHeader = 10;

std::string MakeMessage(int side, int index)
{
    const int length = kFrameHeader + 1 + (index * 37 + side * 11) % 90;
    std::string message(length, '\0');
    for (int i = kFrameHeader; i < length; ++i)
        message[i] = static_cast<char>(index * 131 + i * 7 + side);
    const unsigned long crc = CCRC32::GetCRC(message.data() + kFrameHeader, length - kFrameHeader);
    const WORD length16 = static_cast<WORD>(length);
    memcpy(&message[0], &length16, 2);
    memcpy(&message[2], &index, 4);
    memcpy(&message[6], &crc, 4);
    return message;
}

struct Side {
    CNetwork* Endpoint;
    CRemoteConnection* Connection;
    int Side;
    int Sent = 0;
    int Received = 0;
    int Faults = 0; // bad frames, duplicates, gaps
};

// Splits payloads into messages and checks each is the next one expected.
void ReceiveAll(Side& side)
{
    int length;
    while (BYTE* payload = side.Endpoint->Receive(length)) {
        int at = 0;
        while (at < length) {
            WORD size;
            int index;
            unsigned long crc;
            if (length - at < kFrameHeader) {
                ++side.Faults;
                break;
            }
            memcpy(&size, payload + at, 2);
            memcpy(&index, payload + at + 2, 4);
            memcpy(&crc, payload + at + 6, 4);
            if (size < kFrameHeader || at + size > length ||
                CCRC32::GetCRC(payload + at + kFrameHeader, size - kFrameHeader) != crc || index != side.Received) {
                ++side.Faults;
                break;
            }
            ++side.Received;
            at += size;
        }
    }
}

// Fills the current packet with the messages that fit, then sends it: one packet per frame.
void SendSome(Side& side, int total)
{
    CRemoteConnection* c = side.Connection;
    while (side.Sent < total && c->Status() == CRemoteConnection::LIVE && c->Outstanding() < 24) {
        const std::string message = MakeMessage(side.Side, side.Sent);
        if (static_cast<int>(message.size()) > c->Room())
            break;
        c->Send(message.data(), static_cast<int>(message.size()));
        ++side.Sent;
    }
    c->Flush();
}

struct SoakResult {
    bool Done;
    int Faults;
    int Resends;
    int LagOuts;
    int Frames;
    int StatusA;
    int StatusB;
    bool operator==(const SoakResult& o) const
    {
        return Done == o.Done && Faults == o.Faults && Resends == o.Resends && LagOuts == o.LagOuts &&
               Frames == o.Frames;
    }
};

class NetworkSoak : public NetTest {
protected:
    // Streams `total` messages each way, with the faults switched on after the handshake; an
    // outage (everything lost) runs from outageStart for outageLength seconds.
    SoakResult Stream(const MgWinsockFaults& faults, int total, double outageStart = -1, double outageLength = 0)
    {
        // The same start instant for every run: the endpoints' ids come from the clock.
        MgUseVirtualClock(1000 * MG_PERF_FREQUENCY);
        std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
        std::unique_ptr<CNetwork> b = MakeEndpoint(kHostB);
        b->AcceptConnections(true);
        a->ConnectTo(kHostB);
        CRemoteConnection* atA = nullptr;
        CRemoteConnection* atB = nullptr;
        for (int frame = 0; frame < 100 && (atA == nullptr || atB == nullptr); ++frame) {
            Advance(0.01);
            if (CRemoteConnection* c = a->Process())
                atA = c;
            if (CRemoteConnection* c = b->Process())
                atB = c;
        }
        EXPECT_TRUE(atA != nullptr && atB != nullptr);
        if (atA == nullptr || atB == nullptr)
            return SoakResult{};
        atA->Expiring(0);
        atB->Expiring(0);

        MgWinsockSetFaults(&faults);
        const MgWinsockFaults outage = {faults.seed, 1.0, 0, 0, 0, 0, 0};
        Side sideA{a.get(), atA, 1};
        Side sideB{b.get(), atB, 2};
        int frame = 0;
        const int frames = 12000; // two minutes of 10 ms frames
        for (; frame < frames; ++frame) {
            if (outageStart >= 0 && frame == static_cast<int>(outageStart / 0.01))
                MgWinsockSetFaults(&outage);
            if (outageStart >= 0 && frame == static_cast<int>((outageStart + outageLength) / 0.01))
                MgWinsockSetFaults(&faults);
            SendSome(sideA, total);
            SendSome(sideB, total);
            Advance(0.01);
            a->Process();
            b->Process();
            ReceiveAll(sideA);
            ReceiveAll(sideB);
            if (sideA.Received == total && sideB.Received == total)
                break;
            if (atA->Status() == CRemoteConnection::DEAD && atB->Status() == CRemoteConnection::DEAD)
                break;
        }
        MgWinsockSetFaults(nullptr);
        return SoakResult{sideA.Received == total && sideB.Received == total,
                          sideA.Faults + sideB.Faults,
                          atA->ReSends() + atB->ReSends(),
                          atA->LagOuts() + atB->LagOuts(),
                          frame,
                          atA->Status(),
                          atB->Status()};
    }
};

TEST_F(NetworkSoak, EveryMessageArrivesOnceAndInOrderUnderLossDuplicationAndReordering)
{
    for (unsigned seed : {1u, 2u, 3u})
        for (double loss : {0.0, 0.1, 0.3}) {
            const MgWinsockFaults faults = {seed, loss, 0.02, 0.05, 0.1, 0.2, 0.03};
            MgWinsockResetCounts();
            const SoakResult result = Stream(faults, 3000);
            MgWinsockCounts counts;
            MgWinsockGetCounts(&counts);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " loss " << loss);
            EXPECT_TRUE(result.Done) << "after " << result.Frames << " frames";
            EXPECT_EQ(result.Faults, 0);
            EXPECT_GT(counts.duplicated, 0u);
            EXPECT_GT(counts.reordered, 0u);
            if (loss > 0) {
                EXPECT_GT(counts.dropped, 0u);
                EXPECT_GT(result.Resends, 0);
            }
        }
}

TEST_F(NetworkSoak, TheSameSeedGivesTheSameRun)
{
    const MgWinsockFaults faults = {9, 0.2, 0.02, 0.05, 0.1, 0.2, 0.03};
    const SoakResult first = Stream(faults, 2000);
    EXPECT_TRUE(first.Done);
    EXPECT_GT(first.Resends, 0);
    EXPECT_EQ(Stream(faults, 2000), first);
}

// A short outage lags both sides, which then catch up without losing a message; a long one
// kills both connections.
TEST_F(NetworkSoak, OutagesRecoverOrEndInDeath)
{
    const MgWinsockFaults clean = {5, 0, 0, 0, 0, 0, 0};
    const SoakResult brief = Stream(clean, 3000, 1.0, 0.5);
    EXPECT_TRUE(brief.Done);
    EXPECT_EQ(brief.Faults, 0);
    EXPECT_GE(brief.LagOuts, 2);
    EXPECT_EQ(brief.StatusA, CRemoteConnection::LIVE);
    EXPECT_EQ(brief.StatusB, CRemoteConnection::LIVE);

    const SoakResult cut = Stream(clean, 3000, 1.0, 30.0);
    EXPECT_FALSE(cut.Done);
    EXPECT_EQ(cut.StatusA, CRemoteConnection::DEAD);
    EXPECT_EQ(cut.StatusB, CRemoteConnection::DEAD);
    // Dead after 22 unanswered sends: 8 while live, the rest 0.1 s apart while lagged.
    EXPECT_LT(cut.Frames, 100 + 300);
}

} // namespace
