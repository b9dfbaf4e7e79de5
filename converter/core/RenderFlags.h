#pragma once
// Defaults of the render modifiers that each statement starts from.
class CFormatSpecifier;

struct RenderFlags {
    // Filter, ViewScale, ZBuffer and ZWrite on, everything else off, nothing set by a
    // statement; no format chosen and no alpha.
    static void Reset(CFormatSpecifier& specifier);
};
