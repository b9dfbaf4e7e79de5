#include "ZelTestSupport.h"

#include <mg_win32.h>

#include <filesystem>

#include "core/file/CZFile.h"
#include "core/names/CCRC32.h"

namespace {
const DWORD kMemorySize[2] = {96u * 1024u * 1024u, 0};
}

extern "C" const MG_RESOURCE MG_HOST_RESOURCES_SYMBOL[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kMemorySize, sizeof kMemorySize},
    {nullptr, nullptr, nullptr, 0},
};

ZEL_REGISTER_RECORD(CZelProbe);

std::vector<DWORD>& CZelProbe::Constructed()
{
    static std::vector<DWORD> values;
    return values;
}

std::vector<DWORD>& CZelProbe::Destroyed()
{
    static std::vector<DWORD> values;
    return values;
}

CZelProbe::CZelProbe() { Constructed().push_back(Value); }
CZelProbe::~CZelProbe() { Destroyed().push_back(Value); }

IMPLEMENT_GOBJECT(GZelProbeObject, 0x80008000)

int GZelProbeObject::SpecifyEditable(EditableInfo*& cursor)
{
    int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Count", "int", Count);
    AddEditable(cursor, "Speed", "float", Speed);
    return count + 2;
}

CZelProbe* ExportedProbe(const char* name)
{
    return static_cast<CZelProbe*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
}

int CountObjects(DWORD classId)
{
    int count = 0;
    GObject::Search(nullptr, true, 0xFFFFFFFF, classId);
    while (GObject::SearchNext())
        ++count;
    return count;
}

std::string ProfileRoot()
{
    char base[CZFile::kPathSize];
    CZFile::GetPath(base, CZFile::kInProfileFolder);
    std::string path(base);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    // Lexical, not canonical: another test process may be removing the profile folder at this
    // moment, and resolving a path through the file system races with that.
    std::string root = std::filesystem::absolute(path).lexically_normal().string();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}
