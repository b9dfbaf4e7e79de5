// Positioned objects: registration, stored fields, construction, the standard message table,
// the geometry helpers, the handle filter and the sleeping target.
#include <string.h>

#include <vector>

#include "ObjectTestSupport.h"
#include "TestClasses.h"
#include "core/math/MathTables.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/render/Camera.h"
#include "../../support/SoundRecords.h"
#include "engine/devices/GStartPosition.h"
#include "engine/frontend/CineMessages.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/GPosRot.h"
#include "engine/object/GTarget.h"

// Remembers every position it was given through the virtual SetPos.
class TPlaced : public GPosRot {
    DECLARE_GOBJECT(TPlaced, GPosRot)

    void SetPos(const CVector& position) override
    {
        ++SetPosCalls;
        LastSetPos = position;
        GPosRot::SetPos(position);
    }

    int SetPosCalls;
    CVector LastSetPos;
};
IMPLEMENT_GOBJECT(TPlaced, 0x80008000)

// A parent that answers the messages its positioned children pass up.
class TPassedTo : public GObject {
    DECLARE_GOBJECT(TPassedTo, GObject)

    bool OnFilterMessage(CMessage*) override { return !Refuse; }
    bool OnReceiveMessage(CMessage* message) override
    {
        LastType = message->MessageId;
        return true;
    }

    bool Refuse;
    DWORD LastType;
};
IMPLEMENT_GOBJECT(TPassedTo, 0x00008000)

namespace {

const float kEpsilon = 1e-5f;

class PosRotTest : public ObjectTest {
protected:
    void TearDown() override
    {
        GStartPosition::pCurrent = nullptr;
        ObjectTest::TearDown();
    }

    static GPosRot* MakeAt(const CVector& position, float heading = 0.0f)
    {
        GPosRot* object = GPosRot::Create();
        object->SetPosRot(position, CVector(0.0f, 0.0f, heading));
        return object;
    }
};

template <class T> T Message()
{
    T message;
    message.MessageId = T::CMessageId;
    message.Priority = CMessage::DefaultPriority;
    return message;
}

void ExpectVector(const CVector& actual, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, z);
}

TEST_F(PosRotTest, ClassesRegisterWithTheirFlagsParentsAndRttiBit)
{
    EXPECT_EQ(GObject::FindClassEntry(GPosRot::ClassId)->Flags, 0x00408000u);
    EXPECT_EQ(GObject::FindClassEntry(GTarget::ClassId)->Flags, 0x80008000u);
    EXPECT_EQ(GObject::FindClassEntry(GPosRot::ClassId)->pParent, nullptr);
    EXPECT_EQ(GObject::FindClassEntry(GTarget::ClassId)->pParent, GObject::FindClassEntry(GPosRot::ClassId));

    ASSERT_NE(GPosRot::RttiCode, 0u);
    EXPECT_EQ(GPosRot::RttiCode & (GPosRot::RttiCode - 1), 0u) << "a single bit of its own";
    EXPECT_EQ(GTarget::RttiCode, GPosRot::RttiCode);
    EXPECT_EQ(TPlaced::RttiCode, GPosRot::RttiCode);
    EXPECT_EQ(GPosRot::FromObject(MakeProbe(1)), nullptr);
}

