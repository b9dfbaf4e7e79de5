// Editable fields: descriptor tables, type codes, creation data in layers, embedded objects,
// saved-game records, text forms and named lookups.
#include <string.h>

#include <string>

#include "ObjectTestSupport.h"
#include "TestClasses.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

class EditableTest : public ObjectTest {
protected:
    // Default data stays registered for the whole test, so it lives as long as the fixture.
    FillData baseDefaults;
    FillData derivedDefaults;

    void TearDown() override
    {
        GObject::RegisterDefaultData(TFields::ClassId, nullptr);
        GObject::RegisterDefaultData(TFieldsDerived::ClassId, nullptr);
        ObjectTest::TearDown();
    }
    static EditableInfo* Field(GObject* object, const char* name)
    {
        for (EditableInfo* info = object->GetClassEntry()->pEditable; info->Crc != 0; ++info)
            if (strcmp(info->Name, name) == 0)
                return info;
        return nullptr;
    }
    static TFields* MakeFields(EditableFillData* data = nullptr, DWORD classId = TFields::ClassId)
    {
        return static_cast<TFields*>(GObject::Create(classId, 0, data));
    }
};

TEST_F(EditableTest, TheTableListsBaseFieldsFirstWithSizesPlacesAndTypeCodes)
{
    TFieldsDerived* object = static_cast<TFieldsDerived*>(MakeFields(nullptr, TFieldsDerived::ClassId));
    ZPtrArray<EditableInfo, 64> list;
    object->GetEditableInfoList(list);
    ASSERT_EQ(list.GetSize(), 12);

    struct Row {
        const char* name;
        WORD size;
        BYTE type;
        DWORD place;
    };
    const Row rows[] = {
        {"Speed", 4, EDITABLE_FLOAT, DWORD(reinterpret_cast<char*>(&object->Speed) - reinterpret_cast<char*>(object))},
        {"Count", 4, EDITABLE_INT, DWORD(reinterpret_cast<char*>(&object->Count) - reinterpret_cast<char*>(object))},
        {"Kind", 4, EDITABLE_CRC32, DWORD(reinterpret_cast<char*>(&object->Kind) - reinterpret_cast<char*>(object))},
        {"pLinks", 8, EDITABLE_POINTER_ARRAY,
         DWORD(reinterpret_cast<char*>(object->pLinks) - reinterpret_cast<char*>(object))},
        {"Flag", 1, EDITABLE_BOOL, DWORD(reinterpret_cast<char*>(&object->Flag) - reinterpret_cast<char*>(object))},
        {"Vec", 12, EDITABLE_ARRAY, DWORD(reinterpret_cast<char*>(object->Vec) - reinterpret_cast<char*>(object))},
        {"Extra", 4, EDITABLE_INT, DWORD(reinterpret_cast<char*>(&object->Extra) - reinterpret_cast<char*>(object))},
    };
    for (const Row& row : rows) {
        EditableInfo* info = Field(object, row.name);
        ASSERT_NE(info, nullptr) << row.name;
        EXPECT_EQ(info->Crc, CCRC32::GetCRC(row.name)) << row.name;
        EXPECT_EQ(info->Size, row.size) << row.name;
        EXPECT_EQ(info->Type, row.type) << row.name;
        EXPECT_EQ(info->Place, row.place) << row.name;
    }
    EXPECT_STREQ(list[0]->Name, "Speed");
    EXPECT_STREQ(list[11]->Name, "Extra");
}

