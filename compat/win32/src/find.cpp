// Folder searches of the C runtime over opendir. A search handle owns its open folder; its
// state lives on the C heap, outside any heap the program replaces.
#include <io.h>
#include <mg_win32.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <string>
#include <sys/stat.h>

namespace {

struct FindState {
    DIR* dir;
    char folder[4096];
    char pattern[260];
};

// Fills info with the next entry matching the search's pattern; false when none is left.
bool NextMatch(FindState* state, _finddata_t* info)
{
    while (dirent* entry = readdir(state->dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (std::strlen(name) >= sizeof info->name || fnmatch(state->pattern, name, FNM_CASEFOLD) != 0)
            continue;
        std::string full = std::string(state->folder) + "/" + name;
        struct stat status;
        if (stat(full.c_str(), &status) != 0)
            continue;
        std::memset(info, 0, sizeof *info);
        info->attrib = S_ISDIR(status.st_mode) ? _A_SUBDIR : _A_ARCH;
        info->time_create = info->time_write = static_cast<long>(status.st_mtime);
        info->time_access = static_cast<long>(status.st_atime);
        info->size = static_cast<_fsize_t>(status.st_size);
        std::strcpy(info->name, name);
        return true;
    }
    return false;
}

FindState* StateOf(intptr_t handle) { return reinterpret_cast<FindState*>(handle); }

} // namespace

intptr_t _findfirst(const char* fileSpec, _finddata_t* fileInfo)
{
    if (fileSpec == nullptr || fileInfo == nullptr)
        return -1;
    const char* name = fileSpec;
    for (const char* c = fileSpec; *c; ++c)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    std::string folder(fileSpec, static_cast<size_t>(name - fileSpec));
    // "*.*" means every entry on Windows, names without a dot included.
    std::string pattern = std::strcmp(name, "*.*") == 0 ? "*" : name;
    if (folder.empty())
        folder = ".";
    FindState* state = static_cast<FindState*>(std::calloc(1, sizeof(FindState)));
    if (state == nullptr)
        return -1;
    if (pattern.size() >= sizeof state->pattern || MgMapPath(folder.c_str(), state->folder, sizeof state->folder) < 0 ||
        (state->dir = opendir(state->folder)) == nullptr) {
        std::free(state);
        return -1;
    }
    std::strcpy(state->pattern, pattern.c_str());
    intptr_t handle = reinterpret_cast<intptr_t>(state);
    if (!NextMatch(state, fileInfo)) {
        _findclose(handle);
        return -1;
    }
    return handle;
}

int _findnext(intptr_t handle, _finddata_t* fileInfo)
{
    if (handle == -1 || handle == 0 || fileInfo == nullptr)
        return -1;
    return NextMatch(StateOf(handle), fileInfo) ? 0 : -1;
}

int _findclose(intptr_t handle)
{
    if (handle == -1 || handle == 0)
        return -1;
    FindState* state = StateOf(handle);
    closedir(state->dir);
    std::free(state);
    return 0;
}