TEST_F(PosRotTest, EditableFieldsCarryTheirNamesTypesAndFlags)
{
    GPosRot* object = GPosRot::Create();
    ZPtrArray<EditableInfo, 64> list;
    object->GetEditableInfoList(list);
    struct Expected {
        const char* name;
        const char* type;
        const void* member;
    };
    const Expected expected[] = {
        {"pMover", "CMover *", &object->pMover},
        {"LayoutId", "int", &object->LayoutId},
        {"Locator.Position.X", "float", &object->Position.x},
        {"Locator.Position.Y", "float", &object->Position.y},
        {"Locator.Position.Z", "float", &object->Position.z},
        {"Locator.Rotation.X", "float", &object->Rotation.x},
        {"Locator.Rotation.Y", "float", &object->Rotation.y},
        {"Locator.Rotation.Z", "float", &object->Rotation.z},
        {"Locator.Viewports", "int", &object->Viewports},
    };
    ASSERT_EQ(list.GetSize(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(list[i]->Name, expected[i].name);
        EXPECT_STREQ(list[i]->TypeName, expected[i].type);
        EXPECT_EQ(list[i]->Flags, EDITABLE_FROM_FILLDATA);
        EXPECT_EQ(reinterpret_cast<char*>(object) + list[i]->Place, expected[i].member);
    }
}

// The data members' order is part of the layout that stored objects and subclasses rely on.
TEST_F(PosRotTest, MembersFollowTheBaseInTheirOrder)
{
    GPosRot* o = GPosRot::Create();
    const char* at[] = {reinterpret_cast<char*>(&o->LayoutId),      reinterpret_cast<char*>(&o->pMover),
                        reinterpret_cast<char*>(&o->pCurrentMover), reinterpret_cast<char*>(&o->Position),
                        reinterpret_cast<char*>(&o->Rotation),      reinterpret_cast<char*>(&o->pLocation),
                        reinterpret_cast<char*>(&o->Viewports),     reinterpret_cast<char*>(&o->bSelected)};
    EXPECT_GE(at[0], reinterpret_cast<char*>(&o->LayoutDumped) + sizeof o->LayoutDumped);
    for (int i = 1; i < 8; ++i)
        EXPECT_LT(at[i - 1], at[i]) << i;
}

// The operations positioned objects add follow GObject's in the table, in this order.
TEST_F(PosRotTest, AddedOperationsFollowTheBaseTableInOrder)
{
    const DWORD last = VirtualSlot(&GObject::GetParentClassId);
    const DWORD added[] = {
        VirtualSlot(&GPosRot::GetMover),     VirtualSlot(&GPosRot::SetMover),    VirtualSlot(&GPosRot::GetPos),
        VirtualSlot(&GPosRot::GetRot),       VirtualSlot(&GPosRot::GetLocation), VirtualSlot(&GPosRot::SetPos),
        VirtualSlot(&GPosRot::SetRot),       VirtualSlot(&GPosRot::SetLocation), VirtualSlot(&GPosRot::SetPosRot),
        VirtualSlot(&GPosRot::GetAttachPos), VirtualSlot(&GPosRot::GetMenuData), VirtualSlot(&GPosRot::Select),
        VirtualSlot(&GPosRot::IsSelected),   VirtualSlot(&GPosRot::GetDwimIndex)};
    for (DWORD i = 0; i < sizeof added / sizeof added[0]; ++i)
        EXPECT_EQ(added[i], last + 1 + i) << i;
}

TEST_F(PosRotTest, CreationByClassIdAppliesStoredValuesAndPlacesThroughSetPos)
{
    CMover* mover = reinterpret_cast<CMover*>(0x00C0FFEE);
    FillData data;
    data.Float("Locator.Position.X", 1.5f).Float("Locator.Position.Y", -2.0f).Float("Locator.Position.Z", 3.0f);
    data.Float("Locator.Rotation.Z", 0.75f).Int("LayoutId", 12).Int("Locator.Viewports", 0x21);
    data.Raw("pMover", &mover, 4);
    TPlaced* object = static_cast<TPlaced*>(GObject::Create(TPlaced::ClassId, HGOBJECT(2), data.Get()));
    ASSERT_NE(object, nullptr);

    ExpectVector(object->GetPos(), 1.5f, -2.0f, 3.0f);
    ExpectVector(object->GetRot(), 0.0f, 0.0f, 0.75f);
    EXPECT_EQ(object->LayoutId, 12);
    EXPECT_EQ(object->Viewports, 0x21);
    EXPECT_EQ(object->GetMover(), mover) << "the stored mover is the one in use";
    EXPECT_EQ(object->GetLocation(), nullptr);
    EXPECT_EQ(object->SetPosCalls, 1);
    ExpectVector(object->LastSetPos, 1.5f, -2.0f, 3.0f);

    char text[64];
    EXPECT_STREQ(object->GetEditDataValue(text, object->GetClassEntry()->pEditable + 2), "1.5");
}

TEST_F(PosRotTest, ObjectsCreatedUnderAStartPositionStandRelativeToIt)
{
    GStartPosition* start = GStartPosition::Create();
    start->SetPos(CVector(100.0f, 200.0f, 5.0f));
    GStartPosition::pCurrent = start;
    FillData data;
    data.Float("Locator.Position.X", 1.0f).Float("Locator.Position.Y", 2.0f).Float("Locator.Position.Z", 3.0f);
    TPlaced* object = static_cast<TPlaced*>(GObject::Create(TPlaced::ClassId, 0, data.Get()));
    GStartPosition::pCurrent = nullptr;

    ExpectVector(object->GetPos(), 101.0f, 202.0f, 8.0f);
    ExpectVector(object->LastSetPos, 101.0f, 202.0f, 8.0f);

    GStartPosition::pCurrent = start;
    start->Destroy();
    EXPECT_EQ(GStartPosition::pCurrent, nullptr) << "a start position that is gone is not current";
}

TEST_F(PosRotTest, PositionAndRotationMessagesMoveTheObject)
{
    GPosRot* object = GPosRot::Create();
    CSetPosMessage position = Message<CSetPosMessage>();
    position.Pos = CVector(4.0f, 5.0f, 6.0f);
    CSetRotMessage rotation = Message<CSetRotMessage>();
    rotation.Rot = CVector(0.1f, 0.2f, 0.3f);
    EXPECT_TRUE(object->ReceiveMessage(&position));
    EXPECT_TRUE(object->ReceiveMessage(&rotation));
    ExpectVector(object->GetPos(), 4.0f, 5.0f, 6.0f);
    ExpectVector(object->GetRot(), 0.1f, 0.2f, 0.3f);
}

TEST_F(PosRotTest, CreateMessageWithATemplateMakesTheTemplatesObjectWhereTheMessageSays)
{
    FillData templateData;
    templateData.Int("LayoutId", 77);
    const DWORD templateKey = CCRC32::GetCRC("TestPosRotTemplate");
    EmbeddedRecordForTest creation = {0, TPlaced::ClassId, CCRC32::GetCRC("Placed"), templateData.Get(), 3};
    CZelFixupManager::SetAddress(templateKey, &creation);
    GPosRot* receiver = GPosRot::Create();

    struct Case {
        DWORD handle;
        WORD player;
    };
    const Case cases[] = {
        {0x12340005, 5}, // the message's own handle
        {0xFFFFFFFF, 3}, // the template's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handle);
        CCreateMessage create = Message<CCreateMessage>();
        create.TemplateId = templateKey;
        create.ClassId = 0;
        create.hObject = c.handle;
        create.Pos = CVector(7.0f, 8.0f, 9.0f);
        create.Rot = CVector(0.0f, 0.0f, 1.0f);
        ASSERT_TRUE(receiver->ReceiveMessage(&create));

        GPosRot* made = GPosRot::pLastCreated;
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->GetClassId(), TPlaced::ClassId);
        EXPECT_EQ(made->GetLabel(), CCRC32::GetCRC("Placed"));
        EXPECT_EQ(made->LayoutId, 77);
        EXPECT_EQ(made->GetHandle().Player(), c.player);
        if (c.handle != 0xFFFFFFFF) {
            EXPECT_EQ(static_cast<DWORD>(made->GetHandle()), c.handle);
        }
        ExpectVector(made->GetPos(), 7.0f, 8.0f, 9.0f);
        ExpectVector(made->GetRot(), 0.0f, 0.0f, 1.0f);
    }
    CZelFixupManager::SetAddress(templateKey, nullptr);
}

