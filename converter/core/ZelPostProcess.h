#pragma once

#include <string>

class CZRiffFile;

// Tools that rework finished packed data files for a release without converting anything
// again: keep chosen platforms, join the files of a load list, and build the pack file the
// engine searches before loose files. Every failure ends the program naming the file; outputs
// are written under a temporary name and put in place only when complete.

// Which platform blocks ("WIN ", "XBOX", "PS2 ", "PCX ") an operation keeps.
struct PlatformSelection {
    bool win;
    bool xbox;
    bool ps2;
    bool pcx;

    bool Any() const { return win || xbox || ps2 || pcx; }
};

// Put in front of the names read from load lists and pack lists.
extern std::string g_ZelOutputPrefix;

// Copies the selected top-level platform blocks of an open packed data file into an open
// output, chunk by chunk as opaque bytes (compressed segments stay compressed).
void CopyPlatformLists(CZRiffFile& source, CZRiffFile& destination, const PlatformSelection& platforms);

// Rewrites the files of a pattern in place, keeping only the selected platforms; subfolders
// are searched when the pattern holds a "*".
void StripPlatforms(const char* pattern, const PlatformSelection& platforms);

// Joins the selected platform blocks of every file named by a "LOADZEL name" line of a list.
void CombineZelFiles(const char* outputFile, const char* listFile, const PlatformSelection& platforms);

// Builds a pack ("ZLPK") of the files a list names, one per line, indexed by the name keys of
// their upper-cased names.
void BuildZelPack(const char* outputFile, const char* listFile);
