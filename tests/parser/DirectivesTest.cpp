// Instructions qvgc does not write (constraints, tests, built symbols, computed lengths),
// assembled by hand through the Context tables and run by the engine.
#include "qv_test_support.h"

#include "qvrn/Context.h"
#include "qvrn/Instructions.h"
#include "qvrn/QVError.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace qvtest;

// A grammar whose rules are added one instruction at a time.
class Assembler {
public:
    Assembler()
    {
        memcpy(image_.GetHeader() + 20, kQVGrammarBanner, strlen(kQVGrammarBanner));
        grammarKind_ = image_.GetNameID("grammar");
        symbolKind_ = image_.GetNameID("symbol");
        image_.CreateContext(image_.GetNameID("G"), 0, grammarKind_);
    }

    long Rule(const char* name) { return image_.CreateContext(image_.GetNameID(name), 1, symbolKind_); }
    void SetRule(long ctx, long offset) { image_.SetValue(ctx, offset); }

    long Emit(std::initializer_list<int32_t> words, const std::string& bytes = std::string())
    {
        std::string code;
        for (int32_t w : words)
            code.append(reinterpret_cast<const char*>(&w), 4);
        code += bytes;
        return image_.AppendByteCode(code.data(), static_cast<long>(code.size()));
    }
    long Literal(const std::string& text) { return Emit({QV_LITERAL, static_cast<int32_t>(text.size())}, text); }
    long Ref(const char* name) { return Emit({QV_SYMBOL, 1, static_cast<int32_t>(image_.GetNameID(name))}); }
    // A sequence with the first-term list given as {term, item index} pairs (none when empty).
    long Sequence(std::initializer_list<int32_t> items, const std::vector<std::pair<int32_t, int32_t>>& firstTerms = {})
    {
        std::vector<int32_t> list = {0, static_cast<int32_t>(firstTerms.size())};
        for (const auto& pair : firstTerms)
            list.insert(list.end(), {pair.first, pair.second});
        long listAt =
            firstTerms.empty() ? 0 : Emit({}, std::string(reinterpret_cast<const char*>(list.data()), 4 * list.size()));
        std::vector<int32_t> words = {QV_CONJUNCTION, static_cast<int32_t>(items.size())};
        words.insert(words.end(), items.begin(), items.end());
        words.push_back(static_cast<int32_t>(listAt));
        std::string code(reinterpret_cast<const char*>(words.data()), 4 * words.size());
        return image_.AppendByteCode(code.data(), static_cast<long>(code.size()));
    }
    long Test(const std::string& first, const std::string& second, int32_t mode)
    {
        return Emit({QV_TEST, static_cast<int32_t>(first.size()), static_cast<int32_t>(second.size()), mode},
                    first + second);
    }
    long TextRecord(const std::string& text) { return Emit({0, static_cast<int32_t>(text.size())}, text); }
    long NameParts(std::initializer_list<std::string> parts)
    {
        std::string bytes;
        for (const std::string& part : parts) {
            int32_t n = static_cast<int32_t>(part.size());
            bytes.append(reinterpret_cast<const char*>(&n), 4);
            bytes += part;
        }
        return Emit({0, static_cast<int32_t>(parts.size())}, bytes);
    }

    QVGrammar* Load(QuorvaneAPI& api, const std::string& tag)
    {
        std::string path = mgtest::ScratchPath(tag + ".gmr");
        EXPECT_EQ(image_.Serialize(path.c_str(), 1), 1);
        return api.LoadGrammar(path.c_str());
    }

private:
    Context image_;
    long grammarKind_, symbolKind_;
};

class Directives : public ::testing::Test {
protected:
    void TearDown() override
    {
        api_.DeleteParseTree(tree_);
        api_.UnloadGrammar(grammar_);
    }

    std::string Parse(const std::string& text, unsigned long flags)
    {
        api_.DeleteParseTree(tree_);
        input_ = text;
        tree_ = api_.Parse(grammar_, nullptr, input_.c_str(), static_cast<long>(input_.size()), flags);
        return DumpTree(tree_);
    }

    QuorvaneAPI api_;
    QVGrammar* grammar_ = nullptr;
    QVParseTree* tree_ = nullptr;
    std::string input_;
};

