#include "TestUtil.h"

#include "../support/RunCommand.h"
#include "../support/TestScratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string HexOf(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ScratchDir(const std::string& name)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process's scratch folder goes when the process ends.
    std::string dir = mgtest::ProcessScratch() + "/" + info->test_suite_name() + "." + info->name() + "." + name;
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    return dir;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string RunPython(const std::string& script, const std::string& input, const std::string& extraArgs)
{
    std::string dir = ScratchDir("python");
    std::string inputPath = dir + "/input";
    WriteWholeFile(inputPath, input);
    std::string command = std::string(MG_PYTHON) + " '" + script + "' " + extraArgs + " '" + inputPath + "'";
    const mgtest::CommandResult run = mgtest::RunCommand(command);
    EXPECT_EQ(run.exitCode, 0) << command << "\n" << run.output;
    return run.output;
}
