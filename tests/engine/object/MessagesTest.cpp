// Messages: the type table, sizes, names, fatal registration errors and delivery.
#include "ObjectTestSupport.h"
#include "TestClasses.h"
#include "engine/object/CMessage.h"

#pragma pack(push, 1)
class TFixedMessage : public CMessage {
    DECLARE_MESSAGE(TFixedMessage, 0x00010071)
    DWORD Payload;
};
class TVarMessage : public CVariableLengthMessage {
    DECLARE_MESSAGE(TVarMessage, 0x70)
    BYTE Text[64];
};
#pragma pack(pop)

IMPLEMENT_MESSAGE(TFixedMessage)
DWORD TVarMessage::MessageType =
    CVariableLengthMessage::RegisterMessageType("TVarMessage", TVarMessage::CMessageId, &TVarMessage::CreateMessage, 0);

// Refuses what its filter is told to refuse and remembers what reached its receiver.
class TListener : public GObject {
    DECLARE_GOBJECT(TListener, GObject)

    bool OnFilterMessage(CMessage* message) override { return message->MessageId != RefusedType; }
    bool OnReceiveMessage(CMessage* message) override
    {
        ++Received;
        return message->MessageId == HandledType;
    }

    DWORD RefusedType;
    DWORD HandledType;
    int Received;
};
IMPLEMENT_GOBJECT(TListener, 0x80008000)

namespace {

using MessageTest = ObjectTest;

// A message made by type number is a record of its registered class with nothing to destroy,
// and its class has no virtual destructor: the memory goes back without a delete through the
// header's type, which would name the wrong class.
void FreeMessage(CMessage* message) { ::operator delete(message); }

TEST_F(MessageTest, CreationByTypeGivesAFreshMessageOfTheRegisteredSizeAndName)
{
    CMessage* message = CMessage::Create(TFixedMessage::CMessageId);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->MessageId, 0x00010071u);
    EXPECT_EQ(static_cast<DWORD>(message->hRecipient), 0u);
    EXPECT_EQ(message->Priority, 10);
    EXPECT_EQ(message->GetSize(), 16);
    EXPECT_STREQ(message->GetTypeName(), "TFixedMessage");
    EXPECT_EQ(TFixedMessage::MessageType, 0x00010071u);
    FreeMessage(message);
}

TEST_F(MessageTest, TheSystemsTypesHaveTheirRowsSizesAndNames)
{
    struct Row {
        DWORD type;
        int size;
        const char* name;
    };
    const Row rows[] = {
        {17, 24, "CSetPosMessage"},
        {18, 24, "CSetRotMessage"},
        {20, 12, "CVeskUpdateMessage"},
        {21, 48, "CCreateMessage"},
        {22, 44, "CCreateIdMessage"},
        {24, 16, "CAnimMessage"},
        {25, 12, "CAnimMoveMessage"},
        {0x00020017, 12, "CDestroyMessage"},
        {0x0001001B, 16, "CCineLoadLevelMessage"},
        {0x0001001C, 32, "CPlaySoundMessage"},
        {0x0001001E, 12, "CKeyFrameMessage"},
        {0x0001001F, 20, "CCineCreateMessage"},
    };
    for (const Row& row : rows) {
        CMessage* message = CMessage::Create(row.type);
        ASSERT_NE(message, nullptr) << row.name;
        EXPECT_EQ(message->MessageId, row.type) << row.name;
        EXPECT_EQ(message->GetSize(), row.size) << row.name;
        EXPECT_STREQ(message->GetTypeName(), row.name);
        FreeMessage(message);
    }
}

TEST_F(MessageTest, AVariableLengthMessageReportsItsOwnLength)
{
    TVarMessage* message = static_cast<TVarMessage*>(CMessage::Create(TVarMessage::CMessageId));
    message->Size = 40;
    EXPECT_EQ(message->GetSize(), 40);
    delete message;
}

TEST_F(MessageTest, UnregisteredTypesHaveNoMessageNoNameAndTheHeaderSize)
{
    EXPECT_EQ(CMessage::Create(0xEE), nullptr);
    CMessage header;
    header.MessageId = 0xEE;
    EXPECT_EQ(header.GetTypeName(), nullptr);
    EXPECT_EQ(header.GetSize(), 12);
}

TEST_F(MessageTest, ARowClashEndsTheProgramNamingTheLowestFreeRow)
{
    // The destroy message 0x20017 holds row 0x17.
    EXPECT_EXIT(CMessage::RegisterMessageType("Clash", 23, &TFixedMessage::CreateMessage, 12),
                ::testing::ExitedWithCode(3), "Msg type 00000017 is used - use 00000001!");
}

TEST_F(MessageTest, ATypeOf256OrMoreInItsLow16BitsEndsTheProgram)
{
    EXPECT_EXIT(CMessage::RegisterMessageType("Wide", 0x1EE, &TFixedMessage::CreateMessage, 16),
                ::testing::ExitedWithCode(3), "msg id out of range");
}

TEST_F(MessageTest, DeliveryAsksTheFilterFirstAndARefusedMessageCountsAsConsumed)
{
    TListener* listener = TListener::Create();
    listener->RefusedType = TFixedMessage::CMessageId;
    listener->HandledType = TVarMessage::CMessageId;
    CMessage* refused = CMessage::Create(TFixedMessage::CMessageId);
    CMessage* handled = CMessage::Create(TVarMessage::CMessageId);

    EXPECT_TRUE(listener->ReceiveMessage(refused));
    EXPECT_EQ(listener->Received, 0);
    EXPECT_TRUE(listener->ReceiveMessage(handled));
    EXPECT_EQ(listener->Received, 1);
    listener->HandledType = 0;
    EXPECT_FALSE(GObject::GetGobject(listener->GetHandle())->ReceiveMessage(handled));
    FreeMessage(refused);
    FreeMessage(handled);
}

} // namespace
