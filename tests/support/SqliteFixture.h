#pragma once
// Test databases made and read by Python's sqlite3 module, an implementation independent of ours.
#include "RunCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace mgtest {

// A fresh folder per test, so that tests may run side by side.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = std::string(MG_BINARY_DIR) + "/scratch-XXXXXX";
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "cannot create a scratch folder under " << MG_BINARY_DIR;
        m_path = pattern;
    }
    ~ScratchFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a Python program given the database path as argv[1]; returns what it printed.
inline std::string RunPython(const std::string& database, const std::string& program)
{
    const std::string script = database + ".py";
    WriteFile(script, "import sqlite3, sys\ndb = sqlite3.connect(sys.argv[1])\n" + program + "\n");
    const CommandResult run = RunCommand(std::string(MG_PYTHON) + " '" + script + "' '" + database + "'");
    EXPECT_EQ(run.exitCode, 0) << "python failed on:\n" << program;
    std::remove(script.c_str());
    return run.output;
}

// Creates the database from SQL statements.
inline void MakeDatabase(const std::string& database, const std::string& sql)
{
    WriteFile(database + ".sql", sql);
    RunPython(database, "db.executescript(open(sys.argv[1] + '.sql', encoding='utf-8').read())\ndb.commit()");
    std::remove((database + ".sql").c_str());
}

} // namespace mgtest
