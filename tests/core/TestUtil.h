#pragma once
// Helpers the core tests share: running the Python cross-checks and scratch folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

// Third-party inputs live beside the repository, not in it: a test that needs one skips,
// naming the missing path, on a machine without them.
#define MG_SKIP_WITHOUT_TESTDATA(path)                                                                                 \
    if (access(std::string(path).c_str(), R_OK) != 0)                                                                  \
    GTEST_SKIP() << "missing test data: " << (path)

std::string HexOf(const std::string& bytes);
std::vector<std::string> SplitLines(const std::string& text);
// Runs MG_PYTHON on script with the input written to a scratch file passed as the first
// argument (after extraArgs' own); returns stdout and fails the test on a non-zero exit.
std::string RunPython(const std::string& script, const std::string& input, const std::string& extraArgs = "");
// A fresh, empty scratch folder under the build tree, unique to this test and removed when
// the test process ends.
std::string ScratchDir(const std::string& name);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
