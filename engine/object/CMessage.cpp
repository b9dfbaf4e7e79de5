#include "engine/object/CMessage.h"

#include "core/output/ZOutput.h"
#include "engine/object/GObject.h"

namespace {

struct MessageRow {
    CMessageCreateFunction pCreate; // null while the row is free
    int Size;
    const char* Name;
};

// Constant-initialised: message types register from static initialisers in any order.
MessageRow MessageTable[256];
bool bMessageTableCleared;

MessageRow& RowOf(DWORD type) { return MessageTable[type & 0xFF]; }

DWORD LowestFreeRow()
{
    for (DWORD row = 1; row < 256; ++row)
        if (MessageTable[row].pCreate == nullptr)
            return row;
    return 0;
}

} // namespace

DWORD CMessage::RegisterMessageType(const char* name, DWORD type, CMessageCreateFunction create, int size)
{
    if (!bMessageTableCleared) {
        for (MessageRow& row : MessageTable)
            row = MessageRow{nullptr, 0, nullptr};
        bMessageTableCleared = true;
    }
    if (RowOf(type).pCreate != nullptr)
        vbail("Msg type %08lX is used - use %08lX!", type, LowestFreeRow());
    if ((type & 0xFFFF) >= 256)
        vbail("msg id out of range");
    RowOf(type) = MessageRow{create, size, name};
    return type;
}

DWORD CVariableLengthMessage::RegisterMessageType(const char* name, DWORD type, CMessageCreateFunction create, int)
{
    return CMessage::RegisterMessageType(name, type, create, MESSAGE_SIZE_VARIABLE);
}

CMessage* CMessage::Create(DWORD type)
{
    const MessageRow& row = RowOf(type);
    return row.pCreate != nullptr ? row.pCreate() : nullptr;
}

// An unregistered type has no size of its own: it reports the header alone.
int CMessage::GetSize()
{
    const MessageRow& row = RowOf(MessageId);
    if (row.pCreate == nullptr)
        return sizeof(CMessage);
    if (row.Size == MESSAGE_SIZE_VARIABLE)
        return static_cast<CVariableLengthMessage*>(this)->Size;
    return row.Size;
}

const char* CMessage::GetTypeName()
{
    const MessageRow& row = RowOf(MessageId);
    return row.pCreate != nullptr ? row.Name : nullptr;
}

bool GObject::ReceiveMessage(CMessage* message)
{
    if (!OnFilterMessage(message))
        return true;
    return OnReceiveMessage(message);
}
