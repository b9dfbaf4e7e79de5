// The multiplayer objects: single-machine answers, local delivery through the target's filter
// and receiver, and the start position's editable number.
#include "ObjectTestSupport.h"
#include "engine/devices/GMultiPlay.h"
#include "engine/devices/GStartPosition.h"
#include "engine/object/CMessage.h"

namespace {

class TReceiver : public GObject {
    DECLARE_GOBJECT(TReceiver, GObject)

    bool OnFilterMessage(CMessage*) override
    {
        ++Filtered;
        return Pass;
    }
    bool OnReceiveMessage(CMessage*) override
    {
        ++Received;
        return Answer;
    }

    bool Pass;
    bool Answer;
    int Filtered;
    int Received;
};
IMPLEMENT_GOBJECT(TReceiver, 0x80008000)

using MultiPlay = ObjectTest;

TEST_F(MultiPlay, AnswersAreThoseOfOneMachineAndItSurvivesAsTheSingleton)
{
    EXPECT_EQ(GMultiPlay::pThe, nullptr);
    GMultiPlay* multi = GMultiPlay::Create();
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(GMultiPlay::pThe, multi);
    EXPECT_TRUE(multi->LocalObject(HGOBJECT(0x12340005)));
    EXPECT_EQ(multi->PlayerNumber(3), 1);
    EXPECT_FALSE(multi->Multi());
    EXPECT_FALSE(multi->Server());
    EXPECT_EQ(multi->GetClassEntry()->Flags, 0x20800100u);
    multi->Destroy();
    EXPECT_EQ(GMultiPlay::pThe, nullptr);
}

TEST_F(MultiPlay, MessagesGoThroughTheFilterToTheReceiverLocally)
{
    GMultiPlay* multi = GMultiPlay::Create();
    TReceiver* target = TReceiver::Create();
    CMessage message;
    message.MessageId = 1;
    message.hRecipient = target->GetHandle();
    struct Case {
        bool pass, answer, result;
        int received;
    } cases[] = {{true, true, true, 1}, {true, false, false, 1}, {false, true, false, 0}};
    for (const Case& c : cases) {
        target->Pass = c.pass;
        target->Answer = c.answer;
        target->Received = 0;
        EXPECT_EQ(multi->SendMessageA(&message, nullptr), c.result);
        EXPECT_EQ(target->Received, c.received);
    }
    const HGOBJECT gone = target->GetHandle();
    target->Destroy();
    RunFrame();
    message.hRecipient = gone;
    EXPECT_FALSE(multi->SendMessageA(&message, nullptr));
    multi->Destroy();
}

TEST_F(MultiPlay, AStartPositionTakesItsNumberFromItsData)
{
    FillData data;
    data.Int("iStartPosition", 3);
    GObject* object = GObject::Create(GStartPosition::ClassId, HGOBJECT(0), data.Get());
    ASSERT_NE(object, nullptr);
    GStartPosition* start = static_cast<GStartPosition*>(object);
    EXPECT_EQ(start->iStartPosition, 3);
    EXPECT_EQ(start->GetClassEntry()->Flags, 0x98008000u);
    EXPECT_EQ(start->ZelFile.GetSegment(0), nullptr);
    start->Destroy();
}

} // namespace