TEST_F(PosRotTest, CreateMessagesByClassIdPlaceOnlyPositionedObjects)
{
    GPosRot* receiver = GPosRot::Create();
    CCreateMessage create = Message<CCreateMessage>();
    create.TemplateId = 0;
    create.ClassId = GTarget::ClassId;
    create.hObject = 0x00000004;
    create.Pos = CVector(1.0f, 1.0f, 0.0f);
    create.Rot = CVector(0.0f, 0.0f, 2.0f);
    ASSERT_TRUE(receiver->ReceiveMessage(&create));
    GPosRot* target = GPosRot::pLastCreated;
    EXPECT_EQ(target->GetClassId(), GTarget::ClassId);
    EXPECT_EQ(target->GetHandle().Player(), 4);
    ExpectVector(target->GetPos(), 1.0f, 1.0f, 0.0f);

    CCreateIdMessage byId = Message<CCreateIdMessage>();
    byId.ClassId = TPlaced::ClassId;
    byId.hObject = 0x00000002;
    byId.Pos = CVector(-1.0f, 0.0f, 0.0f);
    byId.Rot = CVector(0.0f, 0.0f, 0.5f);
    ASSERT_TRUE(receiver->ReceiveMessage(&byId));
    EXPECT_EQ(GPosRot::pLastCreated->GetClassId(), TPlaced::ClassId);
    ExpectVector(GPosRot::pLastCreated->GetRot(), 0.0f, 0.0f, 0.5f);

    // Unregistered, not positioned, nothing named, or a template no file defines: false.
    GPosRot* last = GPosRot::pLastCreated;
    create.ClassId = 0x0BADC1A5;
    EXPECT_FALSE(receiver->ReceiveMessage(&create));
    create.ClassId = TProbe::ClassId;
    EXPECT_FALSE(receiver->ReceiveMessage(&create));
    create.ClassId = 0;
    EXPECT_FALSE(receiver->ReceiveMessage(&create));
    create.TemplateId = CCRC32::GetCRC("NoSuchTemplate");
    EXPECT_FALSE(receiver->ReceiveMessage(&create));
    byId.ClassId = TProbe::ClassId;
    EXPECT_FALSE(receiver->ReceiveMessage(&byId));
    EXPECT_EQ(GPosRot::pLastCreated, last);

    // The last created object is forgotten when it goes.
    last->Destroy();
    EXPECT_EQ(GPosRot::pLastCreated, nullptr);
}

