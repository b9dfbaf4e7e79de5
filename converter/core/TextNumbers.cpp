#include "converter/core/TextNumbers.h"

#include <cctype>
#include <cstdlib>

namespace {

bool IsHexText(const char* text) { return text[0] == '0' && (text[1] == 'x' || text[1] == 'X'); }

} // namespace

long ParseNumber(const char* text)
{
    if (!text)
        return 0;
    if (IsHexText(text))
        return static_cast<long>(strtoul(text + 2, nullptr, 16));
    return strtol(text, nullptr, 10);
}

unsigned long ParseUnsigned(const char* text)
{
    if (!text)
        return 0;
    return strtoul(text + (IsHexText(text) ? 2 : 0), nullptr, IsHexText(text) ? 16 : 10);
}

bool IsNumber(const char* text)
{
    if (!text || !*text)
        return false;
    if (ParseNumber(text) != 0)
        return true;
    if (text[0] != '0')
        return false;
    for (const char* c = text + 1; *c; ++c)
        if (!isdigit(static_cast<unsigned char>(*c)) && *c != 'x' && *c != 'X')
            return false;
    return true;
}
