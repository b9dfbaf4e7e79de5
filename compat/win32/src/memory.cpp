// GlobalAlloc over anonymous mappings. Only fixed memory is used by the code, so the handle is
// the pointer; a small header before it remembers the mapping's length for GlobalFree.
#include <windows.h>

#include <sys/mman.h>

namespace {
constexpr SIZE_T kHeader = 16;
}

HGLOBAL WINAPI GlobalAlloc(UINT, SIZE_T bytes)
{
    if (bytes > static_cast<SIZE_T>(-1) - kHeader)
        return nullptr;
    SIZE_T length = bytes + kHeader;
    void* map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        return nullptr;
    // Anonymous mappings come zero-filled, which also serves GMEM_ZEROINIT.
    *static_cast<SIZE_T*>(map) = length;
    return static_cast<char*>(map) + kHeader;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory)
{
    if (memory == nullptr)
        return nullptr;
    char* map = static_cast<char*>(memory) - kHeader;
    return munmap(map, *reinterpret_cast<SIZE_T*>(map)) == 0 ? nullptr : memory;
}
