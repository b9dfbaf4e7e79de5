#pragma once
// Collects the full paths of the files matching one or more wildcard patterns (separated by
// white space), optionally through subfolders, depth first.
#include <io.h>

#include <string>
#include <vector>

class CzFileFind {
public:
    // Runs the search at once.
    CzFileFind(const char* patterns, bool recurse);
    virtual ~CzFileFind() = default;

    // The index-th path found, or null past the end.
    const char* GetFile(int index) const;
    int GetCount() const { return static_cast<int>(Found.size()); }

protected:
    // Called with every file accepted and every subfolder entered, and its full path; the
    // base does nothing.
    virtual void OnFound(const _finddata_t&, const char*) {}

private:
    void SearchPattern(const char* pattern, bool recurse);
    void SearchFolder(const std::string& folder, const std::string& mask, bool recurse);

    std::vector<std::string> Found;
};
