// Compiled grammar images: loading from memory and files, checksums, writing back, name
// resolution, and refusal of damaged or hostile images.
#include "qv_test_support.h"

#include "qvrn/Context.h"
#include "qvrn/Grammar.h"
#include "qvrn/QVError.h"
#include "qvrn/QuorvaneAPI.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

namespace {

using namespace qvtest;

class GrammarImage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        path_ = CompileGrammar("toy.qvg", "qv_toy.gmr");
        bytes_ = ReadAll(path_);
    }

    QVGrammar* LoadBytes(const std::string& image)
    {
        return api_.LoadGrammarFromBuffer(image.data(), static_cast<long>(image.size()));
    }

    std::vector<long> Codes()
    {
        std::vector<long> codes;
        for (QVError* e = api_.GetLastError(); e; e = api_.GetPrevError(e))
            codes.push_back(e->GetCode());
        return codes; // newest first
    }

    static std::string path_;
    static std::string bytes_;
    QuorvaneAPI api_;
};

std::string GrammarImage::path_;
std::string GrammarImage::bytes_;

TEST_F(GrammarImage, LoadsFromMemoryAndFilesAndWritesBackIdentically)
{
    ASSERT_FALSE(bytes_.empty());
    QVGrammar* fromMemory = LoadBytes(bytes_);
    ASSERT_NE(fromMemory, nullptr);
    QVGrammar* unsized = api_.LoadGrammarFromBuffer(bytes_.data());
    ASSERT_NE(unsized, nullptr);
    std::string gob = BinaryPath("qv_toy_copy.GOB");
    WriteAll(gob, bytes_);
    QVGrammar* fromFile = api_.LoadGrammar(gob.c_str());
    ASSERT_NE(fromFile, nullptr);

    char name[64];
    EXPECT_STREQ(fromMemory->GetStartSymbolName(name, sizeof name), "Program");
    EXPECT_STREQ(fromFile->GetVersionStr("", name, sizeof name), "toy 1.0");
    EXPECT_EQ(fromMemory->Resolve("Statement"), fromFile->Resolve("STATEMENT"));

    std::string rewritten = BinaryPath("qv_toy_rewritten.gmr");
    ASSERT_EQ(static_cast<GrammarImp*>(fromMemory)->GetContext()->Serialize(rewritten.c_str(), 1), 1);
    EXPECT_EQ(ReadAll(rewritten), bytes_);
    for (QVGrammar* g : {fromMemory, unsized, fromFile})
        api_.UnloadGrammar(g);
}

TEST_F(GrammarImage, IndependentReaderAgreesOnCountsAndChecksum)
{
    std::string listing;
    ASSERT_EQ(RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/parser/grammar_image.py " + path_, &listing),
              0)
        << listing;
    QVGrammar* grammar = LoadBytes(bytes_);
    GrammarContext* context = static_cast<GrammarImp*>(grammar)->GetContext();
    std::ostringstream expected;
    expected << "format 7 contexts " << context->GetContextCount() << " names " << context->GetNameCount()
             << " parents 0 bytecode " << context->GetByteCodeLength() << " checksum ok\n";
    api_.UnloadGrammar(grammar);
    EXPECT_EQ(listing.substr(0, listing.find('\n') + 1), expected.str());
    EXPECT_NE(listing.find("context 2 Program parent 1 kind symbol"), std::string::npos);
}

// The independent reader recomputes every sequence's first-term list from the byte code; the
// converter's grammars give it many shapes of sequences, choices and wrappers.
TEST_F(GrammarImage, IndependentReaderRecomputesTheFirstTermLists)
{
    std::string converterGrammars = std::string(MG_TESTS_DIR) + "/../converter/res/";
    for (const std::string& source :
         {DataPath("toy.qvg"), converterGrammars + "RhuParser.qvg", converterGrammars + "HParser.qvg"}) {
        SCOPED_TRACE(source);
        std::string image = mgtest::ScratchPath("first_terms.gmr");
        ASSERT_EQ(RunCommand(BinaryPath("bin/qvgc") + " " + source + " -o " + image), 0);
        std::string report;
        EXPECT_EQ(
            RunCommand(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/parser/grammar_image.py --first-terms " + image,
                       &report),
            0)
            << report;
        EXPECT_NE(report.find(" checked 0 wrong"), std::string::npos) << report;
        EXPECT_EQ(report.find("first-term lists 0 checked"), std::string::npos) << report;
    }
}

