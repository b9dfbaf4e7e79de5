#pragma once
// A whole file as bytes, and bytes as a whole file, for tests that compare what programs wrote.
#include <fstream>
#include <sstream>
#include <string>

namespace mgtest {

// Empty when the file cannot be read.
inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace mgtest
