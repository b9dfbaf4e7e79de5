#pragma once
// Runs a shell command (the converter, a probe program, an independent Python checker) and
// collects what it printed on stdout, for tests that check other processes.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace mgtest {

struct CommandResult {
    int exitCode; // -1 when the command did not start or did not exit on its own
    std::string output;
};

inline CommandResult RunCommand(const std::string& command)
{
    CommandResult result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace mgtest
