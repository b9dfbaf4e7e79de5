// The script interpreter driven in process: several platform passes over one source file, and
// the usage listing of its command tables.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/CTypeDatabase.h"

#include "ZelFiles.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace zelfiles;

namespace {

TEST(ScriptInterpreter, EveryPlatformPassHasTheBuiltInTypes)
{
    const std::string folder = ScratchFolder();
    std::ofstream(folder + "/keys.rhu") << "NoCompression\nTrigger Quit ESCAPE\n"
                                           "#ifdef PCX\nString Where \"pc\"\n#else\nString Where \"win\"\n#endif\n";
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    CDatabase database;
    {
        CRhuParser parser;
        parser.Run(&database, (folder + "/keys.rhu").c_str(), (folder + "/keys.zel").c_str(), {"PCX", "WINDOWS"}, true);
    }
    const Bytes file = ReadAll(folder + "/keys.zel");
    EXPECT_EQ(Walk(folder + "/keys.zel"), "RIFF ZEL2 240\n"
                                          "  LIST PCX  110\n    TYPE 20\n    PUBL 12\n    DATA 27\n    EXTA 14\n"
                                          "  LIST WIN  110\n    TYPE 20\n    PUBL 12\n    DATA 28\n    EXTA 14\n");
    // The trigger record, its one condition, then the platform's string.
    const Bytes pc = Chunk(file, "LIST/DATA");
    ASSERT_EQ(pc.size(), 27u);
    EXPECT_EQ(Word(pc, 8), CCRC32::GetCRC("Quit"));
    EXPECT_EQ(Word(pc, 20), 0x00010001u);
    EXPECT_EQ(std::string(pc.begin() + 24, pc.end()), std::string("pc\0", 3));
    TypeDatabase.Reset();
}

// Every type with its offsets, every constant with its value, and whether each type is found
// by its name.
std::string DescribeTypes(const std::string& folder)
{
    VerboseLevel = 2;
    testing::internal::CaptureStdout();
    TypeDatabase.Diagnostic();
    std::string text = testing::internal::GetCapturedStdout();
    TypeDatabase.Save((folder + "/types.txt").c_str());
    VerboseLevel = 0;
    std::ifstream saved(folder + "/types.txt");
    for (std::string line; getline(saved, line);)
        if (line.find("File created on") == std::string::npos)
            text += line + "\n";
    for (int i = 0; i < TypeDatabase.GetSize(); ++i)
        if (TypeDatabase.FindType(TypeDatabase[i]->GetName()) != TypeDatabase[i])
            text += std::string("not found by name: ") + TypeDatabase[i]->GetName() + "\n";
    return text;
}

TEST(ScriptInterpreter, BuiltInTypesPutBackForTheNextScriptEqualAFreshReading)
{
    const std::string folder = ScratchFolder();
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    const std::string read = DescribeTypes(folder);
    const int count = TypeDatabase.GetSize();
    ASSERT_GT(count, 100);
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    EXPECT_EQ(DescribeTypes(folder), read);
    // A database holding more than the builtins is read into, not overwritten.
    TypeDatabase.Reset();
    TypeDatabase.NewType()->SetName("Extra");
    LoadTypeResource("RhuTypes");
    EXPECT_EQ(TypeDatabase.GetSize(), count + 1);
    EXPECT_EQ(TypeDatabase.FindType("Extra"), TypeDatabase[21]); // right after the builtins
    TypeDatabase.Reset();
}

TEST(ScriptInterpreter, UsageListingWrapsHelpTextsWithinTheConsole)
{
    CRhuParser parser;
    testing::internal::CaptureStdout();
    parser.ListCommands();
    const std::string listing = testing::internal::GetCapturedStdout();
    std::istringstream lines(listing);
    std::string line;
    int commands = 0;
    getline(lines, line);
    EXPECT_EQ(line, "Recognized commands are:");
    // Help texts are indented and wrapped; a command's name and synopsis stand on their own line.
    while (getline(lines, line)) {
        if (line.compare(0, 4, "    ") == 0)
            EXPECT_LE(line.size(), 79u) << line;
        else if (!line.empty() && line[0] != '\t')
            ++commands;
    }
    EXPECT_NE(listing.find("\nInclude     <filename>\n"), std::string::npos);
    EXPECT_NE(listing.find("\nTrigger     Label {Key [modifier] +}"), std::string::npos);
    EXPECT_GE(commands, 49);
}

} // namespace
