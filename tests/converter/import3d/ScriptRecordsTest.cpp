// Records that scripts define, end to end: wexlorn converts one script with animation tables,
// a chain of parameter blocks, particle and emitter definitions and an event script, and an
// independent Python reader checks every record. A recording written by Python turns into script
// text with RecToScript, and that script converts back to the recorded message bytes; damaged
// recordings are refused naming the file and the message, with nothing written.
#include "../../support/FileBytes.h"
#include "../../support/TestScratch.h"
#include "../../support/RunCommand.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using mgtest::CommandResult;
using mgtest::ReadFileBytes;
using mgtest::WriteFileBytes;

namespace {

const std::string Oracle = MG_TESTS_DIR "/converter/import3d/records_oracle.py";

std::string Scratch() { return mgtest::NewScratchFolder("records_"); }

// Test-only declarations: the block indices of the help text's table, and a message class
// whose members link to the previous and the next message of a chain.
const char* const Declarations = "const __rhuexport unsigned long ANIM1 = 1;\n"
                                 "const __rhuexport unsigned long ANIM2 = 4;\n"
                                 "class __rhuexport CChainMessage : public CMessage {\npublic:\n"
                                 "    enum { DefaultPriority = 10, CMessageId = 0x00777001 };\n"
                                 "    CChainMessage* pPrev;\n    CChainMessage* pNext;\n    float Value;\n};\n";

class ScriptRecords : public testing::Test {
protected:
    CommandResult Convert(const std::string& script)
    {
        WriteFileBytes(Folder + "/decl.h", Declarations);
        WriteFileBytes(Folder + "/a.rhu", "NoCompression\nTypeInfo decl.h\n" + script);
        return mgtest::RunCommand("cd '" + Folder + "' && timeout 120 " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    }

    std::string Folder = Scratch();
};

TEST_F(ScriptRecords, OneScriptsTablesBlocksParticlesAndEventsAreTheExpectedRecords)
{
    const CommandResult run =
        Convert("AnimTable Moves\n{\n\tANIM1 { One, Two, Three }\n"
                "\tANIM2 { Aaaa, Bbbb, Ccccc, dee, eeee, efff }\n}\n"
                "AnimTable More : Moves { { Four } }\n"
                "Array Words { \"alpha\", \"beta\", \"alpha\" }\n"
                "EmbeddedParams Base GFoo { int Speed = 3; float Size = 1.5; zellabel Tag }\n"
                "EmbeddedParams Hero GFoo : Base { int Speed = 7 }\n"
                "EmbeddedParams Villain GFoo : Hero { player = 2 }\n"
                "Particle Spark { MinColor 1, 0, 0 Scale 2 Facing 0, 1, 0 MinSpin 180, 0, 0\n"
                "  Texture Tex Particle Smoke }\n"
                "Particle Smoke { Alpha 0 Additive 1 Lifespan 1, 2, 0.5 Wind 0.5 }\n"
                "Particle Ember : Spark { MaxColor 0, 0, 1, 0.5 }\n"
                "Emitter Fountain { Vector 90, 0, 0 ArpetureIn 10, 20 Count 3, 5, 2\n"
                "  Particle Spark Emitter Fountain2 }\n"
                "Emitter Fountain2 { Period -1 }\n"
                "EventScript Intro 1.0 -1\n"
                "Event Ev2 2 CSetPosMessage Door { float Pos.X = 1 float Pos.Y = 2 float Pos.Z = 3 }\n"
                "Event Ev1 1 CPlaySoundMessage { CCRC32 SoundId = 5 int LipSync = 1 }\n"
                "Event Ev15 1.5 CCreateMessage 0x10 { DWORD hObject = Door DWORD TemplateId = 7 }\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const CommandResult check = mgtest::RunCommand(MG_PYTHON " " + Oracle + " script '" + Folder + "/a.zel' 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

TEST_F(ScriptRecords, TableAndEventMistakesAreRefusedWithTheirMessages)
{
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"AnimTable R { One }\nAnimTable T : R { { Two } }\n", "Cannot mix Arrays and Resources in anim tables"},
        {"AnimTable T : Nowhere { One }\n", "Cannot find table to derive from!\nNowhere"},
        {"AnimTable T { NOSUCH { One } }\n", "NOSUCH"},
        {"Particle P : Nowhere { }\n", "Cannot find derived particle block Nowhere"},
        {"Event E 1 CNoSuchMessage { }\n", "no message class CNoSuchMessage"},
        {"Event E 1 CSetPosMessage { float Nothing = 1 }\n", "CSetPosMessage has no member Nothing"},
        {"Event E 1 CCreateMessage { DWORD hObject = A DWORD hRecipient = B DWORD hObject = C }\n",
         "Only have fixup info for 2 handles in message blocks!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const CommandResult run = Convert(c.script);
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
}

// Each script of a folder is its own conversion: an event of a later one joins no script of an
// earlier one.
TEST_F(ScriptRecords, EventsOfALaterScriptJoinNoScriptOfAnEarlierOne)
{
    WriteFileBytes(Folder + "/b.rhu", "NoCompression\nEvent Later 1 CSetPosMessage Door { float Pos.X = 1 }\n");
    const CommandResult run = Convert("EventScript First 0 0\nEvent Early 1 CSetPosMessage Door { float Pos.X = 2 }\n");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(ScriptRecords, RecordingsTurnIntoScriptsThatConvertBackToTheSameMessages)
{
    const CommandResult made = mgtest::RunCommand(MG_PYTHON " " + Oracle + " record '" + Folder + "/rec.bin'");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    WriteFileBytes(Folder + "/frames.json", made.output);
    // Not named .rhu: the converter takes every script of its folder.
    CommandResult run = Convert("RecToScript rec.bin out.txt\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string text = ReadFileBytes(Folder + "/out.txt");
    EXPECT_EQ(text.find("\n// Event script - started at 1.5\n"), 0u) << text;
    EXPECT_NE(text.find("\nEvent CSetPosMessage_Door_002\n\t1\t// Timestamp\n\tCSetPosMessage\t// Msg Class\n"
                        "\tDoor\t// Target ZELLABEL code.\n{\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("void* pPrev = NULL\n"), std::string::npos) << text;
    EXPECT_NE(text.find("void* pNext = CChainMessage_Lamp_001\n"), std::string::npos) << text;

    run = Convert("EventScript Replay 0 0\n" + text);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const CommandResult check = mgtest::RunCommand(MG_PYTHON " " + Oracle + " events '" + Folder + "/a.zel' Replay '" +
                                                   Folder + "/frames.json' 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_NE(check.output.find("6 messages agree"), std::string::npos) << check.output;
}

TEST_F(ScriptRecords, EmptyAndDamagedRecordings)
{
    const std::string start("\0\0\xC0\x3F", 4); // 1.5
    auto header = [](unsigned long magic, unsigned long size, unsigned long id) {
        std::string h(84, '\0');
        memcpy(&h[0], &magic, 4);
        memcpy(&h[76], &size, 4);
        memcpy(&h[80], &id, 4);
        return h;
    };
    const std::string good = header(0x654F632F, 24, 17) + std::string(24, '\0');
    WriteFileBytes(Folder + "/rec.bin", start);
    CommandResult run = Convert("RecToScript rec.bin out.rhu\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(ReadFileBytes(Folder + "/out.rhu"), "\n// Event script - started at 1.5\n");
    // The largest message a frame may hold converts; one byte more is refused.
    WriteFileBytes(Folder + "/rec.bin", start + header(0x654F632F, 4012, 17) + std::string(4012, '\0'));
    run = Convert("RecToScript rec.bin big.rhu\n");
    EXPECT_EQ(run.exitCode, 0) << run.output;

    const struct {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"no start time", start.substr(0, 2), "too short to hold its start time"},
        {"a cut header", start + good + good.substr(0, 40), "message 1 is cut off in its header"},
        {"a wrong magic", start + good + header(0x12345678, 24, 17) + std::string(24, '\0'),
         "(Magic# is messed up)\nrec.bin: message 1"},
        {"too long a message", start + header(0x654F632F, 4013, 17) + std::string(4013, '\0'),
         "Recording conversion input buffer overflow!"},
        {"a cut message", start + good.substr(0, 100), "message 0 is cut off in its 24 bytes"},
        {"an unknown message", start + header(0x654F632F, 12, 0x7777) + std::string(12, '\0'),
         "Cannot find message class to match!\nmsgID = 00007777"},
    };
    WriteFileBytes(Folder + "/out.rhu", "kept");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(Folder + "/rec.bin", c.bytes);
        run = Convert("RecToScript rec.bin out.rhu\n");
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(ReadFileBytes(Folder + "/out.rhu"), "kept");
    }
    run = Convert("RecToScript missing.bin out.rhu\n");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("Cannot open file!\nmissing.bin: No such file or directory"), std::string::npos)
        << run.output;
}

} // namespace