TEST_F(EditableTest, CalcTypeDecidesTheCodeAndWarnsAboutWhatSavesCannotHandle)
{
    struct Case {
        const char* type;
        DWORD size;
        BYTE code;
        const char* warning;
    };
    const Case cases[] = {
        {"bool", 1, EDITABLE_BOOL, nullptr},
        {"float", 4, EDITABLE_FLOAT, nullptr},
        {"DWORD", 4, EDITABLE_DWORD, nullptr},
        {"CZelHandle", 4, EDITABLE_ZELHANDLE, nullptr},
        {"CMover *", 4, EDITABLE_POINTER, nullptr},
        {"CMover *", 16, EDITABLE_POINTER_ARRAY, nullptr},
        {"float", 12, EDITABLE_ARRAY, nullptr},
        {"int", 1, EDITABLE_INT, "Editable: int Field must be a bool that's defined as int. (1)\n"},
        {"short", 2, EDITABLE_INVALID, "Editable: short Field is an invalid type, Load/Save won't work!\n"},
        {"CZelHandle", 8, EDITABLE_ARRAY,
         "Editable: CZelHandle Field Looks like an array of ZELHANDLES - and we don't support that.\n"},
        {"float *", 8, EDITABLE_POINTER_ARRAY,
         "Editable: float * Field is going to be treated as an array of pointers!\n"},
    };
    for (const Case& c : cases) {
        EditableInfo info;
        const std::string printed = CaptureStdout([&] { info.Set("Field", c.size, 1, 0, c.type); });
        EXPECT_EQ(info.Type, c.code) << c.type << " " << c.size;
        EXPECT_EQ(printed, c.warning != nullptr ? c.warning : "") << c.type << " " << c.size;
    }
}

TEST_F(EditableTest, DefaultsApplyDeepestAncestorFirstThenTheObjectsOwnDataWhereTheLastRecordWins)
{
    baseDefaults.Float("Speed", 1.5f).Int("Count", 2).Word("Mask", 0x10);
    derivedDefaults.Int("Count", 7).Int("Extra", 9);
    GObject::RegisterDefaultData(TFields::ClassId, baseDefaults.Get());
    GObject::RegisterDefaultData(TFieldsDerived::ClassId, derivedDefaults.Get());

    FillData own;
    own.Float("Speed", 3.0f).Int("Count", 4).Int("Count", 5).Int("Unknown", 1);
    TFieldsDerived* object = static_cast<TFieldsDerived*>(MakeFields(own.Get(), TFieldsDerived::ClassId));
    EXPECT_EQ(object->Speed, 3.0f);
    EXPECT_EQ(object->Count, 5);
    EXPECT_EQ(object->Mask, 0x10u);
    EXPECT_EQ(object->Extra, 9);
    EXPECT_EQ(object->CountSeenByConstructor, 5.0f) << "constructors see the applied data";

    object->Count = 100;
    object->Extra = 100;
    object->ResetEditableInfo(0x11);
    EXPECT_EQ(object->Count, 7);
    EXPECT_EQ(object->Extra, 9);
}

TEST_F(EditableTest, RecordsOnFourByteBoundariesAreWalkedPastTheirPadding)
{
    FillData data;
    const bool on = true;
    data.Raw("Flag", &on, 1).Int("Count", 42);
    TFields* object = MakeFields(data.Get());
    EXPECT_TRUE(object->Flag);
    EXPECT_EQ(object->Count, 42);
}

// A record longer than its field, or an element beyond the array, must not write into the
// members that follow.
TEST_F(EditableTest, WritesStopAtTheEndOfTheirField)
{
    FillData data;
    const float three[3] = {7.0f, 8.0f, 9.0f};
    data.Word("Narrow", 0xAABBCCDD).Float("Vec", 1.0f, 2).Float("Vec", 2.0f, 3).Raw("Speed", three, 12);
    TFields* object = MakeFields(data.Get());
    EXPECT_EQ(object->Narrow, 0xDD);
    EXPECT_EQ(object->Guard[0] | object->Guard[1] | object->Guard[2], 0);
    EXPECT_EQ(object->Vec[2], 1.0f);
    EXPECT_FALSE(object->Flag);
    EXPECT_EQ(object->Speed, 7.0f);
    EXPECT_EQ(object->Count, 0);

    object->SetEditDataValue("0x1234", Field(object, "Narrow"));
    EXPECT_EQ(object->Narrow, 0x34);
    EXPECT_EQ(object->Guard[0] | object->Guard[1] | object->Guard[2], 0);
}

