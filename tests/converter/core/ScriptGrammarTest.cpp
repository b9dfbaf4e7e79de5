// The script grammar as the converter embeds it, run through the parser runtime: the tree shape
// every command handler relies on, and the inputs the language refuses.
#include "converter/core/ScriptResource.h"
#include "qvrn/ParserInterface.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ScriptGrammar : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadResourceBytes("RhuParserGrammar", GrammarResourceType, m_Image));
        m_pParser = GetParserInterface();
        ASSERT_NE(m_pParser, nullptr);
    }
    void TearDown() override { ReleaseParserInterface(m_pParser); }

    // The statements' tree as "Name(Child Child(Grandchild))", or "error" when the text is refused.
    std::string Outline(const std::string& script)
    {
        m_pParser->LoadGrammarFromBuffer(m_Image.data());
        m_pParser->SetInputBuffer(script.c_str());
        if (m_pParser->RunParse() != 1 || m_pParser->GetErrorCount() > 0)
            return "error";
        const int root = m_pParser->FindNode("CmdFile", 0);
        return root ? Children(root) : "no root";
    }

    std::string Children(int node)
    {
        std::string out;
        for (int child = m_pParser->GetChildNode(node, 0); child; child = m_pParser->GetNextSibling(child)) {
            const QVString name = m_pParser->GetNodeName(child);
            out += (out.empty() ? "" : " ") + std::string(static_cast<const char*>(name));
            if (m_pParser->GetNumChildren(child) > 0)
                out += "(" + Children(child) + ")";
        }
        return out;
    }

    std::string m_Image;
    ParserInterface* m_pParser = nullptr;
};

TEST_F(ScriptGrammar, StatementsHaveTheShapesTheirHandlersRead)
{
    struct Case {
        const char* script;
        const char* outline;
    };
    const Case cases[] = {
        {"texture tree.bmp ALPHA mips=on", "Texture(FileName AlphaMod MipMod(On))"},
        {"#include <parts.rhi>", "Include(FileName)"},
        {"ifdef PCX #ifdef XBOX elif PS2 #else endif", "Ifdef(Label) Ifdef(Label) Elif(Label) Else Endif"},
        {"Gamma= 1.0", "Gamma(Number)"},
        {"NoCompression; NoCompression", "NoCompression NoCompression"},
        {"/* a\n comment */ NoCompression // to the end\nNoCompression", "NoCompression NoCompression"},
        {"String Mesh1 \"x\"", "String(Label QuotedString)"},
        {"String Greeting text\\greeting.txt", "String(Label FileName)"},
        {"Binary Blob ..\\data\\big.bin", "Binary(Label FileName)"},
        {"PIXELFORMAT ALPHA1= ArrrrrGGGGGbbbbb", "PixelFormat(Alpha1 Bitmasker)"},
        {"Axis East,South,Up CULL_FRONT", "Axis(Text CullFront)"},
        {"LodMap { 0, 10.5 1,20 }", "LodMap(LodValue(Number Value) LodValue(Number Value))"},
        {"Trigger Quit ESCAPE + space onrelease = 0x10", "Trigger(Label KeyMap(Key) KeyMap(Key KeyMod) Number)"},
        {"Trigger Jump SPACE = JumpValue", "Trigger(Label KeyMap(Key) Ident)"},
        {"TypeInfo rhutypes.i RhuTypes.txt", "TypeInfo(FileName FileName2)"},
        {"AnimTable Moves\n{\n\tANIM1 { One, Two, Three }\n\tANIM2 { Aaaa, Bbbb }\n}",
         "AnimTable(Label TableBlock(TableBlock(BlockId Ident Ident Ident) TableBlock(BlockId Ident Ident)))"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Outline(c.script), c.outline) << c.script;
}

TEST_F(ScriptGrammar, RefusesWhatTheLanguageDoesNotAllow)
{
    const char* const refused[] = {
        "Include <parts.rhi>",      // the include needs its "#"
        "Gamma = 1.0",              // "Gamma=" is one word
        "Binary Blob big",          // a file name has an extension
        "Binary Blob big-file.bin", // and no "-"
        "Binary Blob data/big.bin", // or "/"
        "String mesh \"x\"",        // a label may not be a reserved word, in any case
        "String MESH \"x\"",
        "Textures tree.bmp", // a keyword does not match the front of a longer word
    };
    for (const char* script : refused)
        EXPECT_EQ(Outline(script), "error") << script;
}

TEST_F(ScriptGrammar, QuotedStringsKeepTheirQuotesAndTheDefaultScriptParses)
{
    ASSERT_EQ(Outline("Message \"hello there\""), "Message(QuotedString)");
    const int text = m_pParser->FindNode("CmdFile.Message.QuotedString", 0);
    EXPECT_STREQ(static_cast<const char*>(m_pParser->GetNodeText(text)), "\"hello there\"");

    std::string defaults;
    ASSERT_TRUE(LoadResourceBytes("RhuDefaults", ScriptResourceType, defaults));
    EXPECT_NE(Outline(defaults), "error");
}

} // namespace
