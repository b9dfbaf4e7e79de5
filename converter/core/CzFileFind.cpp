#include "converter/core/CzFileFind.h"

#include "converter/core/PathOperations.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace {

// Entries the search passes over: folders, and hidden or system files (on Linux a leading
// dot marks a file hidden).
bool IsSkipped(const _finddata_t& entry)
{
    return (entry.attrib & (_A_SUBDIR | _A_HIDDEN | _A_SYSTEM)) || entry.name[0] == '.';
}

bool IsFolder(const _finddata_t& entry)
{
    return (entry.attrib & _A_SUBDIR) && !(entry.attrib & (_A_HIDDEN | _A_SYSTEM)) && entry.name[0] != '.';
}

// Entries of one folder in Windows' own listing order (by name, case-blind), so that a run
// converts files in the same order on every machine.
std::vector<_finddata_t> ListFolder(const std::string& pattern)
{
    std::vector<_finddata_t> entries;
    _finddata_t entry;
    const intptr_t handle = _findfirst(pattern.c_str(), &entry);
    if (handle == -1)
        return entries;
    do
        entries.push_back(entry);
    while (_findnext(handle, &entry) == 0);
    _findclose(handle);
    std::sort(entries.begin(), entries.end(),
              [](const _finddata_t& a, const _finddata_t& b) { return _stricmp(a.name, b.name) < 0; });
    return entries;
}

std::string JoinPath(const std::string& folder, const char* name)
{
    if (folder.empty())
        return name;
    const char last = folder.back();
    if (last == '/' || last == '\\')
        return folder + name;
    return folder + (folder.find('/') != std::string::npos ? "/" : "\\") + name;
}

} // namespace

CzFileFind::CzFileFind(const char* patterns, bool recurse)
{
    std::istringstream tokens(patterns ? patterns : "");
    std::string pattern;
    while (tokens >> pattern)
        SearchPattern(pattern.c_str(), recurse);
}

const char* CzFileFind::GetFile(int index) const
{
    return index >= 0 && index < GetCount() ? Found[index].c_str() : nullptr;
}

void CzFileFind::SearchPattern(const char* pattern, bool recurse)
{
    std::string folder = FolderOf(pattern);
    // The path operations share one buffer: take each result before the next call.
    std::string mask = FileTitle(pattern);
    mask += FileExtension(pattern);
    if (folder.empty()) {
        char current[MAX_PATH * 4];
        if (!getcwd(current, sizeof(current)))
            return;
        folder = std::string(current) + "/";
    }
    SearchFolder(folder, mask, recurse);
}

void CzFileFind::SearchFolder(const std::string& folder, const std::string& mask, bool recurse)
{
    const std::string extension = FileExtension(mask.c_str());
    const bool exactExtension = extension.find_first_of("*?") == std::string::npos;
    for (_finddata_t& entry : ListFolder(JoinPath(folder, mask.c_str()))) {
        if (IsSkipped(entry) || (exactExtension && _stricmp(FileExtension(entry.name), extension.c_str()) != 0))
            continue;
        Found.push_back(JoinPath(folder, entry.name));
        OnFound(entry, Found.back().c_str());
    }
    if (!recurse)
        return;
    for (_finddata_t& entry : ListFolder(JoinPath(folder, "*"))) {
        if (!IsFolder(entry))
            continue;
        const std::string subfolder =
            JoinPath(folder, entry.name) + (folder.find('/') != std::string::npos ? "/" : "\\");
        OnFound(entry, subfolder.c_str());
        SearchFolder(subfolder, mask, recurse);
    }
}
