// The type database: builtins, the byte-for-byte layout rule, member lookup through bases and
// unnamed unions, filling records member by member, constants, member lists and the type file.
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"

#include "FatalTest.h"
#include "TypeFixtures.h"
#include "ZelFiles.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace typefixtures;

namespace {

class TypeDatabaseTest : public testing::Test {
protected:
    void SetUp() override { TypeDatabase.Reset(); }
    void TearDown() override { TypeDatabase.Reset(); }

    static CConstant* AddConstant(const char* name, const char* type, const char* value)
    {
        CConstant* constant = TypeDatabase.NewConstant();
        constant->SetName(name);
        constant->Value.Set(type, value);
        return constant;
    }
};

TEST_F(TypeDatabaseTest, BuiltinsComeInOrderWithTheirSizes)
{
    const char* names[] = {"pointer",     "offset",        "float",         "double",       "unsigned",
                           "signed",      "unsigned char", "unsigned long", "unsigned int", "unsigned short",
                           "signed char", "signed long",   "signed int",    "signed short", "char",
                           "long",        "int",           "short",         "bool",         "__int64",
                           "CCRC32"};
    const unsigned long sizes[] = {4, 2, 4, 8, 4, 4, 1, 4, 4, 2, 1, 4, 4, 2, 1, 4, 4, 2, 1, 8, 4};
    ASSERT_EQ(TypeDatabase.GetSize(), 21);
    for (int i = 0; i < 21; ++i) {
        EXPECT_STREQ(TypeDatabase[i]->GetName(), names[i]);
        EXPECT_EQ(TypeDatabase[i]->Size, sizes[i]) << names[i];
        EXPECT_EQ(TypeDatabase.FindType(names[i]), TypeDatabase[i]);
    }
    EXPECT_EQ(TypeDatabase.FindType("CVector"), nullptr);
    EXPECT_FATAL(TypeDatabase.FindType("CVector", true), "Could not locate type information for CVector");
}

TEST_F(TypeDatabaseTest, LayoutHasNoPaddingAndCountsTablePointersOnce)
{
    CType* message = Message();
    EXPECT_EQ(message->Size, 12u);
    CType* variable = NewType("CVariableLengthMessage", CType::Class, message);
    CMember* size = Add(variable, "Size", "unsigned short");
    EXPECT_EQ(size->Offset, 12u);
    EXPECT_EQ(variable->Size, 14u);

    CType* vector = Vector();
    EXPECT_EQ(vector->Size, 12u);
    EXPECT_EQ(vector->Members[1]->Type->Size, 4u);
    unsigned long offset = 0;
    EXPECT_NE(vector->FindMember("Y", offset), nullptr);
    EXPECT_EQ(offset, 4u);
    offset = 0;
    EXPECT_NE(vector->FindMember("Blue", offset), nullptr);
    EXPECT_EQ(offset, 8u);

    CType* root = NewType("Root", CType::Class, nullptr, true);
    CMember* first = Add(root, "First", "unsigned char");
    EXPECT_EQ(first->Offset, 4u);
    CType* derived = NewType("Derived", CType::Class, root);
    CMember* second = Add(derived, "Second", "unsigned short");
    EXPECT_TRUE(derived->HasTablePointer);
    EXPECT_EQ(second->Offset, 5u);
    EXPECT_EQ(derived->Size, 7u);

    CType* odd = NewType("Odd", CType::Struct);
    Add(odd, "Unknown", "NoSuchType");
    Add(odd, "Bits", "unsigned char");
    odd->Members.back()->BitWidth = 3;
    odd->ComputeLayout(false);
    EXPECT_EQ(odd->Members[0]->Size, 4u);
    EXPECT_EQ(odd->Size, 5u);
}

TEST_F(TypeDatabaseTest, PathsReachMembersThroughBasesAndUnnamedUnions)
{
    CType* colour = NewType("ColourRGB", CType::Struct, Vector());
    CType* material = NewType("Material", CType::Struct);
    Add(material, "Head", "unsigned char", 36);
    Add(material, "Diffuse", "ColourRGB");
    unsigned long offset = 99;
    CMember* member = nullptr;
    EXPECT_EQ(material->FindMemberPath("Diffuse.Y", offset, &member), TypeDatabase.FindType("float"));
    EXPECT_EQ(offset, 40u);
    EXPECT_EQ(member->Name, "Y");
    EXPECT_EQ(material->FindMemberPath("Diffuse.W", offset), nullptr);
    EXPECT_EQ(material->FindNestedType("Diffuse.Y", "CVector"), nullptr);
    EXPECT_EQ(material->FindNestedType("Diffuse.Y", "ColourRGB"), colour);
    EXPECT_EQ(material->FindNestedType("Diffuse", "Material"), material);
}

TEST_F(TypeDatabaseTest, RecordsAreFilledMemberByMember)
{
    AddConstant("SOUND_LOOP", "unsigned long", "8");
    CType* sound = NewType("Sound", CType::Class, StaticResource());
    Add(sound, "Flags", "unsigned long");
    Add(sound, "Volume", "float");
    Add(sound, "pNext", "Sound *");
    Add(sound, "Rel", "offset");
    Add(sound, "Extra", "unsigned char", 0);
    ASSERT_EQ(sound->Size, 18u);

    CZelWriter writer;
    writer.Open(nullptr);
    writer.WriteData("xy", 1, 2, nullptr);
    sound->Begin(writer, "Snd", true, 0);
    EXPECT_EQ(sound->RecordStart, 4u);
    ZVariant flags;
    flags.SetString("SOUND_LOOP");
    EXPECT_EQ(sound->Dump(writer, "Flags", flags, true, nullptr), 22u);
    ZVariant volume;
    volume.Set("signed long", "3");
    sound->Dump(writer, "Volume", volume, false, nullptr);
    ZVariant extra;
    extra.SetString("ab");
    EXPECT_EQ(sound->Dump(writer, "Extra", extra, false, nullptr), 25u);
    EXPECT_EQ(sound->Dump(writer, "Missing", volume, false, nullptr), 25u);
    EXPECT_EQ(sound->AdjustOffset(writer, "Volume"), TypeDatabase.FindType("float"));
    EXPECT_EQ(writer.GetPosition(), 12u);
    sound->AdjustOffset(writer, nullptr);
    EXPECT_EQ(writer.GetPosition(), 25u);
    writer.Finish();

    // Without the lookup a constant's name reads as 0.
    sound->Begin(writer, nullptr, false, 0);
    ZVariant flagsAgain;
    flagsAgain.SetString("SOUND_LOOP");
    sound->Dump(writer, "Flags", flagsAgain, false, nullptr);
    EXPECT_EQ(static_cast<unsigned long>(TypeDatabase.FindType("unsigned long")->Scratch), 0u);
    sound->Dump(writer, "Flags", flagsAgain, true, nullptr);
    EXPECT_EQ(static_cast<unsigned long>(TypeDatabase.FindType("unsigned long")->Scratch), 8u);
}

TEST_F(TypeDatabaseTest, ConstantsAreFoundByNameOrValue)
{
    AddConstant("CSetPosMessage_DefaultPriority", "signed long", "10");
    AddConstant("CSetPosMessage_CMessageId", "signed long", "17");
    AddConstant("CSetRotMessage_CMessageId", "signed long", "18");
    AddConstant("INPUT_CONFIG_ALL", "unsigned long", "0x008000FF");
    EXPECT_EQ(TypeDatabase.GetConstant("INPUT_CONFIG_ALL"), 0x008000FFu);
    EXPECT_EQ(TypeDatabase.GetConstant("NOPE"), 0u);
    EXPECT_STREQ(TypeDatabase.FindConstantByValue(nullptr, "_CMessageId", 17)->GetName(), "CSetPosMessage_CMessageId");
    EXPECT_STREQ(TypeDatabase.FindConstantByValue("CSetRot", nullptr, 18)->GetName(), "CSetRotMessage_CMessageId");
    EXPECT_EQ(TypeDatabase.FindConstantByValue(nullptr, "_CMessage", 17), nullptr);
    EXPECT_FATAL(TypeDatabase.GetConstant("NOPE", true), "Constant named NOPE expected, not found");
}

TEST_F(TypeDatabaseTest, DumpingWithoutBeginOrIntoARecordIsFatal)
{
    CType* vector = Vector();
    ZVariant one;
    one.Set("float", "1");
    CZelWriter writer;
    writer.Open(nullptr);
    EXPECT_FATAL(vector->Dump(writer, "X", one, false, nullptr), "Dumpsize==0 - likely that means that Begin");
    EXPECT_FATAL(
        {
            Message()->Begin(writer, nullptr, false, 0);
            Message()->Dump(writer, "hRecipient", one, false, nullptr);
        },
        "Type not dumpable");
}

TEST_F(TypeDatabaseTest, MemberListsGiveThePathsThatDumpReaches)
{
    CType* setPos = SetPosMessage();
    ASSERT_EQ(setPos->Size, 24u);
    unsigned char image[24] = {};
    const unsigned long id = 17, handle = 0x00050002;
    const float y = 2.5f;
    memcpy(image, &id, 4);
    memcpy(image + 4, &handle, 4);
    image[8] = 10;
    memcpy(image + 16, &y, 4);
    setPos->BuildMemberList(image);
    struct Expected {
        const char* path;
        const char* type;
        const char* value;
        bool root;
    };
    const Expected expected[] = {
        {"MessageId", "unsigned long", "17", true}, {"hRecipient.Handle", "unsigned long", "327682", true},
        {"Priority", "unsigned char", "10", true},  {"Pos.X", "float", "0.000000", false},
        {"Pos.Y", "float", "2.500000", false},      {"Pos.Z", "float", "0.000000", false},
    };
    for (const Expected& e : expected) {
        CExtractInfo* info = setPos->NextMember();
        ASSERT_NE(info, nullptr) << e.path;
        EXPECT_EQ(info->Path, e.path);
        EXPECT_EQ(info->TypeName, e.type);
        EXPECT_STREQ(info->Value.ToString(), e.value);
        EXPECT_EQ(info->InRootClass, e.root) << e.path;
        unsigned long offset = 0;
        EXPECT_NE(setPos->FindMemberPath(e.path, offset), nullptr) << e.path;
    }
    EXPECT_EQ(setPos->NextMember(), nullptr);
    setPos->BuildMemberList(image);
    ASSERT_NE(setPos->NextMember(), nullptr);
    EXPECT_EQ(setPos->NextMember()->Path, "hRecipient.Handle");
}

TEST_F(TypeDatabaseTest, NamedMembersPrefixTheirPathsAndBasesShareThem)
{
    CType* rect = NewType("RECT", CType::Struct);
    for (const char* side : {"left", "top", "right", "bottom"})
        Add(rect, side, "long");
    NewType("ColourRGB", CType::Struct, Vector());
    CType* frame = NewType("Frame", CType::Struct);
    Add(frame, "Box", "RECT");
    Add(frame, "Tint", "ColourRGB");
    Add(frame, "Data", "unsigned char", 0);
    unsigned char image[32] = {};
    frame->BuildMemberList(image);
    std::vector<std::string> paths;
    while (CExtractInfo* info = frame->NextMember())
        paths.push_back(info->Path);
    EXPECT_EQ(paths, (std::vector<std::string>{"Box.left", "Box.top", "Box.right", "Box.bottom", "Tint.X", "Tint.Y",
                                               "Tint.Z"}));
}

TEST_F(TypeDatabaseTest, TheTypeFileWritesConstantsAndExportedLayouts)
{
    AddConstant("MESSAGE_LENGTH_IS_VARIABLE", "unsigned long", "4294967295");
    AddConstant("PCXBUF_STRIPLIST", "signed short", "2");
    CType* rect = NewType("RECT", CType::Struct);
    for (const char* side : {"left", "top", "right", "bottom"})
        Add(rect, side, "long");
    CType* sprite = NewType("CSprite", CType::Class, StaticResource());
    Add(sprite, "Box", "RECT");
    Add(sprite, "pZel", "CZelFile *");
    Add(sprite, "Data", "unsigned char", 0);
    Vector();
    NewType("Unused", CType::Struct);
    sprite->ComputeLayout(true);

    const std::string path = zelfiles::ScratchFolder() + "/types.txt";
    TypeDatabase.Save(path.c_str());
    const zelfiles::Bytes bytes = zelfiles::ReadAll(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::string header =
        "/*\n    RHU Type File - not 100% C++, so don't send it through a compiler!\n    File created on ";
    ASSERT_EQ(text.compare(0, header.size(), header), 0) << text;
    const std::string body = text.substr(text.find("*/\n\n") + 4);
    EXPECT_EQ(
        body,
        "const __rhuexport unsigned long MESSAGE_LENGTH_IS_VARIABLE = 4294967295; \t\t// (0xFFFFFFFF)\n"
        "const __rhuexport signed short PCXBUF_STRIPLIST = 2; \t\t// (0x00000002)\n"
        "\n\n"
        "struct __rhuexport RECT\n{\n\tlong left;\n\tlong top;\n\tlong right;\n\tlong bottom;\n};\t// Size = 16\n\n"
        "class __rhuexport CZelStaticResource\n{\n\tvirtual void foobar(void);\n};\t// Size = 4\n\n"
        "class __rhuexport CSprite : public CZelStaticResource\n{\n\tvirtual void foobar(void);\n"
        "\tRECT Box;\n\tCZelFile * pZel;\n\tunsigned char Data[0];\n};\t// Size = 24\n\n");
}

TEST_F(TypeDatabaseTest, DiagnosticListsEveryTypeWithItsOffsets)
{
    const int saved = VerboseLevel;
    VerboseLevel = 2;
    Vector();
    testing::internal::CaptureStdout();
    TypeDatabase.Diagnostic();
    const std::string out = testing::internal::GetCapturedStdout();
    VerboseLevel = saved;
    EXPECT_EQ(out.find("\n\nCTypeDatabase::Diagnostic()\n\nBuiltin pointer\n{\n};\t// Size = 4\n\n"), 0u) << out;
    EXPECT_NE(out.find("union _rhu_generated_struct_"), std::string::npos);
    EXPECT_NE(out.find("\tfloat Red;\t// Offset = 0, Size=4\n"), std::string::npos);
    EXPECT_NE(out.find("class CVector\n{\n"), std::string::npos);
}

} // namespace
