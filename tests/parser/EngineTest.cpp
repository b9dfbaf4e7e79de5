// The parse engine on small grammars compiled by qvgc: backtracking, repetitions, budgets,
// node shapes, failures at the furthest position and bad input.
#include "qv_test_support.h"

#include "qvrn/InputStream.h"
#include "qvrn/ParseTree.h"
#include "qvrn/ParserImp.h"
#include "qvrn/QVError.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace qvtest;

class Engine : public ::testing::Test {
protected:
    void TearDown() override
    {
        api_.DeleteParseTree(tree_);
        api_.UnloadGrammar(grammar_);
    }

    void Load(const std::string& source)
    {
        api_.UnloadGrammar(grammar_);
        grammar_ = CompileAndLoad(api_, source, "engine");
        ASSERT_NE(grammar_, nullptr);
    }

    std::string Parse(const std::string& text, unsigned long flags = 5)
    {
        api_.DeleteParseTree(tree_);
        input_ = text;
        tree_ = api_.Parse(grammar_, nullptr, input_.c_str(), static_cast<long>(input_.size()), flags);
        return DumpTree(tree_);
    }

    // Each warning as "code@start+length", oldest first.
    std::vector<std::string> Warnings()
    {
        std::vector<std::string> warnings;
        for (QVError* w = api_.GetFirstWarning(); w; w = api_.GetNextWarning(w))
            warnings.push_back(std::to_string(w->GetCode()) + "@" + std::to_string(w->GetIntAttribute("StartPos")) +
                               "+" + std::to_string(w->GetIntAttribute("NumChars")));
        return warnings;
    }

    std::vector<long> Codes()
    {
        std::vector<long> codes;
        for (QVError* e = api_.GetLastError(); e; e = api_.GetPrevError(e))
            codes.push_back(e->GetCode());
        return codes;
    }

    QuorvaneAPI api_;
    QVGrammar* grammar_ = nullptr;
    QVParseTree* tree_ = nullptr;
    std::string input_;
};

TEST_F(Engine, ToyProgramTree)
{
    Load(ReadAll(DataPath("toy.qvg")));
    EXPECT_EQ(Parse("x = 1 + y\nprint \"hi\", (2)"), "Parse Tree 0 25 \"x = 1 + y\nprint \"hi\", (2)\"\n"
                                                     "  Program 0 25 \"x = 1 + y\nprint \"hi\", (2)\"\n"
                                                     "    Statement 0 9 \"x = 1 + y\"\n"
                                                     "      Assign 0 9 \"x = 1 + y\"\n"
                                                     "        Ident 0 1 \"x\"\n"
                                                     "        Number 4 1 \"1\"\n"
                                                     "        Op 6 1 \"+\"\n"
                                                     "        Ident 8 1 \"y\"\n"
                                                     "    Statement 10 15 \"print \"hi\", (2)\"\n"
                                                     "      Print 10 15 \"print \"hi\", (2)\"\n"
                                                     "        QuotedString 16 4 \"\"hi\"\"\n"
                                                     "        Number 23 1 \"2\"\n");
    EXPECT_TRUE(Codes().empty());
}

// Navigation answers come from sibling links after a parse and from the pre-order layout
// before linking; both must agree on every node.
TEST_F(Engine, LinkedAndUnlinkedTreesAnswerAlike)
{
    Load(ReadAll(DataPath("toy.qvg")));
    Parse("x = 1 + y\n{ print 2 { z = (3) } }\nprint \"s\", x");
    ParseTreeImp* tree = static_cast<ParseTreeImp*>(tree_);
    ASSERT_TRUE(tree->IsLinked());
    auto answers = [&] {
        std::string out;
        for (long node = 1; node < tree->Count(); ++node) {
            out += std::to_string(tree->GetNumChildren(node)) + " " + std::to_string(tree->GetChild(node, 1)) + " " +
                   std::to_string(tree->GetNextSibling(node)) + " " + std::to_string(tree->GetPrevSibling(node)) + " " +
                   std::to_string(tree->GetChildIndex(node)) + " " + std::to_string(tree->GetDepth(node)) + " " +
                   std::to_string(tree->FindNode("*Ident", node)) + "\n";
        }
        return out;
    };
    std::string linked = answers();
    long count = tree->Count();
    tree->AddNode(1, 0, 0, 0, 0);
    tree->CutBack(count);
    ASSERT_FALSE(tree->IsLinked());
    EXPECT_EQ(answers(), linked);
}