TEST_F(PosRotTest, AnimationMessagesPlayTheirSoundAtTheObject)
{
    GPosRot* object = MakeAt(CVector(3.0f, 4.0f, 5.0f));
    CAnimMessage sound = Message<CAnimMessage>();
    sound.SoundId = CCRC32::GetCRC("Footstep");
    EXPECT_TRUE(object->ReceiveMessage(&sound)) << "handled without a sound system";

    // A definition of that name with one silent sample in memory; without a fade factor the
    // sound is heard in full wherever it is in front of the camera.
    ResetTransformState();
    GSoundSystem* system = GSoundSystem::Create();
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    const short silence[64] = {};
    std::vector<unsigned char> sampleBytes, definitionBytes;
    CSoundSample* sample = BuildMemorySample(sampleBytes, format, silence, sizeof silence, 22050);
    CSoundDefinition* definition = BuildDefinition(definitionBytes, {"Footstep", 0, 1.0f, 0.0f, 1.0f}, {sample});

    EXPECT_TRUE(object->ReceiveMessage(&sound));
    EXPECT_EQ(definition->UseCount, 1);
    EXPECT_EQ(GSoundSystem::Voices[0].pDefinition, definition);
    EXPECT_FLOAT_EQ(GSoundSystem::Voices[0].Projected.z, World2View(0, CVector(3.0f, 4.0f, 5.0f)).z);
    system->Destroy();
    EXPECT_EQ(definition->UseCount, 0);
    definition->~CSoundDefinition();
    sample->~CSoundSample();
}

TEST_F(PosRotTest, DestroyMessagesDestroyAndOtherTypesGoToTheParent)
{
    TPassedTo* parent = static_cast<TPassedTo*>(GObject::Create(TPassedTo::ClassId, 0, nullptr));
    GPosRot* child = static_cast<GPosRot*>(parent->Create(TPlaced::ClassId, nullptr));
    const HGOBJECT handle = child->GetHandle();

    CVeskUpdateMessage other = Message<CVeskUpdateMessage>();
    EXPECT_TRUE(child->ReceiveMessage(&other));
    EXPECT_EQ(parent->LastType, 20u);
    parent->Refuse = true;
    parent->LastType = 0;
    EXPECT_FALSE(child->ReceiveMessage(&other));
    EXPECT_EQ(parent->LastType, 0u);
    EXPECT_FALSE(GPosRot::Create()->ReceiveMessage(&other)) << "the root answers nothing";

    CDestroyMessage destroy = Message<CDestroyMessage>();
    EXPECT_TRUE(child->ReceiveMessage(&destroy));
    EXPECT_EQ(GObject::GetGobject(handle), nullptr);
}

