#pragma once
// The converter's path operations on C strings. Each returns one shared buffer, valid until
// the next call of any of them: callers copy the result at once. A path that does not fit
// the buffer stops the converter rather than being cut.
class CString;

const char* FileTitle(const char* path);
// Drive and folder, ending with the separator when there is a folder.
const char* FolderOf(const char* path);
const char* StripExtension(const char* path);
// The extension with its dot, or an empty string.
const char* FileExtension(const char* path);
// A lower-case name of letters, digits and underscores: "C:\Art\Tree.bmp" gives "__art_tree_bmp".
const char* MakeSymbolName(const char* path);

// Target drive mapping is off in this converter: names are used as written. True: success.
bool MapTargetDrive(CString& path);
bool MapTargetDriveInPlace(char* path);