// The first alternative matches "a", the "c" that follows fails at "b", and control goes
// back into the finished choice, whose second alternative matches "ab".
TEST_F(Engine, BacktracksIntoAFinishedChoice)
{
    Load("grammar G; attributes no literal nodes; S = ( A | B ) C; A = 'a'; B = 'a' 'b'; C = 'c';");
    EXPECT_EQ(Parse("abc"), "Parse Tree 0 3 \"abc\"\n"
                            "  S 0 3 \"abc\"\n"
                            "    B 0 2 \"ab\"\n"
                            "      <char-range> 0 1 \"a\"\n"
                            "      <char-range> 1 1 \"b\"\n"
                            "    C 2 1 \"c\"\n"
                            "      <char-range> 2 1 \"c\"\n");
    EXPECT_TRUE(Codes().empty());
}

TEST_F(Engine, RepetitionsAndBudgets)
{
    struct Case {
        const char* rule;
        const char* input;
        const char* tree;
    } cases[] = {
        {"S = @repeat(2, 0, D) @eof; D (flat) = '0'..'9';", "1", "    ErrorCode -1 4 \"1005\"\n"},
        {"S = @repeat(0, 0, D) \"x\"; D (flat) = '0'..'9';", "x", "Parse Tree 0 1 \"x\"\n  S 0 1 \"x\"\n"},
        {"S = { <empty> } \"x\";", "x", "Parse Tree 0 1 \"x\"\n  S 0 1 \"x\"\n"},
        {"S = @length(0, 3, { D }) { D }; D (flat) = '0'..'9';", "12345",
         "Parse Tree 0 5 \"12345\"\n  S 0 5 \"12345\"\n    D 0 1 \"1\"\n    D 1 1 \"2\"\n    D 2 1 \"3\"\n"
         "    D 3 1 \"4\"\n    D 4 1 \"5\"\n"},
        {"S = { Item / \",\" };  Item (flat) = 'a'..'z';", "a, b ,c",
         "Parse Tree 0 7 \"a, b ,c\"\n  S 0 7 \"a, b ,c\"\n    Item 0 1 \"a\"\n    Item 3 1 \"b\"\n"
         "    Item 6 1 \"c\"\n"},
        {"S = \"#\" @skipto(\"!\");", "# never",
         "Parse Tree 0 7 \"# never\"\n  S 0 7 \"# never\"\n    * 2 5 \"never\"\n"},
        {"S = [ \"x\" ];", "", "Parse Tree 0 0 \"\"\n  S 0 0 \"\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Load(std::string("grammar G; attributes no literal nodes, no repetition nodes; ") + c.rule);
        std::string tree = Parse(c.input);
        EXPECT_NE(tree.find(c.tree), std::string::npos) << tree;
    }
}

TEST_F(Engine, FlatAndHiddenShapes)
{
    Load("grammar G; attributes no literal nodes, no repetition nodes;"
         "S = { Word }; Word = Inner; Inner (no node) = Letters; Letters (flat) = @token({ L }); L = 'a'..'z';");
    EXPECT_EQ(Parse("ab cd"), "Parse Tree 0 5 \"ab cd\"\n"
                              "  S 0 5 \"ab cd\"\n"
                              "    Word 0 2 \"ab\"\n"
                              "      Letters 0 2 \"ab\"\n"
                              "    Word 3 2 \"cd\"\n"
                              "      Letters 3 2 \"cd\"\n");
}

TEST_F(Engine, KeywordsNeedADelimiter)
{
    Load("grammar G; attributes no literal nodes; S = Kw | Name; Kw = \"if\" [ \"(\" ]; Name (flat) = identifier;");
    struct Case {
        const char* input;
        const char* first;
    } cases[] = {{"if", "    Kw 0 2"}, {"if(", "    Kw 0 3"}, {"ifx", "    Name 0 3"}, {"if_", "    Name 0 3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::string tree = Parse(c.input);
        EXPECT_NE(tree.find(std::string("\n") + c.first), std::string::npos) << tree;
    }
}

TEST_F(Engine, FailureIsReportedAtTheFurthestPosition)
{
    Load(ReadAll(DataPath("toy.qvg")));
    std::string tree = Parse("x = 1\ny = 2 +\nprint 3");
    ASSERT_EQ(Codes().size(), 1u) << tree;
    QVError* error = api_.GetLastError();
    EXPECT_EQ(error->GetCode(), 1006);
    EXPECT_EQ(error->GetIntAttribute("Severity"), 2);
    EXPECT_EQ(error->GetIntAttribute("StartPos"), 14);
    EXPECT_NE(tree.find("  Error 14 1 \"p\""), std::string::npos) << tree;
    EXPECT_NE(tree.find("    LineNumber -1 1 \"3\""), std::string::npos) << tree;

    Parse("= 1");
    ASSERT_EQ(Codes().size(), 1u);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1006);
    EXPECT_EQ(api_.GetLastError()->GetIntAttribute("StartPos"), 0);

    Parse("print \"open");
    ASSERT_EQ(Codes().size(), 1u);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1011);
}

