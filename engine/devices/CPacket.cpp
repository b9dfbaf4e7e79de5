#include "engine/devices/CPacket.h"

#include <stddef.h>
#include <string.h>

#include "engine/include/RhuTypes.h"

static_assert(offsetof(CPacket, Flags) == offsetof(rhu::CPacketHeader, Flags), "CPacketHeader");
static_assert(offsetof(CPacket, Fields) == offsetof(rhu::CPacketHeader, Fields), "CPacketHeader");
static_assert(offsetof(CPacket, AckDelay) == offsetof(rhu::CPacketHeader, AckDelay), "CPacketHeader");
static_assert(offsetof(CPacket, Data) == sizeof(rhu::CPacketHeader), "CPacketHeader");

using namespace PacketLimits;

CPacket::CPacket(int type, int ack)
{
    IdWord = 0;
    Flags = ack < 0 ? 1 : 0;
    Fields = static_cast<DWORD>(kHeader);
    Fields |= static_cast<DWORD>(type & 0x3F) << 16;
    SetAck(ack < 0 ? kNoAck : ack, 0);
    AckDelay = 0;
    Unused = 0;
}

void CPacket::Append(const void* bytes, int length)
{
    memcpy(Data + PayloadLength(), bytes, static_cast<size_t>(length));
    SetLength(Length() + length);
}

PacketFault CPacket::Validate(const void* bytes, int size)
{
    if (size < kHeader)
        return PACKET_SHORT;
    if (size > kMax)
        return PACKET_LONG;
    rhu::CPacketHeader header;
    memcpy(&header, bytes, sizeof header);
    if (static_cast<int>(header.Fields & 0xFFFF) != size)
        return PACKET_LENGTH_MISMATCH;
    if ((header.Flags & ~1U) != 0)
        return PACKET_BAD_FLAGS;
    if ((header.Flags & 1) != 0) {
        const int type = static_cast<int>(header.Fields >> 16 & 0x3F);
        if (type < kAnnounce || type > kDisconnect)
            return PACKET_BAD_TYPE;
        // Control packets carry no messages; the announce carries the sender's id.
        if (size != (type == kAnnounce ? kAnnounceLength : kHeader))
            return PACKET_LENGTH_MISMATCH;
    }
    return PACKET_OK;
}