TEST_F(GrammarImage, DisassemblyMatchesTheGoldenListing)
{
    std::string listing;
    ASSERT_EQ(RunCommand(BinaryPath("bin/qvgc") + " -d " + path_, &listing), 0);
    EXPECT_EQ(listing, ReadAll(DataPath("toy.listing")));
}

TEST_F(GrammarImage, NameResolution)
{
    GrammarImp* grammar = static_cast<GrammarImp*>(LoadBytes(bytes_));
    ASSERT_NE(grammar, nullptr);
    Context& context = *grammar->GetContext();
    EXPECT_EQ(context.LookupName("PROGRAM"), context.LookupName("program"));
    EXPECT_NE(context.LookupName("Program"), 0);
    EXPECT_EQ(context.LookupName("<NULL>"), 0);
    EXPECT_EQ(context.Resolve(1, "Nothing.Program"), 0);
    EXPECT_EQ(context.Resolve(1, "Program"), 2);
    EXPECT_EQ(context.Resolve(2, "Statement"), 3);
    std::string longPart(200, 'a');
    EXPECT_EQ(context.Resolve(1, longPart.c_str()), 0);
    char name[64];
    EXPECT_STREQ(context.BuildQualifiedName(3, 0, name, sizeof name), "Toy.Statement");
    EXPECT_STREQ(context.BuildQualifiedName(3, 1, name, sizeof name), "Statement");
    api_.UnloadGrammar(grammar);
}

TEST_F(GrammarImage, InheritanceEntriesResolveNamesOfOtherContexts)
{
    Context context;
    long symbol = context.GetNameID("symbol");
    long grammarKind = context.GetNameID("grammar");
    long top = context.CreateContext(context.GetNameID("Top"), 0, grammarKind);
    long base = context.CreateContext(context.GetNameID("Base"), top, grammarKind);
    long shared = context.CreateContext(context.GetNameID("Shared"), base, symbol);
    long derived = context.CreateContext(context.GetNameID("Derived"), top, grammarKind);
    long rule = context.CreateContext(context.GetNameID("Rule"), derived, symbol);
    long path[] = {context.LookupName("Base")};
    EXPECT_EQ(context.Resolve(rule, context.LookupName("Shared")), 0);
    ASSERT_EQ(context.SetParentContext(derived, path, 1), 1);
    EXPECT_EQ(context.FindOuterContext(derived), base);
    EXPECT_EQ(context.Resolve(rule, context.LookupName("Shared")), shared);
    EXPECT_EQ(context.Resolve(derived, context.LookupName("Base")), base);
    EXPECT_EQ(context.SetParentContext(derived, path, 9), 0);
}

TEST_F(GrammarImage, WrongExtensionAndBanner)
{
    EXPECT_EQ(api_.LoadGrammar((path_ + ".txt").c_str()), nullptr);
    ASSERT_EQ(api_.GetNumErrors(), 1);
    EXPECT_EQ(api_.GetLastError()->GetCode(), 1102);
    EXPECT_STREQ(api_.GetLastError()->GetTextAttribute("ExtensionExpected"), ".GMR");

    std::string image = bytes_;
    image[25] = 'X';
    EXPECT_EQ(LoadBytes(image), nullptr);
    EXPECT_EQ(Codes(), (std::vector<long>{1103, 1105}));
}

// Every byte of the byte code but the first (which always holds 0 and has checksum weight 0)
// takes part in the checksum.
TEST_F(GrammarImage, EveryChangedByteCodeByteIsRefused)
{
    QVGrammar* valid = LoadBytes(bytes_);
    long length = static_cast<GrammarImp*>(valid)->GetContext()->GetByteCodeLength();
    api_.UnloadGrammar(valid);
    long codeStart = static_cast<long>(bytes_.size()) - length;
    for (long i = 1; i < length; ++i) {
        std::string image = bytes_;
        image[codeStart + i] = static_cast<char>(image[codeStart + i] ^ 0x5A);
        ASSERT_EQ(LoadBytes(image), nullptr) << i;
        ASSERT_EQ(Codes(), (std::vector<long>{1103, 1105})) << i;
    }
}

