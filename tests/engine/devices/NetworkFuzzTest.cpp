// Hostile datagrams at an endpoint with a live connection: short ones, wrong length fields,
// unknown types, foreign ids, oversized ones, and well-formed packets with random sequence and
// acknowledgement fields. Nothing crashes and nothing yields a payload.
#include <random>

#include "NetTestSupport.h"
#include "engine/devices/CPacket.h"

namespace {

using namespace PacketLimits;

class NetworkFuzz : public NetTest {};

TEST_F(NetworkFuzz, RandomDatagramsNeverCrashAndNeverYieldPayload)
{
    Wire peer(kHostB);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    peer.Take();
    CRemoteConnection* connection = ConnectToWire(*a, peer);
    ASSERT_NE(connection, nullptr);
    const int id = connection->ID();
    Wire sameAddress(kHostB, kNetPort + 1); // passes the address check
    Wire stranger(kHostC);

    std::mt19937 random(1234);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto bytes = [&](int n) {
        std::vector<BYTE> out(n);
        for (BYTE& b : out)
            b = static_cast<BYTE>(random());
        return out;
    };
    int yielded = 0;
    const int before = a->DroppedDatagrams();
    for (int i = 0; i < 20000; ++i) {
        std::vector<BYTE> datagram;
        const int kind = below(8);
        switch (kind) {
        case 0: // shorter than a header
            datagram = bytes(below(13));
            break;
        case 1: { // length field that does not match the size
            const int size = 13 + below(401);
            datagram = MakePacket(id, below(2), size + 1 + below(100), below(64), below(64), below(16));
            datagram.resize(size, 'p');
            break;
        }
        case 2: // control type no packet has
            datagram = MakePacket(id, true, 13, (kDisconnect + 1 + below(37)) & 63, 0x3F, 0);
            if (datagram[7] >= kAnnounce && datagram[7] <= kDisconnect)
                datagram[7] = 0;
            break;
        case 3: { // a data packet with payload for a connection that does not exist
            const int size = 14 + below(400);
            datagram = MakePacket((id + 1 + below(127)) & 0x7F, false, size, below(64), below(64), below(16));
            datagram.resize(size, 'f');
            break;
        }
        case 4: // header-only data packets with random windows fields
            datagram = MakePacket(id, false, 13, below(64), below(64), below(16), below(65536));
            break;
        case 5: // lag packets with random acknowledgements
            datagram = MakePacket(id, true, 13, kLagging + below(3), below(64), below(16), below(65536));
            break;
        case 6: // longer than any packet
            datagram = bytes(414 + below(200));
            break;
        default: { // noise with a matching length field but never this connection's id
            datagram = bytes(13 + below(401));
            datagram[0] = static_cast<BYTE>((id + 1 + below(127)) & 0x7F);
            datagram[5] = static_cast<BYTE>(datagram.size());
            datagram[6] = static_cast<BYTE>(datagram.size() >> 8);
            break;
        }
        }
        (below(3) == 0 ? stranger : sameAddress).Send(datagram, kHostA);
        if (below(16) == 0) {
            NetTest::Advance(0.03);
            a->Process();
            int length;
            while (a->Receive(length) != nullptr)
                ++yielded;
        }
    }
    a->Process();
    int length;
    while (a->Receive(length) != nullptr)
        ++yielded;
    EXPECT_EQ(yielded, 0);
    EXPECT_GT(a->DroppedDatagrams() - before, 8000);
}

} // namespace
