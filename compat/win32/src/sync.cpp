// Critical sections, interlocked counters and the narrow-to-wide text conversion.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <vector>

extern "C" {

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    section->Lock = new std::recursive_mutex;
    section->RecursionCount = 0;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    static_cast<std::recursive_mutex*>(section->Lock)->lock();
    ++section->RecursionCount;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    --section->RecursionCount;
    static_cast<std::recursive_mutex*>(section->Lock)->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    delete static_cast<std::recursive_mutex*>(section->Lock);
    section->Lock = nullptr;
}

LONG WINAPI InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG WINAPI InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

} // extern "C"

namespace {

// Code points of narrow text; false when UTF-8 text is malformed.
bool Decode(UINT codePage, const unsigned char* text, int size, std::vector<unsigned>& out)
{
    for (int i = 0; i < size;) {
        const unsigned c = text[i];
        if (codePage != CP_UTF8 || c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        const int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (extra < 0 || i + extra >= size)
            return false;
        unsigned point = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if ((text[i + k] & 0xC0) != 0x80)
                return false;
            point = point << 6 | (text[i + k] & 0x3F);
        }
        out.push_back(point);
        i += extra + 1;
    }
    return true;
}

} // namespace

extern "C" int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR narrow, int narrowSize, LPWSTR wide,
                                          int wideSize)
{
    if (!narrow || wideSize < 0 || (wideSize > 0 && !wide))
        return 0;
    const unsigned char* text = reinterpret_cast<const unsigned char*>(narrow);
    const int size = narrowSize < 0 ? int(std::strlen(narrow)) + 1 : narrowSize;
    std::vector<unsigned> points;
    if (!Decode(codePage, text, size, points))
        return 0;
    std::vector<WCHAR> units;
    for (unsigned p : points) {
        if (p >= 0x10000) {
            p -= 0x10000;
            units.push_back(WCHAR(0xD800 | (p >> 10)));
            units.push_back(WCHAR(0xDC00 | (p & 0x3FF)));
        } else {
            units.push_back(WCHAR(p));
        }
    }
    if (wideSize == 0)
        return int(units.size());
    if (int(units.size()) > wideSize)
        return 0;
    for (size_t i = 0; i < units.size(); ++i)
        wide[i] = units[i];
    return int(units.size());
}