TEST_F(Directives, ConstraintWarnsInsteadOfFailing)
{
    Assembler a;
    long s = a.Rule("S");
    long test = a.Test("#warn", "5", 1);
    a.SetRule(s, a.Emit({QV_CONSTRAINT, static_cast<int32_t>(a.Sequence(
                                            {static_cast<int32_t>(test), static_cast<int32_t>(a.Literal("x"))}))}));
    grammar_ = a.Load(api_, "constraint");
    ASSERT_NE(grammar_, nullptr);
    Parse("y", 4);
    EXPECT_EQ(api_.GetNumErrors(), 0);
    ASSERT_EQ(api_.GetNumWarnings(), 1);
    EXPECT_EQ(api_.GetFirstWarning()->GetCode(), 1007);
    EXPECT_EQ(api_.GetFirstWarning()->GetIntAttribute("ConstraintID"), 5);
}

TEST_F(Directives, ValueTestsAndCase)
{
    Assembler a;
    long s = a.Rule("S");
    long word = a.Literal("ab");
    long sensitive = a.Sequence({static_cast<int32_t>(word), static_cast<int32_t>(a.Test("#value", "\"AB\"", 1))});
    long insensitive = a.Emit({QV_ATTRIBUTES, QVA_NOCASE, static_cast<int32_t>(sensitive)});
    long different = a.Sequence({static_cast<int32_t>(word), static_cast<int32_t>(a.Test("#value", "\"zz\"", 2))});
    a.SetRule(s, a.Emit({QV_DISJUNCTION, 1, static_cast<int32_t>(sensitive)}));
    long t = a.Rule("T");
    a.SetRule(t, insensitive);
    long u = a.Rule("U");
    a.SetRule(u, different);
    grammar_ = a.Load(api_, "tests");
    ASSERT_NE(grammar_, nullptr);
    struct Case {
        const char* start;
        bool accepted;
    } cases[] = {{"S", false}, {"T", true}, {"U", true}};
    for (const Case& c : cases) {
        api_.DeleteParseTree(tree_);
        tree_ = api_.Parse(grammar_, c.start, "ab", 2, 5);
        EXPECT_EQ(api_.GetNumErrors() == 0, c.accepted) << c.start;
    }
}

TEST_F(Directives, BuiltSymbolsAndComputedLengths)
{
    Assembler a;
    long s = a.Rule("S");
    long itemA = a.Rule("ItemA");
    a.SetRule(itemA, a.Literal("!"));
    long letter = a.Emit({QV_CHARRANGE}, "AZ");
    long built = a.Emit({QV_BUILTSYMBOL, static_cast<int32_t>(a.NameParts({"\"Item\"", "#"}))});
    a.SetRule(s, a.Sequence({static_cast<int32_t>(letter), static_cast<int32_t>(built)}));
    long count = a.Rule("Count");
    a.SetRule(count, a.Emit({QV_CHARRANGE}, "09"));
    long l = a.Rule("L");
    long digits = a.Emit({QV_REPETITION, 1, 0, static_cast<int32_t>(a.Emit({QV_CHARRANGE}, "az")), 0});
    long limited = a.Emit(
        {QV_COMPUTEDLENGTH, 0, static_cast<int32_t>(a.TextRecord("#Int(^L.Count)")), static_cast<int32_t>(digits)});
    a.SetRule(l, a.Sequence({static_cast<int32_t>(a.Ref("Count")), static_cast<int32_t>(limited)}));
    grammar_ = a.Load(api_, "built");
    ASSERT_NE(grammar_, nullptr);

    std::string tree = DumpTree(tree_ = api_.Parse(grammar_, "S", "A!", 2, 5));
    EXPECT_EQ(api_.GetNumErrors(), 0);
    EXPECT_NE(tree.find("  ItemA 1 1 \"!\""), std::string::npos) << tree;
    api_.DeleteParseTree(tree_);
    tree_ = api_.Parse(grammar_, "S", "B!", 2, 5);
    ASSERT_EQ(api_.GetNumErrors(), 1);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1009);

    api_.DeleteParseTree(tree_);
    tree_ = api_.Parse(grammar_, "L", "3abcdef", 7, 4);
    EXPECT_EQ(api_.GetNumErrors(), 0);
    EXPECT_EQ(tree_->GetNodeLength(2), 4);
}

