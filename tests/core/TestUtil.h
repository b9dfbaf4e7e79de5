#pragma once
// Helpers the core tests share: running the Python cross-checks and scratch folders.
#include <string>
#include <vector>

std::string HexOf(const std::string& bytes);
std::vector<std::string> SplitLines(const std::string& text);
// Runs MG_PYTHON on script with the input written to a scratch file passed as the first
// argument (after extraArgs' own); returns stdout and fails the test on a non-zero exit.
std::string RunPython(const std::string& script, const std::string& input, const std::string& extraArgs = "");
// A fresh, empty scratch folder under the build tree, unique to this test.
std::string ScratchDir(const std::string& name);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
