// The grammar compiler's refusals: each bad source names its file, line and error code.
#include "qv_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace qvtest;

TEST(Qvgc, RefusesBadSources)
{
    struct Case {
        const char* name;
        const char* source;
        const char* expected;
    } cases[] = {
        {"duplicate", "grammar G; A = \"a\"; A = \"b\";", ":1:21: error 1507: Duplicate symbols"},
        {"case only", "grammar G; Mesh = \"a\"; MESH = \"b\";", "error 1507"},
        {"reference case", "grammar G; A = b; B = \"x\";", "'b' differs only in case from rule 'B'"},
        {"unresolved", "grammar G;\nA = Missing;", ":2:5: error 1506: Unresolved symbol"},
        {"left recursion", "grammar G; E = E \"+\" T | T; T = \"x\";", "error 1508: Left-recursion detected"},
        {"indirect left recursion", "grammar G; A = [ \"x\" ] B; B = A \"y\";", "error 1508"},
        {"shadowed scanner", "grammar G; QuotedString = quotedstring;", "error 1507"},
        {"syntax", "grammar G; A = ( \"a\" ;", "error 1403"},
        {"no grammar line", "A = \"a\";", "error 1403"},
        {"unknown annotation", "grammar G; A (shiny) = \"a\";", "unknown annotation 'shiny'"},
        {"open quote", "grammar G; A = \"abc;\n", "missing closing quote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string source = BinaryPath("qv_bad.qvg");
        std::string image = BinaryPath("qv_bad.gmr");
        WriteAll(source, c.source);
        remove(image.c_str());
        std::string output;
        EXPECT_EQ(RunCommand(BinaryPath("bin/qvgc") + " " + source + " -o " + image, &output), 1);
        EXPECT_NE(output.find(c.expected), std::string::npos) << output;
        EXPECT_TRUE(ReadAll(image).empty());
    }
}

TEST(Qvgc, RefusesDamagedImagesWhenListing)
{
    std::string image = BinaryPath("qv_damaged.gmr");
    WriteAll(image, "not a grammar");
    std::string output;
    EXPECT_EQ(RunCommand(BinaryPath("bin/qvgc") + " -d " + image, &output), 1);
    EXPECT_NE(output.find("not a valid grammar image"), std::string::npos);
}

} // namespace