TEST_F(EditableTest, EmbeddedRecordsCreateLabelledChildrenAndReplaceThePreviousOne)
{
    static EmbeddedRecordForTest defaultChild = {0, TEmbedded::ClassId, CCRC32::GetCRC("first"), nullptr, 0};
    baseDefaults.Embedded(CCRC32::GetCRC("pChild"), &defaultChild);
    GObject::RegisterDefaultData(TFields::ClassId, baseDefaults.Get());

    TFields* plain = MakeFields();
    ASSERT_NE(plain->pChild, nullptr);
    EXPECT_EQ(plain->pChild->Status, STATUS_DEFAULT_OBJECT);
    EXPECT_FALSE(plain->pChild->GetHandle().IsNull());
    EXPECT_EQ(plain->pChild->GetParent(), plain);
    EXPECT_EQ(plain->pChild->GetLabel(), CCRC32::GetCRC("first"));

    EmbeddedRecordForTest ownChild = {0, TEmbedded::ClassId, CCRC32::GetCRC("second"), nullptr, 0};
    EmbeddedRecordForTest loose = {0, TEmbedded::ClassId, CCRC32::GetCRC("loose"), nullptr, 0};
    EmbeddedRecordForTest unknown = {0, CCRC32::GetCRC("NoSuchClass"), 0, nullptr, 0};
    FillData own;
    own.Embedded(CCRC32::GetCRC("pChild"), &ownChild)
        .Embedded(FILLDATA_UNSTORED_CHILD, &loose)
        .Embedded(CCRC32::GetCRC("pChild"), &unknown);
    const int destroyedBefore = TEmbedded::Destroyed;
    TFields* object = nullptr;
    const std::string printed = CaptureStdout([&] { object = MakeFields(own.Get()); });

    EXPECT_EQ(TEmbedded::Destroyed, destroyedBefore + 1) << "the default child is replaced";
    EXPECT_EQ(object->pChild->GetLabel(), CCRC32::GetCRC("second"));
    EXPECT_EQ(object->pChild->Status, STATUS_LIVE);
    EXPECT_NE(GObject::Find(CCRC32::GetCRC("loose")), nullptr);
    EXPECT_EQ(GObject::Find(CCRC32::GetCRC("loose"))->GetParent(), object);
    EXPECT_NE(printed.find("unknown class"), std::string::npos) << printed;
}

TEST_F(EditableTest, SavedGameRecordsResolveLabelsAndReachFieldsCreationDataCannot)
{
    TFields* object = MakeFields();
    GObject* target = TProbe::Create();
    target->SetLabel(CCRC32::GetCRC("target"));
    GObject* kept = TProbe::Create();
    object->pLinks[1] = kept;

    FillData labels;
    const DWORD keys[2] = {CCRC32::GetCRC("target"), 0};
    labels.Raw("pLinks", keys, 8, 0, FILLDATA_EMBEDDED_POINTER);
    object->SetOneEditable(labels.Get(), 0);
    EXPECT_EQ(object->pLinks[0], target);
    EXPECT_EQ(object->pLinks[1], kept);

    FillData hidden;
    hidden.Int("Hidden", 0x40400000); // a field never set at creation
    object->SetEditableInfo(hidden.Get(), nullptr, 0x11, false);
    EXPECT_EQ(object->CountSeenByConstructor, 0.0f);
    object->SetOneEditable(hidden.Get(), 0);
    EXPECT_EQ(object->CountSeenByConstructor, 3.0f);
}

TEST_F(EditableTest, TextFormsRoundTripByDeclaredType)
{
    TFields* object = MakeFields();
    struct Case {
        const char* field;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Speed", "2.5", "2.5"},
        {"Count", "-7", "-7"},
        {"Mask", "0x1F", "0x1f"},
        {"Mask", "017", "0xf"},
        {"Mask", "300", "0x12c"},
        {"Kind", "TProbe", "TProbe"},
        {"Kind", "0xDEADBEEF", "0xdeadbeef"},
    };
    char buffer[64];
    for (const Case& c : cases) {
        EditableInfo* info = Field(object, c.field);
        object->SetEditDataValue(c.in, info);
        const char* text = object->GetEditDataValue(buffer, info);
        ASSERT_NE(text, nullptr) << c.field;
        EXPECT_STREQ(text, c.out) << c.field << " " << c.in;
    }
    EXPECT_EQ(object->GetEditDataValue(buffer, Field(object, "Flag")), nullptr);
    EXPECT_STREQ(object->GetEditDataValue(buffer, Field(object, "pChild")), "null");
}

