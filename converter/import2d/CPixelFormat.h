#pragma once
// Stored pixel layouts and the render-modifier switches that statements set. Only what the
// element database keeps of them lives here so far; the image conversion extends them.

class CPixelFormat {
public:
    // 0: no alpha, 1: one-bit alpha, 2: full alpha.
    int AlphaKind = 0;
    float Gamma = 1.0f;
};

// Each modifier word: bit 0 set when a statement gave the word, bit 1 its value.
class CFormatSpecifier : public CPixelFormat {
public:
    enum : unsigned long { ExplicitBit = 1, ValueBit = 2 };

    unsigned long Additive = 0;
    unsigned long Bump = 0;
    unsigned long Filter = 0;
    unsigned long LerpNormals = 0;
    unsigned long Screen = 0;
    unsigned long Shadow = 0;
    unsigned long SortAlpha = 0;
    unsigned long SortSolid = 0;
    unsigned long ViewScale = 0;
    unsigned long ZBuffer = 0;
    unsigned long ZWrite = 0;
    unsigned char ExplicitFormat = 0;
};
