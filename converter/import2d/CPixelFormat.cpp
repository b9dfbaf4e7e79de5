#include "converter/import2d/CPixelFormat.h"

#include "core/output/ZOutput.h"
#include "core/riff/CZRiffFile.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

const CPixel CPixel::Zero;

unsigned long RowBytes(unsigned long count, unsigned long bits)
{
    unsigned long total = count * bits;
    return total / 8 + (total % 8 ? 1 : 0);
}

int CountBits(unsigned long mask)
{
    int bits = 0;
    for (; mask; mask &= mask - 1)
        ++bits;
    return bits;
}

CPixelFormat::CPixelFormat(const char* letters) { Parse(letters); }

const CPixelFormat& CPixelFormat::Working()
{
    static const CPixelFormat working("AAAAAAAABBBBBBBBGGGGGGGGRRRRRRRR");
    return working;
}

const char* CPixelFormat::Parse(const char* letters)
{
    BitCount = 0;
    RedMask = GreenMask = BlueMask = AlphaMask = IndexMask = FillMask = 0;
    IndexBits = 0;
    if (!letters)
        return nullptr;
    int count = 0;
    while (letters[count] && std::strchr("ABFGIRX", std::toupper(static_cast<unsigned char>(letters[count]))))
        ++count;
    if (count == 0)
        return "Null input string!";
    for (int bit = 0; bit < count; ++bit) {
        const unsigned long value = bit < 32 ? 1ul << bit : 0;
        switch (std::toupper(static_cast<unsigned char>(letters[count - 1 - bit]))) {
        case 'R':
            RedMask |= value;
            break;
        case 'G':
            GreenMask |= value;
            break;
        case 'B':
            BlueMask |= value;
            break;
        case 'A':
            AlphaMask |= value;
            break;
        case 'I':
            IndexMask |= value;
            break;
        case 'F':
            FillMask |= value;
            break;
        default:
            break;
        }
    }
    BitCount = count > 4 ? (count + 7) / 8 * 8 : count;
    IndexBits = CountBits(IndexMask);
    if (BitCount < 4)
        return "Too few bits!";
    if (BitCount > 32)
        return "Too many bits!";
    if (IndexMask && (RedMask || GreenMask || BlueMask || FillMask))
        return "Cannot have Index and RGB types";
    return nullptr;
}

namespace {
// Fills the mask's bits from its highest down with the value's bits from its top.
unsigned long PlaceBits(unsigned long mask, unsigned value, int valueBits, int bitCount)
{
    unsigned long stored = 0;
    const unsigned top = 1u << (valueBits - 1);
    for (int bit = bitCount - 1; bit >= 0 && value; --bit) {
        const unsigned long position = 1ul << bit;
        if (!(mask & position))
            continue;
        if (value & top)
            stored |= position;
        value = (value << 1) & ((top << 1) - 1);
    }
    return stored;
}
} // namespace

unsigned char* CPixelFormat::EncodePixel(unsigned char* out, const CPixel& pixel)
{
    unsigned long stored = 0;
    if (IndexBits == 8)
        stored = PlaceBits(IndexMask, pixel.A, 8, BitCount);
    else if (IndexBits == 4)
        stored = PlaceBits(IndexMask, pixel.A >> 4, 4, BitCount);
    else
        stored = PlaceBits(RedMask, pixel.R, 8, BitCount) | PlaceBits(GreenMask, pixel.G, 8, BitCount) |
                 PlaceBits(BlueMask, pixel.B, 8, BitCount) | PlaceBits(AlphaMask | FillMask, pixel.A, 8, BitCount);
    switch (BitCount) {
    case 4:
        if (NibblePhase == 0) {
            *out = static_cast<unsigned char>((*out & 0xF0) | (stored & 0x0F));
        } else {
            *out = static_cast<unsigned char>((*out & 0x0F) | ((stored & 0x0F) << 4));
            ++out;
        }
        NibblePhase ^= 1;
        return out;
    case 8:
        *out++ = static_cast<unsigned char>(stored);
        return out;
    case 16:
        *out++ = static_cast<unsigned char>(stored);
        *out++ = static_cast<unsigned char>(stored >> 8);
        return out;
    case 24:
        *out++ = static_cast<unsigned char>(stored >> 16);
        *out++ = static_cast<unsigned char>(stored >> 8);
        *out++ = static_cast<unsigned char>(stored);
        return out;
    case 32:
        for (int shift = 0; shift < 32; shift += 8)
            *out++ = static_cast<unsigned char>(stored >> shift);
        return out;
    default:
        vbail("Bad pixel format given\n%s,%d\n", "Bitmap", __LINE__);
    }
}

bool CPixelFormat::IsAlpha1() const
{
    const int bits = CountBits(AlphaMask);
    return bits == 1 || (bits == 0 && AlphaKind == ALPHA1);
}

bool CPixelFormat::IsAlpha() const
{
    const int bits = CountBits(AlphaMask);
    return bits > 1 || (bits == 0 && AlphaKind == ALPHA);
}