TEST_F(Engine, AStartRuleThatFailsGives1005)
{
    Load("grammar G; S = \"a\" \"b\";");
    std::string tree = Parse("a c");
    ASSERT_EQ(Codes().size(), 1u);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1005);
    EXPECT_EQ(api_.GetLastError()->GetIntAttribute("StartPos"), 2);
    EXPECT_NE(tree.find("    ErrorType -1 25 \"Unrecoverable Parse Error\""), std::string::npos) << tree;
}

// After a syntax error near the end of a long input, the search through earlier choices is
// bounded: the error is reported at its place with work proportional to the input.
TEST_F(Engine, LateSyntaxErrorsInLongInputsStayCheap)
{
    Load(ReadAll(DataPath("rhu_excerpt.qvg")));
    std::string text;
    for (int i = 0; text.size() < 60000; ++i)
        text += "texture t" + std::to_string(i) + ".bmp ALPHA mips=on\nAnimTable a" + std::to_string(i) +
                " { B { One, Two } }\n";
    size_t errorAt = text.size();
    text += "texture = = broken\n";
    QVInputStream* stream = api_.OpenBufferStream(text.c_str(), static_cast<long>(text.size()));
    ParserImp* parser = ParserImp::CreateNew(&api_);
    ASSERT_EQ(parser->StartParse(grammar_, nullptr, stream, 5), -2);
    while (parser->Step() == -2) {
    }
    long steps = parser->GetStepCount();
    api_.DeleteParseTree(parser->EndParse());
    ParserImp::Delete(parser);
    api_.CloseStream(stream);
    ASSERT_EQ(api_.GetNumErrors(), 1);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1006);
    EXPECT_EQ(api_.GetLastError()->GetIntAttribute("StartPos"), static_cast<long>(errorAt) + 8);
    EXPECT_LT(steps, 200L * static_cast<long>(text.size()));
}

// A rule that matches nothing loses its node, but an error recorded inside it stays.
TEST_F(Engine, ErrorNodesOutliveEmptyRules)
{
    Load("grammar G; attributes no literal nodes; S = \"a\" W \"b\"; W = @error(\"odd\", <empty>);");
    std::string tree = Parse("a b");
    EXPECT_EQ(api_.GetNumErrors(), 0);
    ASSERT_EQ(api_.GetNumWarnings(), 1) << tree;
    EXPECT_EQ(api_.GetFirstWarning()->GetCode(), 1700);
    EXPECT_STREQ(api_.GetFirstWarning()->GetTextAttribute("Description"), "odd");
    EXPECT_EQ(tree.find("  W "), std::string::npos) << tree;
    EXPECT_NE(tree.find("    Error 0 1 \"a\"\n      ErrorType -1 18 \"User-Defined Error\""), std::string::npos)
        << tree;
}

// A sequence marked expected reports a missing item as a warning instead of failing.
TEST_F(Engine, ExpectedItemsAreReportedNotFailed)
{
    Load("grammar G; attributes no literal nodes; S = { Stmt }; Stmt (expected terms) = Word @expected \";\" ;"
         "Word (flat) = @token({ 'a'..'z' });");
    std::string tree = Parse("one; two three;");
    EXPECT_EQ(api_.GetNumErrors(), 0) << tree;
    ASSERT_EQ(api_.GetNumWarnings(), 1) << tree;
    EXPECT_EQ(api_.GetFirstWarning()->GetCode(), 1703);
    EXPECT_EQ(api_.GetFirstWarning()->GetIntAttribute("StartPos"), 9);
    EXPECT_NE(tree.find("      Word 5 3 \"two\"\n"), std::string::npos) << tree;
    EXPECT_NE(tree.find("      Word 9 5 \"three\"\n"), std::string::npos) << tree;
}

