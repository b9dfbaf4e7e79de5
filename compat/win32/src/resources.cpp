// Resources: the host program's exported table first, then what the program's own generated
// sources registered. Both live for the whole process, so handles are plain pointers into them.
#include <mg_win32.h>

#include <strings.h>

extern "C" {
// Weak so that programs without host resources (the converter, most tests) still link.
extern const MG_RESOURCE MG_HOST_RESOURCES_SYMBOL[] __attribute__((weak));
}

namespace {

// Constant-initialised: generated sources register from static initialisers in any order.
MG_RESOURCE_NODE* g_Registered = nullptr;

HMODULE MainModule() { return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x00400000)); }

// Windows compares resource names and types without regard to case; integer ids by value.
bool SameId(LPCSTR a, LPCSTR b)
{
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b))
        return a == b;
    return strcasecmp(a, b) == 0;
}

bool Matches(const MG_RESOURCE& r, LPCSTR name, LPCSTR type) { return SameId(r.type, type) && SameId(r.name, name); }

const MG_RESOURCE* Find(LPCSTR name, LPCSTR type)
{
    if (name == nullptr || type == nullptr)
        return nullptr;
    if (MG_HOST_RESOURCES_SYMBOL != nullptr) {
        for (const MG_RESOURCE* r = MG_HOST_RESOURCES_SYMBOL; r->type != nullptr; ++r)
            if (Matches(*r, name, type))
                return r;
    }
    for (const MG_RESOURCE_NODE* n = g_Registered; n != nullptr; n = n->next)
        if (Matches(n->resource, name, type))
            return &n->resource;
    return nullptr;
}

const MG_RESOURCE* FromHandle(const void* handle) { return static_cast<const MG_RESOURCE*>(handle); }

} // namespace

void MgRegisterResource(MG_RESOURCE_NODE* node)
{
    node->next = g_Registered;
    g_Registered = node;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) { return moduleName == nullptr ? MainModule() : nullptr; }

HRSRC WINAPI FindResourceA(HMODULE, LPCSTR name, LPCSTR type)
{
    return reinterpret_cast<HRSRC>(const_cast<MG_RESOURCE*>(Find(name, type)));
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) { return static_cast<HGLOBAL>(resource); }

LPVOID WINAPI LockResource(HGLOBAL resourceData)
{
    return resourceData == nullptr ? nullptr : const_cast<void*>(FromHandle(resourceData)->data);
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) { return resource == nullptr ? 0 : FromHandle(resource)->size; }

BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

int WINAPI LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int bufferMax)
{
    const MG_RESOURCE* r = Find(MAKEINTRESOURCEA(id), RT_STRING);
    if (r == nullptr || buffer == nullptr || bufferMax <= 0)
        return 0;
    const char* text = static_cast<const char*>(r->data);
    int length = 0;
    while (length < bufferMax - 1 && static_cast<DWORD>(length) < r->size && text[length] != '\0') {
        buffer[length] = text[length];
        ++length;
    }
    buffer[length] = '\0';
    return length;
}
