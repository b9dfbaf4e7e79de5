#pragma once
// A scratch folder for the files one test process writes, under the build tree and removed when
// the process ends, so that a test run leaves nothing behind. CTest runs every case in its own
// process; a failing case's files go with it too (its messages name what it compared).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace mgtest {

namespace detail {
// Never destroyed: the exit handler reads it after static destructors may have run.
inline std::string* g_ProcessScratch = nullptr;
inline pid_t g_ScratchOwner = 0;

inline void RemoveProcessScratch()
{
    // A forked child that exits (a death test's) must not take its parent's files.
    if (g_ProcessScratch == nullptr || getpid() != g_ScratchOwner)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(*g_ProcessScratch, ignored);
    // The shared parent goes with the last process using it.
    std::filesystem::remove(std::filesystem::path(*g_ProcessScratch).parent_path(), ignored);
}
} // namespace detail

inline const std::string& ProcessScratch()
{
    if (detail::g_ProcessScratch == nullptr) {
        detail::g_ProcessScratch =
            new std::string(std::string(MG_BINARY_DIR) + "/test_scratch/" + std::to_string(getpid()));
        detail::g_ScratchOwner = getpid();
        std::error_code ignored;
        std::filesystem::remove_all(*detail::g_ProcessScratch, ignored);
        std::filesystem::create_directories(*detail::g_ProcessScratch);
        std::atexit(detail::RemoveProcessScratch);
    }
    return *detail::g_ProcessScratch;
}

// A path for a file of that name in this process's scratch folder.
inline std::string ScratchPath(const std::string& name) { return ProcessScratch() + "/" + name; }

// A new, empty folder in this process's scratch folder, for a case that writes a set of files.
inline std::string NewScratchFolder(const std::string& prefix)
{
    std::string pattern = ProcessScratch() + "/" + prefix + "XXXXXX";
    return mkdtemp(&pattern[0]);
}

} // namespace mgtest