bool CPixelFormat::Equals(const CPixelFormat& o) const
{
    return AlphaKind == o.AlphaKind && BitCount == o.BitCount && RedMask == o.RedMask && GreenMask == o.GreenMask &&
           BlueMask == o.BlueMask && AlphaMask == o.AlphaMask && FillMask == o.FillMask && IndexMask == o.IndexMask;
}

bool CPixelFormat::HasColourCorrection() const
{
    const bool hsv = HSVAdd[0] != 0.0f || HSVAdd[1] != 0.0f || HSVAdd[2] != 0.0f || HSVMultiply[0] != 1.0f ||
                     HSVMultiply[1] != 1.0f || HSVMultiply[2] != 1.0f;
    return hsv || Gamma != 1.0f;
}

void CPixelFormat::Save(CZRiffFile& file) const
{
    const unsigned long values[5] = {static_cast<unsigned long>(BitCount), RedMask, GreenMask, BlueMask, AlphaMask};
    for (unsigned long value : values)
        file.Write(&value, 4);
    const unsigned char reserved[256] = {};
    file.Write(reserved, sizeof reserved);
}

bool CPixelFormat::Load(CZRiffFile& file)
{
    unsigned long values[5];
    for (unsigned long& value : values)
        if (file.Read(&value, 4, file.IsBigEndian()))
            return false;
    unsigned char reserved[256];
    if (file.Read(reserved, sizeof reserved, false))
        return false;
    BitCount = static_cast<int>(values[0]);
    RedMask = values[1];
    GreenMask = values[2];
    BlueMask = values[3];
    AlphaMask = values[4];
    return true;
}

CFormatSpecifier::CFormatSpecifier() { ResetModifiers(); }

void CFormatSpecifier::ResetModifiers()
{
    for (unsigned long* word : {&Filter, &ViewScale, &ZBuffer, &ZWrite})
        InitModifier(*word, true);
    for (unsigned long* word : {&Additive, &Bump, &LerpNormals, &Screen, &SortAlpha, &SortSolid, &Shadow})
        InitModifier(*word, false);
    ExplicitFormat = 0;
    AlphaKind = NOALPHA;
}

CFormatSpecifier& CFormatSpecifier::operator=(const CFormatSpecifier& other)
{
    CPixelFormat::operator=(other);
    Additive = other.Additive;
    Bump = other.Bump;
    Filter = other.Filter;
    LerpNormals = other.LerpNormals;
    Screen = other.Screen;
    Shadow = other.Shadow;
    SortAlpha = other.SortAlpha;
    SortSolid = other.SortSolid;
    ViewScale = other.ViewScale;
    ZBuffer = other.ZBuffer;
    ZWrite = other.ZWrite;
    ExplicitFormat = 1;
    return *this;
}

CFormatSpecifier& CFormatSpecifier::operator=(const CPixelFormat& format)
{
    CPixelFormat::operator=(format);
    ExplicitFormat = 1;
    return *this;
}

void CFormatSpecifier::Merge(const CFormatSpecifier& other)
{
    unsigned long CFormatSpecifier::*const words[] = {
        &CFormatSpecifier::Additive,    &CFormatSpecifier::Bump,      &CFormatSpecifier::Filter,
        &CFormatSpecifier::LerpNormals, &CFormatSpecifier::Screen,    &CFormatSpecifier::Shadow,
        &CFormatSpecifier::SortAlpha,   &CFormatSpecifier::SortSolid, &CFormatSpecifier::ViewScale,
        &CFormatSpecifier::ZBuffer,     &CFormatSpecifier::ZWrite};
    for (auto word : words)
        if (!(this->*word & ExplicitBit) && (other.*word & ExplicitBit))
            this->*word = other.*word;
    ExplicitFormat = 1;
}

void CFormatSpecifier::Save(CZRiffFile& file) const
{
    CPixelFormat::Save(file);
    const unsigned char bytes[12] = {Value(Additive),
                                     Value(Bump),
                                     Value(Filter),
                                     Value(Screen),
                                     Value(Shadow),
                                     Value(SortAlpha),
                                     Value(SortSolid),
                                     ExplicitFormat,
                                     Value(ZBuffer),
                                     Value(ZWrite),
                                     0,
                                     0};
    file.Write(bytes, sizeof bytes);
}

bool CFormatSpecifier::Load(CZRiffFile& file)
{
    unsigned char bytes[12];
    if (!CPixelFormat::Load(file) || file.Read(bytes, sizeof bytes, false))
        return false;
    unsigned long* const words[] = {&Additive, &Bump, &Filter, &Screen, &Shadow, &SortAlpha, &SortSolid};
    for (int i = 0; i < 7; ++i)
        *words[i] = (*words[i] & ExplicitBit) | (bytes[i] ? ValueBit : 0);
    ExplicitFormat = bytes[7];
    ZBuffer = (ZBuffer & ExplicitBit) | (bytes[8] ? ValueBit : 0);
    ZWrite = (ZWrite & ExplicitBit) | (bytes[9] ? ValueBit : 0);
    return true;
}
