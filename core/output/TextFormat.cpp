#include "TextFormat.h"

#include <cstdio>

std::string FormatTextV(const char* format, va_list args)
{
    // Measuring consumes the argument list, so the measure runs over a copy.
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    std::vsnprintf(&text[0], text.size() + 1, format, args);
    return text;
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    return text;
}
