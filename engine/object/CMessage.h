#pragma once
// Game messages: small fixed-layout records addressed to one object by handle. They travel
// between objects, through the network and through cinematic recordings, so every type can be
// created from its type number alone: the low byte of the number selects a row of one table of
// 256 factories, sizes and names.
#include <windows.h>

#include "engine/object/HGOBJECT.h"

class CMessage;
typedef CMessage* (*CMessageCreateFunction)();

// The size registered for types whose messages carry their own length.
const int MESSAGE_SIZE_VARIABLE = -1;

#pragma pack(push, 1)
class CMessage {
public:
    enum { DefaultPriority = 10 };

    CMessage() : hRecipient(0) {}

    static DWORD RegisterMessageType(const char* name, DWORD type, CMessageCreateFunction create, int size);
    static CMessage* Create(DWORD type);
    int GetSize();
    const char* GetTypeName();

    DWORD MessageId;
    HGOBJECT hRecipient;
    BYTE Priority;
    BYTE __filler[3];

protected:
    // Builds a new message of a registered type for its row's factory.
    template <class T> static CMessage* Make()
    {
        T* message = new T();
        message->MessageId = T::CMessageId;
        message->Priority = DefaultPriority;
        return message;
    }
};

class CVariableLengthMessage : public CMessage {
public:
    CVariableLengthMessage() : Size(0) {}
    static DWORD RegisterMessageType(const char* name, DWORD type, CMessageCreateFunction create, int unused);

    WORD Size;
};
#pragma pack(pop)
static_assert(sizeof(CMessage) == 12, "message header is 12 bytes");
static_assert(sizeof(CVariableLengthMessage) == 14, "variable-length header adds its length");

// Declares a message type's registered number and factory in its class body.
#define DECLARE_MESSAGE(Class, id)                                                                                     \
public:                                                                                                                \
    enum { CMessageId = id };                                                                                          \
    static DWORD MessageType;                                                                                          \
    static CMessage* CreateMessage() { return Make<Class>(); }

// Registers the type while the library loads.
#define IMPLEMENT_MESSAGE(Class)                                                                                       \
    DWORD Class::MessageType =                                                                                         \
        CMessage::RegisterMessageType(#Class, Class::CMessageId, &Class::CreateMessage, sizeof(Class));
