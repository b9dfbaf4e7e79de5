#include "core/math/MathTables.h"

float fmsintable[2048];
unsigned long fmsqrttable[256];

float fmOneOverPi;
float fmRadToDeg;
float fmDegToRad;
float fmPiOver90;
float fmHalf;
float fmThirty;
int fmMinusOne;

namespace {

unsigned long BitsOf(float f)
{
    unsigned long bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float FloatOf(unsigned long bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void FillSineTable()
{
    // The float value of 2π over 2048, taken in double precision.
    const double step = static_cast<double>(fmTwoPi) / 2048.0;
    for (int i = 0; i < 2048; ++i)
        fmsintable[i] = static_cast<float>(std::sin(i * step));
}

// Entry i holds the mantissa of the root of an argument in [2, 4) (i below 128) or [1, 2)
// whose mantissa bits 16 to 22 are i's low seven bits, with bit 15 set to take the middle of
// the span; the exponent bias is folded in so that adding half the argument's exponent gives
// the root.
void FillSqrtTable()
{
    for (unsigned long i = 0; i < 256; ++i) {
        unsigned long exponent = i < 128 ? 0x40000000UL : 0x3F800000UL;
        float argument = FloatOf(exponent | ((i & 0x7F) << 16) | 0x8000UL);
        unsigned long mantissa = BitsOf(std::sqrt(argument)) & 0x007FFFFFUL;
        fmsqrttable[i] = mantissa + (i < 128 ? 0x1F800000UL : 0x20000000UL);
    }
}

void FillConstants()
{
    fmOneOverPi = 1.0f / fmPi;
    fmRadToDeg = fmOneOverPi * 180.0f;
    // Both from the degrees-per-radian figure, which gives them their exact float values.
    fmDegToRad = 1.0f / fmRadToDeg;
    fmPiOver90 = fmDegToRad * 2.0f;
    fmHalf = 0.5f;
    fmThirty = FloatOf(0x41F0009DUL);
    fmMinusOne = -1;
}

struct TableFiller {
    TableFiller()
    {
        FillSineTable();
        FillSqrtTable();
        FillConstants();
    }
} g_TableFiller;

} // namespace