// Without expected terms, a sequence marked expected skips ahead to the next place where one
// of its remaining items can begin, and reports what it skipped: the expected item found
// after unexpected text is unexpected text; a later item found at once means the expected one
// is missing.
TEST_F(Engine, ResynchronisesAfterAMissingItem)
{
    Load("grammar G; attributes no literal nodes; S = { Stmt }; Stmt = Word @expected \"=\" Word \";\";"
         "Word (flat) = @token({ 'a'..'z' });");
    std::string tree = Parse("a = b; c d = e; f = g;");
    EXPECT_EQ(api_.GetNumErrors(), 0) << tree;
    EXPECT_EQ(Warnings(), (std::vector<std::string>{"1703@9+1", "1702@11+3"})) << tree;
    EXPECT_STREQ(api_.GetFirstWarning()->GetTextAttribute("Expecting"), "\"=\"");
    EXPECT_NE(tree.find("    Stmt 16 6 \"f = g;\""), std::string::npos) << tree;
}

// Resynchronisation tries only the terms the first-term lists name: an item that may match
// nothing is no place to take up again, a choice offers only its listed alternatives, a
// predefined scanner is a term like a rule, and inside a flat symbol nothing is tried, so the
// sequence ends where its matched text ends.
TEST_F(Engine, ResynchronisationTakesUpWhereTheFirstTermListsSay)
{
    struct Case {
        const char* name;
        const char* rules;
        const char* input;
        std::vector<std::string> warnings;
        const char* statements;
    } cases[] = {
        {"item that may match nothing",
         "Stmt = Word @expected \"=\" Mark Word \";\";",
         "a = b; c ? = d; e = f;",
         {"1702@9+2"},
         "Stmt 0 6 \"a = b;\"|Stmt 7 8 \"c ? = d;\"|Stmt 16 6 \"e = f;\"|"},
        {"choice with an empty way",
         "Stmt = Word @expected \"=\" [ \"!\" ] Word \";\";",
         "a = b; c ? = d; e = f;",
         {"1702@9+2"},
         "Stmt 0 6 \"a = b;\"|Stmt 7 8 \"c ? = d;\"|Stmt 16 6 \"e = f;\"|"},
        {"scanner as the next item",
         "Stmt = Word @expected \"=\" numeric \";\";",
         "a = 1; b 2; c = 3;",
         {"1703@9+1"},
         "Stmt 0 6 \"a = 1;\"|Stmt 7 4 \"b 2;\"|Stmt 12 6 \"c = 3;\"|"},
        {"flat symbol",
         "Stmt (flat) = Word @expected \"=\" Word \";\";",
         "a = b; c d = e; f = g;",
         {"1703@8+0"},
         "Stmt 0 6 \"a = b;\"|Stmt 7 1 \"c\"|Stmt 9 6 \"d = e;\"|Stmt 16 6 \"f = g;\"|"},
    };
    for (const Case& c : cases) {
        Load(std::string("grammar G; attributes no literal nodes; S = { Stmt };") + c.rules +
             " Word (flat) = @token({ 'a'..'z' }); Mark = [ \"!\" ];");
        // Errors kept as records, and as nodes of the tree (which a flat symbol must not drop).
        for (unsigned long flags : {1ul, 5ul}) {
            SCOPED_TRACE(std::string(c.name) + ", flags " + std::to_string(flags));
            std::string tree = Parse(c.input, flags);
            EXPECT_EQ(api_.GetNumErrors(), 0) << tree;
            EXPECT_EQ(Warnings(), c.warnings) << tree;
            std::string statements;
            std::istringstream lines(tree);
            for (std::string line; std::getline(lines, line);)
                if (line.compare(0, 11, "      Stmt ") == 0)
                    statements += line.substr(6) + "|";
            EXPECT_EQ(statements, c.statements) << tree;
        }
    }
}