// Headings are measured from -y towards +x.
TEST_F(PosRotTest, AnglesDeflectionsAndPitchesFollowTheHeadingConvention)
{
    const float pi = fmPi;
    struct Case {
        CVector to;
        float heading;
        float angle;
        float deflection;
    };
    const Case cases[] = {
        {CVector(0.0f, -1.0f, 0.0f), 0.0f, 0.0f, 0.0f},
        {CVector(1.0f, 0.0f, 0.0f), 0.0f, pi / 2, pi / 2},
        {CVector(-1.0f, 0.0f, 0.0f), 0.0f, -pi / 2, -pi / 2},
        {CVector(1.0f, 0.0f, 0.0f), 2 * pi + pi / 4, pi / 2, pi / 4}, // heading reduced first
        {CVector(1.0f, 0.0f, 0.0f), -pi / 4, pi / 2, 3 * pi / 4},
        {CVector(-1.0f, 0.0f, 0.0f), 3 * pi / 4, -pi / 2, 3 * pi / 4}, // wrapped into -π..π
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.to.x << "," << c.to.y << " heading " << c.heading);
        GPosRot* object = MakeAt(CVector(0.0f, 0.0f, 0.0f), c.heading);
        EXPECT_NEAR(object->GetAngle(c.to), c.angle, kEpsilon);
        EXPECT_NEAR(object->GetDeflection(c.to), c.deflection, kEpsilon);
        EXPECT_EQ(object->IsFacing(c.to, 0.1f), fabsf(c.deflection) < 0.1f);
    }

    GPosRot* object = MakeAt(CVector(0.0f, 0.0f, 0.0f));
    EXPECT_NEAR(object->GetPitch(CVector(0.0f, -1.0f, 1.0f)), pi / 4, kEpsilon);
    EXPECT_NEAR(object->GetPitch(CVector(0.0f, -1.0f, -1.0f)), 2 * pi - pi / 4, kEpsilon) << "never negative";
    const CVector from(10.0f, 10.0f, 0.0f);
    EXPECT_NEAR(object->GetAngle(CVector(10.0f, 9.0f, 0.0f), &from), 0.0f, kEpsilon);
    EXPECT_TRUE(object->IsFacing(CVector(0.05f, -1.0f, 0.0f), 0.1f));
}

TEST_F(PosRotTest, RangesAreHorizontal)
{
    GPosRot* object = MakeAt(CVector(1.0f, 1.0f, 0.0f));
    EXPECT_FLOAT_EQ(object->GetRangeSq(CVector(4.0f, 5.0f, 100.0f)), 25.0f);
    EXPECT_TRUE(object->IsInRange(CVector(4.0f, 5.0f, -100.0f), 25.0f));
    EXPECT_FALSE(object->IsInRange(CVector(4.0f, 5.0f, 0.0f), 24.9f));
    const CVector from(4.0f, 5.0f, 0.0f);
    EXPECT_FLOAT_EQ(object->GetRangeSq(CVector(4.0f, 6.0f, 0.0f), &from), 1.0f);
}

TEST_F(PosRotTest, FilterRefusesThePlayersItsFlagsName)
{
    const WORD players[] = {0, 1, 2, 10};
    HGOBJECT handles[4];
    for (int i = 0; i < 4; ++i)
        handles[i] =
            GObject::Create(GTarget::ClassId, HGOBJECT(0x70000000u + (i << 16) + players[i]), nullptr)->GetHandle();

    struct Case {
        DWORD flags;
        bool passes[4];
    };
    const Case cases[] = {
        {0, {true, true, true, true}},
        {GPosRot::FILTER_NOT_NEUTRAL, {false, true, true, false}},
        {GPosRot::FILTER_NOT_PLAYER_1, {true, false, true, true}},
        {GPosRot::FILTER_ONLY_PLAYER_1, {false, true, false, false}},
        {GPosRot::FILTER_NOT_NEUTRAL | GPosRot::FILTER_NOT_PLAYER_1, {false, false, true, false}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(GPosRot::Filter(handles[i], c.flags) != nullptr, c.passes[i])
                << "flags " << c.flags << " player " << players[i];

    const HGOBJECT probe = GObject::Create(TProbeHandled::ClassId, HGOBJECT(2), nullptr)->GetHandle();
    EXPECT_EQ(GPosRot::Filter(probe, 0), nullptr) << "not positioned";
    GObject::GetGobject(handles[2])->Destroy();
    EXPECT_EQ(GPosRot::Filter(handles[2], 0), nullptr) << "gone";
}

TEST_F(PosRotTest, TargetsSleepUntilWoken)
{
    GTarget* target = GTarget::Create();
    EXPECT_TRUE(target->Asleep());
    RunFrame(1000.0f);
    EXPECT_TRUE(target->Asleep());
    target->Wakeup();
    EXPECT_FALSE(target->Asleep());
    EXPECT_FALSE(GPosRot::Create()->Asleep());
}

} // namespace