// QV_NEXT_TERM builds a list of the terms that may follow and matches the first that fits.
TEST_F(Directives, NextTermLists)
{
    Assembler a;
    long s = a.Rule("S");
    long lead = a.Rule("Lead");
    long tail = a.Rule("Tail");
    a.SetRule(s, a.Sequence({static_cast<int32_t>(a.Ref("Lead")), static_cast<int32_t>(a.Ref("Tail"))}));
    long next = a.Emit({QV_BUILTSYMBOL, static_cast<int32_t>(a.NameParts({"QV_NEXT_TERM"}))});
    a.SetRule(lead, a.Sequence({static_cast<int32_t>(a.Literal("a")), static_cast<int32_t>(next)}));
    a.SetRule(tail,
              a.Emit({QV_DISJUNCTION, 2, static_cast<int32_t>(a.Literal("!")), static_cast<int32_t>(a.Literal("?"))}));
    grammar_ = a.Load(api_, "nextterm");
    ASSERT_NE(grammar_, nullptr);
    struct Case {
        const char* input;
        bool accepted;
    } cases[] = {{"a??", true}, {"a!?", true}, {"a?", false}, {"a", false}};
    for (const Case& c : cases) {
        std::string tree = Parse(c.input, 5);
        EXPECT_EQ(api_.GetNumErrors() == 0, c.accepted) << c.input << "\n" << tree;
    }
}

// QV_NEXT_SYNCH tries only the following items' terms that their sequence lists as places to
// take up again; QV_NEXT_TERM tries every term that can come next.
TEST_F(Directives, NextSynchronisingTermsComeFromTheFirstTermLists)
{
    struct Case {
        const char* selector;
        bool bangListed;
        bool accepted;
    } cases[] = {{"QV_NEXT_SYNCH", true, true}, {"QV_NEXT_SYNCH", false, false}, {"QV_NEXT_TERM", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selector) + (c.bangListed ? " listed" : " not listed"));
        Assembler a;
        long s = a.Rule("S");
        long lead = a.Rule("Lead");
        long bang = a.Literal("!");
        long query = a.Literal("?");
        std::vector<std::pair<int32_t, int32_t>> terms = {{static_cast<int32_t>(query), 2}};
        if (c.bangListed)
            terms.insert(terms.begin(), {static_cast<int32_t>(bang), 1});
        a.SetRule(s, a.Sequence(
                         {static_cast<int32_t>(a.Ref("Lead")), static_cast<int32_t>(bang), static_cast<int32_t>(query)},
                         terms));
        long next = a.Emit({QV_BUILTSYMBOL, static_cast<int32_t>(a.NameParts({c.selector}))});
        a.SetRule(lead, a.Sequence({static_cast<int32_t>(a.Literal("a")), static_cast<int32_t>(next)}));
        api_.UnloadGrammar(grammar_);
        grammar_ = a.Load(api_, "nextsynch");
        ASSERT_NE(grammar_, nullptr);
        std::string tree = Parse("a!!?", 5);
        EXPECT_EQ(api_.GetNumErrors() == 0, c.accepted) << tree;
    }
}

// The terms that can come next look through an instruction that wraps one body: here a body
// that may match nothing, so both its own term and the term after it can come next.
TEST_F(Directives, NextTermsLookThroughWrappingInstructions)
{
    enum Wrapper { kAttributes, kLength, kToken };
    for (Wrapper wrapper : {kAttributes, kLength, kToken}) {
        SCOPED_TRACE(wrapper);
        Assembler a;
        long s = a.Rule("S");
        long lead = a.Rule("Lead");
        int32_t body = static_cast<int32_t>(
            a.Emit({QV_DISJUNCTION, 2, static_cast<int32_t>(a.Emit({QV_NULL})), static_cast<int32_t>(a.Literal("!"))}));
        long wrapped = wrapper == kAttributes ? a.Emit({QV_ATTRIBUTES, 0, body})
                       : wrapper == kLength   ? a.Emit({QV_LENGTH, 0, -1, body})
                                              : a.Emit({QV_TOKEN, body, QV_TOKEN_NONE});
        a.SetRule(s, a.Sequence({static_cast<int32_t>(a.Ref("Lead")), static_cast<int32_t>(wrapped),
                                 static_cast<int32_t>(a.Literal("?"))}));
        long next = a.Emit({QV_BUILTSYMBOL, static_cast<int32_t>(a.NameParts({"QV_NEXT_TERM"}))});
        a.SetRule(lead, a.Sequence({static_cast<int32_t>(a.Literal("a")), static_cast<int32_t>(next)}));
        api_.UnloadGrammar(grammar_);
        grammar_ = a.Load(api_, "nextwrapped");
        ASSERT_NE(grammar_, nullptr);
        for (const char* input : {"a!?", "a??"}) {
            std::string tree = Parse(input, 5);
            EXPECT_EQ(api_.GetNumErrors(), 0) << input << "\n" << tree;
        }
    }
}

} // namespace