// Event listeners see every symbol event; answering -1 to a match turns it into a failure.
TEST_F(Engine, EventListenersCanRefuseAMatch)
{
    Load("grammar G; S = A | B; A = \"x\"; B = \"x\";");
    struct Refuse : QVEventListener {
        long OnEvent(long, long eventType, QVParseEventContext*) override
        {
            ++events;
            return eventType == 2 ? -1 : 0;
        }
        int events = 0;
    } refuse;
    ASSERT_EQ(grammar_->RegisterEventListener("A", 2, &refuse), 1);
    std::string tree = Parse("x");
    EXPECT_NE(tree.find("  B 0 1"), std::string::npos) << tree;
    EXPECT_EQ(refuse.events, 1);
    EXPECT_EQ(grammar_->RegisterEventListener("Nothing", 2, &refuse), 0);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1150);
    grammar_->UnregisterEventListener(&refuse);
}

// An outside symbol's handler supplies its match, and is handed the event listener registered
// for that symbol or for every symbol, so that it can report what it reads.
TEST_F(Engine, OutsideSymbolHandlersGetTheSymbolsEventListener)
{
    Load("grammar G; S = \"<\" Magic \">\"; Magic (outside) = <empty>;");
    struct Events : QVEventListener {
        long OnEvent(long, long, QVParseEventContext*) override { return 0; }
    } events;
    struct Handler : QVOutsideSymbolHandler {
        long Match(long, QVInputStream*, long, int, const char*, QVEventListener* listener) override
        {
            given = listener;
            return 3;
        }
        QVEventListener* given = nullptr;
    } handler;
    ASSERT_EQ(grammar_->RegisterOutsideSymbol("Magic", &handler), 1);
    struct Case {
        const char* registeredFor; // null: no listener
        bool handedOver;
    } cases[] = {{nullptr, false}, {"S", false}, {"Magic", true}, {"", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.registeredFor ? c.registeredFor : "none");
        if (c.registeredFor) {
            ASSERT_EQ(grammar_->RegisterEventListener(c.registeredFor, 0, &events), 1);
        }
        handler.given = nullptr;
        std::string tree = Parse("<abc>");
        EXPECT_NE(tree.find("  Magic 1 3 \"abc\""), std::string::npos) << tree;
        EXPECT_EQ(handler.given, c.handedOver ? &events : nullptr);
        grammar_->UnregisterEventListener(&events);
    }
    grammar_->UnregisterOutsideSymbol(&handler);
}

TEST_F(Engine, BufferAndFileInputGiveTheSameTree)
{
    Load(ReadAll(DataPath("toy.qvg")));
    std::string text;
    for (int i = 0; i < 800; ++i)
        text += "v" + std::to_string(i) + " = (" + std::to_string(i) + " + w) * 2 # note\nprint \"s\", v\n";
    ASSERT_GT(text.size(), 20000u);
    std::string fromBuffer = Parse(text);
    std::string path = mgtest::ScratchPath("engine_input.txt");
    WriteAll(path, text);
    QVInputStream* stream = api_.OpenFileStream(path.c_str(), 64);
    ASSERT_NE(stream, nullptr);
    QVParseTree* tree = api_.Parse(grammar_, nullptr, stream, 5);
    EXPECT_EQ(DumpTree(tree), fromBuffer);
    EXPECT_TRUE(Codes().empty());
    api_.DeleteParseTree(tree);
    api_.CloseStream(stream);
}

// Inputs of several megabytes are ordinary for data scripts: neither the step allowance nor
// the stack of finished choices, which grows with the input's length, may refuse them.
TEST_F(Engine, MultiMegabyteInputsParse)
{
    Load(ReadAll(DataPath("toy.qvg")));
    std::string text;
    for (int i = 0; text.size() < 2500000; ++i)
        text += "v" + std::to_string(i) + " = (" + std::to_string(i) + " + w) * 2\n";
    Parse(text);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(Engine, BadInputEndsWithANumberedError)
{
    Load(ReadAll(DataPath("toy.qvg")));
    std::string garbage;
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 7919) % 251 + 1);
    Parse(garbage);
    ASSERT_FALSE(Codes().empty());
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1006);

    std::string deep = "x = " + std::string(600000, '(') + "1" + std::string(600000, ')');
    Parse(deep);
    ASSERT_FALSE(Codes().empty());
    EXPECT_EQ(Codes().back(), 1004);

    // Each nesting level doubles the work of this grammar; the parse gives up instead of hanging.
    Load("grammar G; E = T { \"+\" T } | T; T = \"(\" E \")\" | \"1\";");
    Parse(std::string(40, '(') + "1" + std::string(40, ')') + "+");
    ASSERT_EQ(Codes().size(), 1u);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1005);
}

} // namespace