TEST_F(EditableTest, SymbolRecordsTakeTheEntrysValueOrItsAddress)
{
    static int exported = 5;
    const DWORD key = CCRC32::GetCRC("EditableTest.exported");
    CZelFixupManager::SetAddress(key, &exported);
    TFields* object = MakeFields();
    GObject* kept = TProbe::Create();
    object->pLinks[1] = kept;

    FillData data;
    const DWORD keys[2] = {key, 0};
    data.Raw("pLinks", keys, 8, 0, FILLDATA_ZEL_POINTER).Word("ZelHandle", key, FILLDATA_ZEL_HANDLE);
    object->SetEditableInfo(data.Get(), nullptr, 0x11, false);
    EXPECT_EQ(object->pLinks[0], reinterpret_cast<GObject*>(&exported));
    EXPECT_EQ(object->pLinks[1], kept) << "a zero key keeps the element";
    EXPECT_EQ(object->ZelHandle, reinterpret_cast<DWORD>(CZelFixupManager::GetHashEntry(key)));
    EXPECT_NE(object->ZelHandle, 0u);
}

TEST_F(EditableTest, KeysAndPointersReadAsTheBestNameTheTablesKnow)
{
    static int exported = 7;
    static int placedRecord = 8;
    const DWORD symbolKey = CCRC32::GetCRC("EditableTest.symbol");
    CZelFixupManager::SetAddress(symbolKey, &exported);
    CZelFixupManager::SetLabel(symbolKey, "EditableTest.symbol");
    CVeskExtraData::Create("EditableTest.placed");
    CZelFixupManager::SetAddress(CCRC32::GetCRC("EditableTest.placed"), &placedRecord);
    CZelFixupManager::SetLabel(CCRC32::GetCRC("EditableTest.placed"), "symbol label loses");

    TFields* object = MakeFields();
    EditableInfo* kind = Field(object, "Kind");
    EditableInfo* pointer = Field(object, "pChild");
    char buffer[64];
    object->SetEditDataValue("EditableTest.placed", kind);
    EXPECT_STREQ(object->GetEditDataValue(buffer, kind), "EditableTest.placed");
    object->SetEditDataValue("EditableTest.symbol", kind);
    EXPECT_STREQ(object->GetEditDataValue(buffer, kind), "EditableTest.symbol");

    object->SetEditDataValue("EditableTest.symbol", pointer);
    EXPECT_EQ(object->pChild, reinterpret_cast<GObject*>(&exported));
    object->SetEditDataValue("EditableTest.nothing", pointer);
    EXPECT_EQ(object->pChild, reinterpret_cast<GObject*>(&exported)) << "an unknown symbol stores nothing";
    EXPECT_STREQ(object->GetEditDataValue(buffer, pointer), "EditableTest.symbol");
}

TEST_F(EditableTest, GetDataItemMatchesNameAndLengthAndClimbsTheClassChain)
{
    baseDefaults.Float("Speed", 1.25f).Int("Count", 3);
    const short narrow = 5;
    derivedDefaults.Raw("Count", &narrow, 2);
    GObject::RegisterDefaultData(TFields::ClassId, baseDefaults.Get());
    GObject::RegisterDefaultData(TFieldsDerived::ClassId, derivedDefaults.Get());

    int count = 0;
    EXPECT_FALSE(GObject::GetDataItem(count, "Count", derivedDefaults.Get()));
    EXPECT_TRUE(GObject::GetDataItem(count, "Count", TFieldsDerived::ClassId));
    EXPECT_EQ(count, 3);
    float speed = 0;
    EXPECT_TRUE(GObject::GetDataItem(speed, "Speed", TFieldsDerived::ClassId));
    EXPECT_EQ(speed, 1.25f);
    EXPECT_FALSE(GObject::GetDataItem(speed, "Missing", TFieldsDerived::ClassId));
    EXPECT_FALSE(GObject::GetDataItem(speed, "Speed", CCRC32::GetCRC("NoSuchClass")));
}

} // namespace
