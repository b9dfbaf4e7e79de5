// The fuzz driver itself: many cases run in one child, so a case that crashes, hangs or ends the
// process must still be the one named, and the cases after it must still run.
#include "FuzzHarness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using namespace mgfuzz;

namespace {

// Each case's input is one digit that says what reading it does.
Bytes Digit(const Bytes&, unsigned long long caseSeed) { return Bytes(1, static_cast<char>('0' + caseSeed % 10)); }

void Act(const Bytes& input)
{
    switch (input[0]) {
    case '3':
        std::exit(3); // the readers' fatal error
    case '7':
        raise(SIGSEGV);
        break;
    case '9':
        for (;;)
            pause();
    default:
        break;
    }
}

struct Expectation {
    bool mayEndProcess;
    const char* findings; // the digits whose cases are findings
};

class FuzzHarness : public ::testing::TestWithParam<Expectation> {};

TEST_P(FuzzHarness, NamesEveryFaultyCaseAndGoesOnAfterIt)
{
    setenv("MG_FUZZ_TIMEOUT", "1", 1);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("mg_fuzz_harness_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    const Reader reader{"digits", {"x"}, GetParam().mayEndProcess, Digit, Act};
    const long count = 40;
    std::set<std::string> expected;
    for (long index = 0; index < count; ++index)
        if (std::string(GetParam().findings).find(CaseInput(reader, 5, index)) != std::string::npos)
            expected.insert("digits-5-" + std::to_string(index) + ".input");
    ASSERT_FALSE(expected.empty());

    EXPECT_EQ(mgfuzz::Run(reader, count, 5, folder.string()), 1);

    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".input") {
            found.insert(entry.path().filename().string());
            EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(entry.path()).replace_extension(".log")));
        }
    EXPECT_EQ(found, expected);
    std::filesystem::remove_all(folder);
}

// A reader whose refusal is the fatal error goes on after it; for any other, that exit is a fault.
INSTANTIATE_TEST_SUITE_P(Readers, FuzzHarness, ::testing::Values(Expectation{true, "79"}, Expectation{false, "379"}),
                         [](const ::testing::TestParamInfo<Expectation>& info) {
                             return info.param.mayEndProcess ? "RefusalEndsTheProcess" : "RefusalIsAFault";
                         });

} // namespace
