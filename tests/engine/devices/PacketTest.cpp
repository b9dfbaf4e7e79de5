// The wire format to the byte: the header, every control packet an endpoint sends, the announce,
// and which received datagrams count as packets.
#include <stdio.h>

#include "NetTestSupport.h"
#include "engine/devices/CPacket.h"

namespace {

std::string Hex(const BYTE* bytes, int length)
{
    std::string text;
    char two[4];
    for (int i = 0; i < length; ++i) {
        snprintf(two, sizeof two, "%s%02x", i ? " " : "", bytes[i]);
        text += two;
    }
    return text;
}
std::string Hex(const std::vector<BYTE>& bytes) { return Hex(bytes.data(), static_cast<int>(bytes.size())); }

TEST(Packet, HeaderFieldsSitWhereTheWireFormatPutsThem)
{
    CPacket data(37, 20);
    data.SetConnectionId(0x1FF); // only 7 bits travel
    data.SetAck(62, 11);
    data.SetDelay(0x1234);
    data.Append("ab", 2);
    // id 0x7F; data; length 15, sequence 37, ack 62, run 11; delay; unused; payload.
    EXPECT_EQ(Hex(reinterpret_cast<BYTE*>(&data), data.Length()), "7f 00 00 00 00 0f 00 a5 bf 34 12 00 00 61 62");
    EXPECT_EQ(data.Sequence(), 37);
    EXPECT_EQ(data.Ack(), 62);
    EXPECT_EQ(data.Run(), 11);
    EXPECT_EQ(data.PayloadLength(), 2);

    CPacket control(PacketLimits::kDisconnect, -1);
    EXPECT_EQ(Hex(reinterpret_cast<BYTE*>(&control), 13), "00 00 00 00 01 0d 00 da 0f 00 00 00 00");
}

TEST(Packet, ValidationRefusesEveryMalformedDatagram)
{
    struct Case {
        std::vector<BYTE> bytes;
        PacketFault fault;
    };
    std::vector<BYTE> full = MakePacket(3, false, 413, 5, 4, 0);
    full.resize(413, 'x');
    std::vector<BYTE> tooLong = MakePacket(3, false, 414, 5, 4, 0);
    tooLong.resize(414);
    std::vector<BYTE> announce = MakePacket(0, true, 17, 21, 0x3F, 0);
    announce.resize(17);
    std::vector<BYTE> shortAnnounce = MakePacket(0, true, 13, 21, 0x3F, 0);
    std::vector<BYTE> controlWithPayload = MakePacket(0, true, 14, 22, 0x3F, 0);
    controlWithPayload.push_back(1);
    std::vector<BYTE> badFlags = MakePacket(3, false, 13, 5, 4, 0);
    badFlags[4] = 2;
    const Case cases[] = {
        {MakePacket(3, false, 13, 5, 4, 0), PACKET_OK},
        {full, PACKET_OK},
        {announce, PACKET_OK},
        {MakePacket(3, true, 13, 26, 0x3F, 0), PACKET_OK},
        {{}, PACKET_SHORT},
        {std::vector<BYTE>(12, 0), PACKET_SHORT},
        {tooLong, PACKET_LONG},
        {MakePacket(3, false, 14, 5, 4, 0), PACKET_LENGTH_MISMATCH},
        {MakePacket(3, false, 12, 5, 4, 0), PACKET_LENGTH_MISMATCH},
        {shortAnnounce, PACKET_LENGTH_MISMATCH},
        {controlWithPayload, PACKET_LENGTH_MISMATCH},
        {badFlags, PACKET_BAD_FLAGS},
        {MakePacket(3, true, 13, 20, 0x3F, 0), PACKET_BAD_TYPE},
        {MakePacket(3, true, 13, 27, 0x3F, 0), PACKET_BAD_TYPE},
        {MakePacket(3, true, 13, 0, 0x3F, 0), PACKET_BAD_TYPE},
    };
    int row = 0;
    for (const Case& c : cases)
        EXPECT_EQ(CPacket::Validate(c.bytes.data(), static_cast<int>(c.bytes.size())), c.fault) << "row " << row++;
}

using PacketGolden = NetTest;

// What an endpoint puts on the wire, byte for byte: the announce at start, the connect request,
// the first data packet, the disconnect; the lag packets are checked in the connection tests.
TEST_F(PacketGolden, TheEndpointsPacketsAreByteExact)
{
    Wire peer(kHostB);
    std::unique_ptr<CNetwork> a = MakeEndpoint(kHostA);
    std::vector<WirePacket> announce = peer.Take();
    ASSERT_EQ(announce.size(), 1u);
    // Length 17, type 21, ack 0x3F; the payload is the endpoint's random id.
    EXPECT_EQ(Hex(announce[0].Bytes).substr(0, 38), "00 00 00 00 01 11 00 d5 0f 00 00 00 00");
    EXPECT_EQ(announce[0].Bytes.size(), 17u);
    EXPECT_EQ(a->IPAddress(), kHostA);
    EXPECT_STREQ(a->IPAddressString(), "127.0.0.1");

    a->ConnectTo("127.0.0.2");
    std::vector<WirePacket> request = peer.Take();
    ASSERT_EQ(request.size(), 1u);
    char expected[64];
    const int id = request[0].Id();
    snprintf(expected, sizeof expected, "%02x 00 00 00 01 0d 00 d6 0f 00 00 00 00", id);
    EXPECT_EQ(Hex(request[0].Bytes), expected);

    peer.SendControl(id, PacketLimits::kConnect);
    CRemoteConnection* connection = a->Process();
    ASSERT_NE(connection, nullptr);
    connection->Expiring(0);
    connection->Send("hi", 2);
    connection->Flush();
    std::vector<WirePacket> data = peer.Take();
    ASSERT_EQ(data.size(), 1u);
    // Sequence 1 acknowledging sequence 0 (nothing received yet); the delay is capped.
    snprintf(expected, sizeof expected, "%02x 00 00 00 00 0f 00 01 00 ff ff 00 00 68 69", id);
    EXPECT_EQ(Hex(data[0].Bytes), expected);

    a->KillConnection("127.0.0.2");
    std::vector<WirePacket> bye = peer.Take();
    ASSERT_EQ(bye.size(), 1u);
    snprintf(expected, sizeof expected, "%02x 00 00 00 01 0d 00 da 0f 00 00 00 00", id);
    EXPECT_EQ(Hex(bye[0].Bytes), expected);
    EXPECT_EQ(a->GetNextConnection(nullptr), nullptr);
}

} // namespace
