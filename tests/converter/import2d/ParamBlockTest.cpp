// Parameter blocks in the converter: made-up labels, derivation, the fill-data bytes written,
// the CSV report, and the statements that stop a conversion.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/import2d/CdbEditableParams.h"

#include "FatalTest.h"
#include "ZelFiles.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace zelfiles;

namespace {

std::string WriteScript(const std::string& folder, const std::string& text)
{
    const std::string path = folder + "/params.rhu";
    std::ofstream(path) << text;
    return path;
}

// Converts a script for the PC, uncompressed, and returns the file's bytes.
Bytes Convert(const std::string& text)
{
    const std::string folder = ScratchFolder();
    const std::string script = WriteScript(folder, text);
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    CDatabase database;
    {
        CRhuParser parser;
        parser.Run(&database, script.c_str(), (folder + "/params.zel").c_str(), {"PCX"}, false);
    }
    TypeDatabase.Reset();
    return ReadAll(folder + "/params.zel");
}

// Reads a script into the database without writing anything.
class ParsedScript : public ::testing::Test {
protected:
    void Read(const std::string& text)
    {
        VerboseLevel = 0;
        CdbEditableParams::ResetLayoutCounter();
        parser.SetDatabase(&database);
        parser.Parse(WriteScript(ScratchFolder(), text).c_str());
    }
    CdbEditableParams* Block(const char* label)
    {
        return dynamic_cast<CdbEditableParams*>(database.FindElement(label));
    }
    // The effective fields as "name[index]=value".
    std::vector<std::string> Effective(const char* label)
    {
        std::vector<CdbEditableParams::UParamDefinition*> fields;
        Block(label)->CollectParams(fields);
        std::vector<std::string> texts;
        for (const CdbEditableParams::UParamDefinition* field : fields)
            texts.push_back(field->Name + "[" + std::to_string(field->ArrayIndex) + "]=" + field->Value.ToString());
        return texts;
    }

    CDatabase database;
    CRhuParser parser;
};

TEST_F(ParsedScript, UnlabelledBlocksAreNamedAfterTheirClass)
{
    Read("LayoutParams GFoo { }\nLayoutParams GFoo { }\nDefaultParams GFoo { }\nEmbeddedParams Kid GFoo { }\n");
    ASSERT_EQ(database.GetSize(), 4);
    EXPECT_STREQ(database[0]->GetLabel(), "_GFoo_LayoutParams_001");
    EXPECT_STREQ(database[1]->GetLabel(), "_GFoo_LayoutParams_002");
    EXPECT_STREQ(database[2]->GetLabel(), "_GFoo_DefaultParams");
    EXPECT_STREQ(database[3]->GetLabel(), "Kid");
    EXPECT_EQ(Block("Kid")->FillDataType(), "CEmbeddedFillData");
}

TEST_F(ParsedScript, OwnFieldsComeFirstAndOverrideTheParentsOfTheSameIndex)
{
    Read("DefaultParams Base GFoo { int Speed = 1; float Size = 2; int Speed[1] = 3 }\n"
         "LayoutParams Child GFoo : Base { int Speed = 5 }\n"
         "DefaultParams GBar { DWORD Mask = 0x10 }\n"
         "LayoutParams Other GBar : GBar { }\n");
    EXPECT_EQ(Effective("Child"), (std::vector<std::string>{"Speed[0]=5", "Size[0]=2.000000", "Speed[1]=3"}));
    // A class name finds that class's unlabelled DefaultParams.
    EXPECT_EQ(Effective("Other"), (std::vector<std::string>{"Mask[0]=16"}));
}

TEST_F(ParsedScript, AnonymousEmbeddedChildrenAreNeverMerged)
{
    Read("DefaultParams Base GFoo { embedded = KidA }\nLayoutParams Child GFoo : Base { embedded = KidB }\n");
    EXPECT_EQ(Effective("Child"), (std::vector<std::string>{"[0]=KidB", "[0]=KidA"}));
}

// Each layout record: table pointer, ClassId, LabelId, pData, Player, hgobject; then its field
// records {Crc, Length, ArrayIndex, Flags, data} and a closing zero word.
TEST(ParamBlockDump, RecordsHoldLabelsPlayersAndFieldsAsTheEngineReadsThem)
{
    const Bytes file = Convert("LayoutParams Empty GFoo { }\n"
                               "LayoutParams Team GFoo { player = 2; zellabel Tag }\n"
                               "LayoutParams Member GFoo : Team { }\n"
                               "LayoutParams Named GFoo { zellabel Tag = Chosen }\n"
                               "LayoutParams After GFoo : Named { }\n");
    const std::vector<uint32_t> data = Words(Chunk(file, "LIST/DATA"));
    const uint32_t gfoo = CCRC32::GetCRC("GFoo");
    const uint32_t tag = CCRC32::GetCRC("Tag");
    // An empty block still writes its record, its data symbol and the closing zero.
    const std::vector<uint32_t> expected = {
        0,
        gfoo,
        CCRC32::GetCRC("Empty"),
        24,
        0,
        0,
        0,
        0,
        gfoo,
        CCRC32::GetCRC("Team"),
        52,
        2,
        0,
        tag,
        4,
        CCRC32::GetCRC("Team"),
        0,
        0,
        gfoo,
        CCRC32::GetCRC("Member"),
        92,
        2,
        0,
        tag,
        4,
        CCRC32::GetCRC("Member"),
        0,
        0,
        gfoo,
        CCRC32::GetCRC("Named"),
        132,
        0,
        0,
        tag,
        4,
        CCRC32::GetCRC("Chosen"),
        0,
        0,
        gfoo,
        CCRC32::GetCRC("After"),
        172,
        0,
        0,
        tag,
        4,
        CCRC32::GetCRC("After"),
        0,
    };
    EXPECT_EQ(data, expected);
}

// The block that names a label keeps it whichever block is written first; a block deriving from
// it carries its own.
TEST(ParamBlockDump, AnExplicitLabelStaysWithItsBlockWhicheverIsWrittenFirst)
{
    const Bytes file =
        Convert("LayoutParams Early GFoo : Late { }\nLayoutParams Late GFoo { zellabel Tag = Chosen }\n");
    const std::vector<uint32_t> data = Words(Chunk(file, "LIST/DATA"));
    // Per block: its six-word record, then the field {Crc, Length/ArrayIndex/Flags, value} and 0.
    ASSERT_EQ(data.size(), 20u);
    EXPECT_EQ(data[8], CCRC32::GetCRC("Early"));
    EXPECT_EQ(data[18], CCRC32::GetCRC("Chosen"));
}

TEST(ParamBlockDump, EmbeddedBlocksArePublicAndTemplatesStayInTheExtraSegment)
{
    const Bytes file = Convert("EmbeddedParams Kid GFoo { int A = 1 }\n"
                               "VeskTemplateParams Tpl GFoo { embedded Child = Kid }\n");
    const std::vector<uint32_t> publics = Words(Chunk(file, "LIST/PUBL"));
    ASSERT_EQ(publics.size(), 3u);
    EXPECT_EQ(publics[1], CCRC32::GetCRC("Kid"));
    // The main segment holds the embedded block alone: record, one field, closing zero.
    EXPECT_EQ(Chunk(file, "LIST/DATA").size(), 20u + 12u + 4u);
    // The template's child field carries the embedded flag.
    const Bytes extra = Chunk(file, "LIST/EXTA");
    const std::vector<uint32_t> words = Words(extra);
    const uint32_t child = CCRC32::GetCRC("Child");
    bool found = false;
    for (size_t i = 0; i + 1 < words.size(); ++i)
        found |= words[i] == child && words[i + 1] == (4u | 1u << 24);
    EXPECT_TRUE(found);
}

class ParamReportFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = ScratchFolder();
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override { EXPECT_EQ(chdir(previous), 0); }

