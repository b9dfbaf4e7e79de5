#include "converter/core/ScriptResource.h"

#include <windows.h>

const char* const GrammarResourceType = "QVGRAMMAR";
const char* const ScriptResourceType = "ScriptResource";

bool LoadResourceBytes(const char* name, const char* type, std::string& bytes)
{
    HRSRC found = FindResourceA(nullptr, name, type);
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    bytes.assign(static_cast<const char*>(data), SizeofResource(nullptr, found));
    return true;
}
