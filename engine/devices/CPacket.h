#pragma once
// One network datagram: a 13-byte header and up to 400 bytes of messages, back to back without
// framing. Data packets carry a sequence number; control packets carry a type instead. Every
// packet also acknowledges the peer's packets (a sequence and the length of the run of packets
// received out of order that ends there) and says how long the acknowledged packet waited.
#include <windows.h>

namespace PacketLimits {
const int kHeader = 13;
const int kPayload = 400;
const int kMax = kHeader + kPayload;
// Control types.
const int kAnnounce = 21;
const int kConnect = 22;
const int kLagging = 23;
const int kLagProbe = 24;
const int kCaughtUp = 25;
const int kDisconnect = 26;
// The acknowledged sequence a control packet is built with.
const int kNoAck = 0x3F;
// Length of the announce: its payload is the sender's 32-bit random id.
const int kAnnounceLength = kHeader + 4;
} // namespace PacketLimits

// Why a received datagram is not a packet.
enum PacketFault { PACKET_OK, PACKET_SHORT, PACKET_LONG, PACKET_LENGTH_MISMATCH, PACKET_BAD_FLAGS, PACKET_BAD_TYPE };

#pragma pack(push, 1)
class CPacket {
public:
    // type: the sequence of a data packet or the type of a control packet; ack < 0 makes a
    // control packet.
    CPacket(int type, int ack);

    // Checks a received datagram of `size` bytes: length field, flags and control type. Only a
    // datagram that passes may be used as a packet.
    static PacketFault Validate(const void* bytes, int size);

    int ConnectionId() const { return static_cast<int>(IdWord & 0x7F); }
    void SetConnectionId(int id) { IdWord = static_cast<DWORD>(id & 0x7F); }
    bool IsControl() const { return (Flags & 1) != 0; }
    int Length() const { return static_cast<int>(Fields & 0xFFFF); }
    void SetLength(int length) { Fields = (Fields & ~0xFFFFUL) | static_cast<DWORD>(length & 0xFFFF); }
    int Sequence() const { return static_cast<int>(Fields >> 16 & 0x3F); }
    int Type() const { return Sequence(); }
    int Ack() const { return static_cast<int>(Fields >> 22 & 0x3F); }
    int Run() const { return static_cast<int>(Fields >> 28 & 0xF); }
    void SetAck(int ack, int run)
    {
        Fields = (Fields & 0x003FFFFFUL) | static_cast<DWORD>(ack & 0x3F) << 22 | static_cast<DWORD>(run & 0xF) << 28;
    }
    WORD Delay() const { return AckDelay; }
    void SetDelay(WORD milliseconds) { AckDelay = milliseconds; }
    int PayloadLength() const { return Length() - PacketLimits::kHeader; }
    BYTE* Payload() { return Data; }
    // Appends bytes that the caller made sure fit.
    void Append(const void* bytes, int length);

    DWORD IdWord;
    BYTE Flags;
    DWORD Fields;
    WORD AckDelay;
    WORD Unused;
    BYTE Data[PacketLimits::kPayload];
};
#pragma pack(pop)
static_assert(sizeof(CPacket) == PacketLimits::kMax, "a packet buffer holds the largest datagram");
