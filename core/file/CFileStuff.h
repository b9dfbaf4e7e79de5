#pragma once
// Path splitting. Every result is written to the one shared ResultBuffer, which the next call
// overwrites; results longer than the buffer are cut.

class CFileStuff {
public:
    static constexpr int kResultSize = 256;
    static char ResultBuffer[kResultSize];

    // "C:\a\b.txt": "b"
    static const char* FindBaseName(const char* path);
    // ".txt"
    static const char* FindExtention(const char* path);
    // "C:\a\"
    static const char* FindPath(const char* path);
    // "C:\a\b"
    static const char* FindPathName(const char* path);
    // "\a\\b": the folder without the drive, one more backslash when there is a folder, the name.
    static const char* FindBasePathAndName(const char* path);
    // The path with its missing extension, drive and folder taken from the defaults; the
    // default path's drive is the part before a colon.
    static const char* BuildPath(const char* path, const char* defaultExtension, const char* defaultPath);
};
