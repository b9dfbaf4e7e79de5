// The script grammar's notation at work: an excerpt of the converter's grammar compiled by
// qvgc parses statements into the tree shape the converter walks.
#include "qv_test_support.h"

#include "qvrn/QVError.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace qvtest;

class ScriptExcerpt : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        grammar_ = CompileAndLoad(api_, ReadAll(DataPath("rhu_excerpt.qvg")), "rhu_excerpt");
    }
    static void TearDownTestSuite() { api_.UnloadGrammar(grammar_); }

    // The tree below the start node, without positions: name and text per node.
    std::string Parse(const std::string& text, long* errorCode = nullptr)
    {
        QVParseTree* tree = api_.Parse(grammar_, nullptr, text.c_str(), static_cast<long>(text.size()), 5);
        std::string out;
        for (long node = 3; tree && node <= tree->GetNodeCount(); ++node) {
            char name[256], value[256];
            tree->GetNodeName(node, name, sizeof name);
            long length = tree->GetNodeLength(node);
            tree->GetNodeText(node, value, sizeof value);
            if (length < static_cast<long>(sizeof value))
                value[length] = 0;
            long depth = tree->GetDepth(node) - 2;
            out += std::string(depth > 0 ? 2 * depth : 0, ' ') + name + " \"" + value + "\"\n";
        }
        if (errorCode)
            *errorCode = api_.GetLastError() ? api_.GetLastError()->GetCode() : 0;
        api_.DeleteParseTree(tree);
        return out;
    }

    bool Accepted(const std::string& text)
    {
        long code = 0;
        Parse(text, &code);
        return code == 0;
    }

    static QuorvaneAPI api_;
    static QVGrammar* grammar_;
};

QuorvaneAPI ScriptExcerpt::api_;
QVGrammar* ScriptExcerpt::grammar_ = nullptr;

TEST_F(ScriptExcerpt, TextureStatementShape)
{
    ASSERT_NE(grammar_, nullptr);
    EXPECT_EQ(Parse("texture tree.bmp ALPHA mips=on"), "Texture \"texture tree.bmp ALPHA mips=on\"\n"
                                                       "  FileName \"tree.bmp\"\n"
                                                       "  AlphaMod \"ALPHA\"\n"
                                                       "  MipMod \"mips=on\"\n"
                                                       "    On \"on\"\n");
    EXPECT_EQ(Parse("Message \"a \\\" b\"  // comment\n"), "Message \"Message \"a \\\" b\"\"\n"
                                                           "  QuotedString \"\"a \\\" b\"\"\n");
}

TEST_F(ScriptExcerpt, AcceptedAndRefusedStatements)
{
    ASSERT_NE(grammar_, nullptr);
    struct Case {
        const char* text;
        bool accepted;
    } cases[] = {
        {"#include <sub\\defs.rhu>", true},
        {"Include <defs.rhu>", false},
        {"ifdef PCX\n#ifdef PCX\n#else\nendif", true},
        {"Gamma=1.2", true},
        {"Gamma =1.2", false},
        {"texture tree", true},
        {"texture tree-1.bmp", false},
        {"texture a/b.bmp", false},
        {"texture a.bmp; texture b.bmp /* two */", true},
        {"ifdef Mesh", false},
        {"ifdef MESH", false},
        {"ifdef Mesh1", true},
        {"ifdef MeshFormat2", true},
        {"PIXELFORMAT ALPHA1= R5G5B5A1 NOALPHA= R5G6B5", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Accepted(c.text), c.accepted) << c.text;
}

TEST_F(ScriptExcerpt, StatementsAreChildrenOfTheStartNode)
{
    ASSERT_NE(grammar_, nullptr);
    EXPECT_EQ(Parse("texture a.bmp; ifdef PCX Gamma=2"), "Texture \"texture a.bmp\"\n"
                                                         "  FileName \"a.bmp\"\n"
                                                         "Ifdef \"ifdef PCX\"\n"
                                                         "  Label \"PCX\"\n"
                                                         "Gamma \"Gamma=2\"\n"
                                                         "  Number \"2\"\n");
    EXPECT_EQ(Parse("PIXELFORMAT ALPHA1= R5G5B5A1"), "PixelFormat \"PIXELFORMAT ALPHA1= R5G5B5A1\"\n"
                                                     "  Alpha1 \"ALPHA1=\"\n"
                                                     "  Bitmasker \"R5G5B5A1\"\n");
}

// The first table form takes ANIM1 as an identifier, then finds no "}" and must give that
// choice up for the nested-table form.
TEST_F(ScriptExcerpt, TablesBacktrackIntoNestedBlocks)
{
    ASSERT_NE(grammar_, nullptr);
    EXPECT_EQ(Parse("AnimTable Walk { ANIM1 { One, Two, Three } }"),
              "AnimTable \"AnimTable Walk { ANIM1 { One, Two, Three } }\"\n"
              "  Label \"Walk\"\n"
              "  TableBlock \"{ ANIM1 { One, Two, Three } }\"\n"
              "    TableBlock \"ANIM1 { One, Two, Three }\"\n"
              "      BlockId \"ANIM1\"\n"
              "      Ident \"One\"\n"
              "      Ident \"Two\"\n"
              "      Ident \"Three\"\n");
}

// Damaged scripts (bytes flipped, cut, shuffled) either parse or end with a numbered parse
// error; none crashes or hangs.
TEST_F(ScriptExcerpt, DamagedScriptsEndWithANumberedError)
{
    ASSERT_NE(grammar_, nullptr);
    const std::string valid = "texture a.bmp ALPHA mips=on\n#include <x.rhu> // c\nMessage \"m\" /* b */\n"
                              "AnimTable t { A { One, Two } }\nPIXELFORMAT ALPHA1= ArrrGGbb\n";
    ASSERT_TRUE(Accepted(valid));
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string text = valid;
        int edits = 1 + random() % 4;
        for (int k = 0; k < edits; ++k) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text[at] = static_cast<char>(1 + random() % 255);
                break;
            case 1:
                text.erase(at, 1 + random() % 5);
                break;
            default:
                text.insert(at, 1, "{}\";=/*<>"[random() % 10]);
                break;
            }
            if (text.empty())
                text = "x";
        }
        long code = 0;
        Parse(text, &code);
        EXPECT_TRUE(code == 0 || code == 1005 || code == 1006 || code == 1010 || code == 1011) << code;
    }
}

} // namespace