namespace {

std::string SourcePath(const std::string& name) { return std::string(MG_TESTS_DIR) + "/../" + name; }

// The converter's own scripts, and copies with a character dropped or a brace added at several
// places, so that the converter's grammar fails in many different ways.
std::vector<std::string> ScriptsAndDamagedCopies()
{
    std::vector<std::string> inputs;
    for (const char* name :
         {"converter/res/RhuDefaults.rhu", "data/master.rhu", "data/mainmenu.rhu", "data/figure.rhu"}) {
        const std::string script = ReadAll(SourcePath(name));
        if (script.empty())
            continue;
        inputs.push_back(script);
        for (int k = 1; k <= 4; ++k) {
            const size_t at = script.size() * k / 5;
            inputs.push_back(script.substr(0, at) + script.substr(at + 1));
        }
        inputs.push_back(script.substr(0, script.size() / 2) + "{" + script.substr(script.size() / 2));
    }
    return inputs;
}

} // namespace

// Flat rules and failing alternatives are matched without frames of their own unless every
// step is watched; both ways must give the same trees, errors, positions and step counts.
TEST_F(Engine, MatchingWithoutFramesChangesNothing)
{
    const std::string shapes = "grammar G; attributes no literal nodes, backtrack; space Blank;"
                               "S = [ { Item } ];"
                               "Item (no node) = Pair | Word | Quoted | Num | Neg;"
                               "Pair = Key \"=\" ( Num | Word );"
                               "Key (flat, nocase) = @token({ 'a'..'z' | '_' } [ '.' { 'a'..'z' } ]) except Res;"
                               "Word (flat) = @token({ 'A'..'Z' | 'a'..'z' }) except Res;"
                               "Res (no node) = @words(\"end\", \"begin\");"
                               "Quoted (flat) = @token('\"' [ { '\\\\' '\"' | @notchar('\"') } ] '\"');"
                               "Num (flat) = @token([ '-' ] { '0'..'9' } @not('x'));"
                               "Neg = \"!\" Word;"
                               "Blank (flat, no node) = @token([ { ' ' | '\\n' | Comment } ]);"
                               "Comment (no node) = \"//\" @skipto('\\n');";
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {shapes,
         {"alpha beta = 12 x.y = gamma \"q\\\"s\" // note\n -7 !w", "alpha = = 3", "a \"open", "end", "12x",
          "KEY.sub = Word // c\n"}},
        {ReadAll(DataPath("rhu_excerpt.qvg")),
         {"texture t1 t1.bmp ALPHA mips=on\nAnimTable a { B { One, Two } }\n", "texture = = broken\n",
          "Sound s s.wav\n Mesh m m.lwo SORT=ALPHA // x\n"}},
        {ReadAll(SourcePath("converter/res/RhuParser.qvg")), ScriptsAndDamagedCopies()},
    };
    for (const auto& [grammar, inputs] : cases) {
        Load(grammar);
        for (const std::string& text : inputs) {
            std::string results[2];
            for (int quick = 0; quick < 2; ++quick) {
                QVInputStream* stream = api_.OpenBufferStream(text.c_str(), static_cast<long>(text.size()));
                ParserImp* parser = ParserImp::CreateNew(&api_);
                parser->SetQuickMatching(quick == 1);
                ASSERT_EQ(parser->StartParse(grammar_, nullptr, stream, 5), -2);
                while (parser->Step() == -2) {
                }
                std::ostringstream out;
                out << "steps " << parser->GetStepCount() << "\n";
                QVParseTree* tree = parser->EndParse();
                out << DumpTree(tree);
                for (QVError* e = api_.GetLastError(); e; e = api_.GetPrevError(e))
                    out << "error " << e->GetCode() << "@" << e->GetIntAttribute("StartPos") << " step "
                        << e->GetIntAttribute("StepNumber") << "\n";
                results[quick] = out.str();
                api_.DeleteParseTree(tree);
                ParserImp::Delete(parser);
                api_.CloseStream(stream);
                api_.ClearErrors();
            }
            EXPECT_EQ(results[0], results[1]) << text;
        }
    }
}