// Hostile images carry a matching checksum, so only the structural checks stand between
// them and out-of-bounds reads.
std::string Reseal(std::string image)
{
    // Recompute the checksum independently of the loader, over contexts, names, lists, code.
    int32_t contexts;
    memcpy(&contexts, &image[256], 4);
    uint32_t sum = 1;
    auto add = [&](size_t at, size_t n, uint32_t base) {
        for (size_t i = 0; i < n && at + i < image.size(); ++i)
            sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(image[at + i]))) *
                   (base + static_cast<uint32_t>(i));
    };
    size_t at = 260;
    if (contexts < 0 || contexts > 1024 || at + 20 * contexts + 4 > image.size())
        return image;
    add(at, 20 * contexts, 0);
    at += 20 * contexts;
    int32_t names;
    memcpy(&names, &image[at], 4);
    at += 4;
    for (int32_t j = 0; j < names; ++j) {
        int32_t length;
        if (at + 4 > image.size())
            return image;
        memcpy(&length, &image[at], 4);
        if (length < 0 || at + 4 + length > image.size())
            return image;
        add(at + 4, length, 32 * j);
        at += 4 + length;
    }
    if (at + 4 > image.size())
        return image;
    int32_t lists;
    memcpy(&lists, &image[at], 4);
    if (lists < 0 || lists > 63)
        return image;
    add(at + 4, 292 * lists, 0);
    at += 4 + 292 * lists;
    if (at + 4 > image.size())
        return image;
    int32_t code;
    memcpy(&code, &image[at], 4);
    if (code > 0)
        add(at + 4, code, 0);
    memcpy(&image[4], &sum, 4);
    return image;
}

TEST_F(GrammarImage, HostileImagesAreRefusedWithoutReadingOutOfBounds)
{
    QVGrammar* valid = LoadBytes(bytes_);
    long codeStart =
        static_cast<long>(bytes_.size()) - static_cast<GrammarImp*>(valid)->GetContext()->GetByteCodeLength();
    api_.UnloadGrammar(valid);
    auto setInt = [](std::string& image, long at, int32_t value) { memcpy(&image[at], &value, 4); };

    std::vector<std::string> hostile;
    for (long cut : {10L, 255L, 300L, static_cast<long>(bytes_.size()) - 1})
        hostile.push_back(bytes_.substr(0, cut));
    std::string image = bytes_;
    setInt(image, 256, 5000); // context count beyond the table
    hostile.push_back(image);
    image = bytes_;
    setInt(image, 260 + 20 * 3 + 4, 900); // a parent id outside the contexts
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, 260 + 20 * 2 + 12, 1 << 20); // a rule offset outside the byte code
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, 244, 77); // start context outside the table
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, codeStart + 13 + 12, 999999); // repetition item outside the byte code
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, codeStart + 1 + 8, 5000); // symbol reference naming no name
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, codeStart + 37 + 4, 0x40000000); // disjunction count past the end
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, codeStart + 142 + 8, 999999); // a first-term list naming a term outside the byte code
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, codeStart + 142 + 4, 0x10000000); // a first-term list running past the end
    hostile.push_back(Reseal(image));
    image = bytes_;
    setInt(image, codeStart + 174 + 20, static_cast<int32_t>(bytes_.size())); // a first-term list outside
    hostile.push_back(Reseal(image));

    for (size_t i = 0; i < hostile.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(LoadBytes(hostile[i]), nullptr);
        std::vector<long> codes = Codes();
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back(), 1105);
    }

    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string mutated = bytes_;
        for (int k = 0; k < 3; ++k)
            mutated[random() % mutated.size()] = static_cast<char>(random());
        if (random() % 2)
            mutated = Reseal(mutated);
        QVGrammar* grammar = LoadBytes(mutated);
        api_.UnloadGrammar(grammar);
    }
}

} // namespace