    std::string Report(const std::string& script)
    {
        Convert(script);
        std::ifstream in(folder + "/report.csv");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string folder;
    char previous[4096];
};

TEST_F(ParamReportFile, ListsTheBlocksReadSoFarWithTheirEffectiveValues)
{
    const std::string report = Report("DefaultParams Base GFoo { int Speed = 1; float Size = 2 }\n"
                                      "LayoutParams Child GFoo : Base { int Speed = 5; id Kind = X }\n"
                                      "ParamReport report.csv\n"
                                      "LayoutParams Late GFoo { int Late = 1 }\n");
    char kind[16];
    snprintf(kind, sizeof kind, "0x%08x", static_cast<unsigned>(CCRC32::GetCRC("X")));
    EXPECT_EQ(report, "ObjName,DumpType,Speed,Size,Kind\n"
                      "Base,CDefaultFillData,1,2.000000,\n"
                      "Child,CPresetFillData,5,2.000000," +
                          std::string(kind) + "\n");
}

TEST_F(ParamReportFile, BeforeAnyBlockHoldsTheHeaderAlone)
{
    EXPECT_EQ(Report("ParamReport report.csv\n"), "ObjName,DumpType\n");
}

// Statements that end the conversion, with the message that names the fault.
TEST(ParamBlockErrors, StopTheConversionWithTheirMessage)
{
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"LayoutParams A GFoo { }\nLayoutParams A GFoo { }\n", "Redefinition: Label A already exists in database"},
        {"LayoutParams A GFoo : Nobody { }\n", "Cannot find derived param block Nobody"},
        {"LayoutParams A GFoo { int = 5 }\n", "Only embedded types can have blank labels"},
        {"LayoutParams A GFoo { int Slots[300] = 1 }\n", "Array index 300 of Slots is outside 0 to 255"},
        // A derivation loop would otherwise recurse until the stack runs out.
        {"LayoutParams A GFoo : B { }\nLayoutParams B GFoo : A { }\n", "Param block A derives from itself"},
    };
    for (const auto& test : cases)
        EXPECT_FATAL(Convert(test.script), test.message) << test.script;
}

} // namespace
