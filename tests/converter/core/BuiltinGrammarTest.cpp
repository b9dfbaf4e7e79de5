// The converter's compiled grammars are built from their sources at build time and embedded as
// resources; the parser runtime's own loader must accept them as the converter hands them over.
#include "converter/core/ScriptResource.h"
#include "qvrn/Grammar.h"
#include "qvrn/QuorvaneAPI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct GrammarCase {
    const char* resource;
    const char* startSymbol;
    std::vector<const char*> symbols; // node names the converter's walk relies on
};

TEST(BuiltinGrammars, LoadThroughTheRuntimeWithTheirStartAndSymbols)
{
    const GrammarCase cases[] = {
        {"RhuParserGrammar",
         "CmdFile",
         {"Texture", "Trigger", "KeyMap", "Key", "KeyMod", "String", "QuotedString", "FileName", "Label", "Ifdef",
          "Elif", "Else", "Endif", "Include", "TypeInfo", "FileName2", "LodValue", "Alpha1"}},
        {"HParserGrammar",
         "program",
         {"ClassDeclaration",
          "SimpleTypedef",
          "VariableDeclaration",
          "VariableSpecs",
          "FunctionDeclaration",
          "VirtualSpecifier",
          "ClassKey",
          "InheritanceSpec",
          "ClassName",
          "RhuSpecifier",
          "EnumDeclaration",
          "EnumList",
          "Expression",
          "TypeName",
          "TypeQualifier",
          "PointerOp",
          "NumBits",
          "ArraySpecs",
          "factor",
          "Value",
          "operator_or_level",
          "operator_shift_level",
          "operator_mult_level"}},
    };
    for (const GrammarCase& c : cases) {
        std::string image;
        ASSERT_TRUE(LoadResourceBytes(c.resource, GrammarResourceType, image)) << c.resource;
        QuorvaneAPI api;
        QVGrammar* grammar = api.LoadGrammarFromBuffer(image.data(), static_cast<long>(image.size()));
        ASSERT_NE(grammar, nullptr) << c.resource;
        char start[256] = {};
        EXPECT_STREQ(grammar->GetStartSymbolName(start, sizeof(start)), c.startSymbol) << c.resource;
        for (const char* symbol : c.symbols)
            EXPECT_GT(grammar->Resolve(symbol), 0) << c.resource << ": " << symbol;
        EXPECT_EQ(grammar->Resolve("NoSuchSymbol"), 0) << c.resource;
        api.UnloadGrammar(grammar);
    }
}

} // namespace
