#include "converter/import2d/CdbTexture.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ScriptPath.h"
#include "converter/core/ZVariant.h"
#include "core/riff/CZRiffFile.h"
#include "engine/include/ZelFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace {

const int MaxTextureSide = 2048;
const int MaxFileName = 260;
const unsigned long RecordAlignment = 4;
// Mip levels keep their alpha edges with Catrom, or hard with Point for one-bit alpha.
const int CatromFilter = 5;
const int PointFilter = 0;
// The target machine word of the Xbox.
const unsigned long XboxTarget = 2;

// Texture flags, as the record header defines them.
const unsigned long OneBitAlphaFlag = 4;
const unsigned long AlphaFlag = 2;
const unsigned long BumpMapFlag = 256;

ZVariant Value(const char* typeName, const std::string& text)
{
    ZVariant value;
    value.Set(typeName, text.c_str());
    return value;
}

ZVariant Number(const char* typeName, long number) { return Value(typeName, std::to_string(number)); }

// Spreads the value's bits, lowest first, onto the set bits of the mask.
unsigned long Deposit(unsigned long value, unsigned long mask)
{
    unsigned long result = 0;
    for (unsigned long bit = 1; mask && value; bit <<= 1) {
        if (mask & bit) {
            if (value & 1)
                result |= bit;
            value >>= 1;
            mask &= ~bit;
        }
    }
    return result;
}

} // namespace

CdbTexture::Options CdbTexture::Settings;
unsigned long CdbTexture::TypeId = CdbElement::RegisterFactory("CdbTexture", &CdbTexture::Create);

CdbTexture::CdbTexture(const char* label, CDatabase* database) : CdbElement(label, database) {}

CdbTexture::~CdbTexture() = default;

CdbElement* CdbTexture::Create(const char* label, CDatabase* database) { return new CdbTexture(label, database); }

void CdbTexture::Fatal(const char* format, ...) const
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (m_Place.empty())
        vbail("%s", text);
    vbail("%s : %s", m_Place.c_str(), text);
}

void CdbTexture::Load(const char* fileName, bool dumped, bool isExtern)
{
    if (strlen(fileName) >= MaxFileName)
        Fatal("Texture file name longer than %d characters:\n%s\n", MaxFileName - 1, fileName);
    std::vector<char> name(fileName, fileName + strlen(fileName) + 1);
    name.resize(MaxFileName);
    if (!MapTargetDriveInPlace(name.data()))
        Fatal("Cannot determine L:ness or P:ness of target file: %s\nFile not found?", fileName);
    m_FileName = name.data();
    GetDatabase()->AddDependency(m_FileName.c_str());
    VerbosePrintf(2, "\tCdbTexture::Load(%s)\n", m_FileName.c_str());
    m_Dumped = dumped;
    m_Extern = Settings.ImplicitOff ? 1 : isExtern;
    m_Specifier = GetDatabase()->CurrentFormat;
    m_DataMapKind = Settings.PendingDataMapKind;
    m_Options = Settings;
}

void CdbTexture::LoadAbsolute(const CzBitmap& bitmap, const CFormatSpecifier& specifier, bool dumped)
{
    if (!m_FileName.empty())
        Fatal("CdbTexture: Absolute load of bitmap,\nbut already had filename for deferred load.");
    if (m_Bitmap.HasPixels())
        Fatal("CdbTexture: Absolute load of bitmap,\nbut already had data in bitmap.");
    m_Bitmap = bitmap;
    m_Dumped = dumped;
    m_Extern = Settings.ImplicitOff ? 1 : 0;
    m_Specifier = specifier;
    m_DataMapKind = Settings.PendingDataMapKind;
    m_Options = Settings;
}

// The bitmap's own errors stop the program naming only the file: they are caught here so that
// the report also names the statement that asked for the file.
void CdbTexture::CompleteLoad()
{
    if (m_FileName.empty())
        return;
    if (m_Bitmap.HasPixels())
        Fatal("CdbTexture: We expected deferred load of bitmap image,\nbut we found preexisting bitmap data\n");
    const std::string path = ScriptPath(m_FileName.c_str());
    RequireRegularFile(path.c_str());
    const long errorSwitch = CzBitmap::ErrorSwitch;
    CzBitmap::ErrorSwitch = 0;
    const int failed = m_Bitmap.Load(path.c_str());
    CzBitmap::ErrorSwitch = errorSwitch;
    if (failed)
        Fatal("Bitmap error!\n%s\n%s\n", CzBitmap::ErrorMessage(m_Bitmap.GetResult()), m_FileName.c_str());
    m_FileName.clear();
}

void CdbTexture::GetSize(int& width, int& height)
{
    CompleteLoad();
    width = m_Bitmap.GetWidth();
    height = m_Bitmap.GetHeight();
}

int CdbTexture::LevelCount(int width, int height)
{
    int count = 1;
    while (width / 2 >= 4 && height / 2 >= 4) {
        width /= 2;
        height /= 2;
        ++count;
    }
    return count;
}

CPixel CdbTexture::MipColour(int level)
{
    static const unsigned char colours[9][3] = {{0, 0, 255},  {0, 85, 170}, {0, 170, 85}, {0, 255, 0}, {85, 170, 0},
                                                {170, 85, 0}, {255, 0, 0},  {170, 0, 85}, {85, 0, 170}};
    if (level < 0 || level > 8)
        return CPixel(255, 255, 255, 255);
    return CPixel(colours[level][0], colours[level][1], colours[level][2], 255);
}

void CdbTexture::MortonOrder(unsigned char* pixels, int width, int height, int bytesPerPixel)
{
    unsigned long xMask = 0, yMask = 0, bit = 1;
    for (unsigned long side = 1;; side <<= 1) {
        bool grew = false;
        if (side < static_cast<unsigned long>(width)) {
            xMask |= bit;
            bit <<= 1;
            grew = true;
        }
        if (side < static_cast<unsigned long>(height)) {
            yMask |= bit;
            bit <<= 1;
            grew = true;
        }
        if (!grew)
            break;
    }
    const size_t count = size_t(width) * height;
    std::vector<unsigned char> source(pixels, pixels + count * bytesPerPixel);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long to = Deposit(x, xMask) | Deposit(y, yMask);
            if (to < count)
                memcpy(pixels + to * bytesPerPixel, &source[(size_t(y) * width + x) * bytesPerPixel], bytesPerPixel);
        }
}

void CdbTexture::Dump(CZelWriter& writer)
{
    if (m_Extern)
        return;
    VerbosePrintf(2, "  CdbTexture::Dump() - %s\n", GetLabel());
    if (m_DataMapKind >= 1) {
        DumpDataMap(writer);
        return;
    }
    CompleteLoad();
    if (m_Bitmap.GetWidth() > MaxTextureSide)
        Fatal("Texture %s is too wide.", GetLabel());
    if (m_Bitmap.GetHeight() > MaxTextureSide)
        Fatal("Texture %s is too tall.", GetLabel());
    if (m_Bitmap.GetWidth() != m_Bitmap.GetHeight())
        Fatal("Texture %s is not square.", GetLabel());
    // A bitmap without pixels would write a texture of nothing that the engine cannot make.
    if (!m_Shared && m_Bitmap.GetWidth() < 1)
        Fatal("Texture %s has no pixels.", GetLabel());

    writer.LogSize("Texture");
    CType* type = TypeDatabase.FindType("CRendTexture", true);
    writer.SelectSegment(ZelFormat::kSegData);
    if (!m_Alias.empty()) {
        writer.Align(RecordAlignment);
        writer.DefineSymbol(m_Alias.c_str(), nullptr, true, RecordAlignment);
    }
    m_Dumped = 1;
    type->Begin(writer, GetLabel(), true, RecordAlignment);
    if (m_Shared) {
        type->Dump(writer, "pSharedTexture", Value("pointer", m_SharedLabel), false, nullptr);
        type->Dump(writer, "IsShared", Number("unsigned long", 1), false, nullptr);
        writer.SelectSegment(ZelFormat::kSegData);
        writer.LogSize(nullptr);
        return;
    }
    // The element is written once per target platform; its pixels are corrected only once.
    if (m_Specifier.HasColourCorrection() && !m_Corrected)
        m_Bitmap.ColourCorrect(m_Specifier);
    m_Corrected = true;
    const std::string label = GetLabel();
    type->Dump(writer, "pTextureData", Value("pointer", label + "_TextureData"), false, nullptr);

    const int count = LevelCount(m_Bitmap.GetWidth(), m_Bitmap.GetHeight());
    int first = std::max(m_Options.ForceMipDrop, 0) + (m_Options.Mips ? std::max(m_Options.MipDrop, 0) : 0);
    if (first >= count)
        first = count - 1;
    const int last = m_Options.Mips ? count - 1 : first;
    WriteLevels(writer, first, last);
    writer.SelectSegment(ZelFormat::kSegData);
    writer.LogSize(nullptr);
}

void CdbTexture::WriteLevels(CZelWriter& writer, int first, int last)
{
    const std::string label = GetLabel();
    unsigned long flags = 0;
    if (m_Specifier.IsAlpha1())
        flags = OneBitAlphaFlag;
    else if (m_Specifier.IsAlpha())
        flags = AlphaFlag;
    if (CFormatSpecifier::Value(m_Specifier.Bump))
        flags |= AlphaFlag | BumpMapFlag;
    const bool indexed = m_Specifier.IndexBits != 0;

    writer.SelectSegment(ZelFormat::kSegTemp);
    CType* type = TypeDatabase.FindType("ZelTexture", true);
    type->Begin(writer, (label + "_TextureData").c_str(), false, RecordAlignment);
    type->Dump(writer, "Width", Number("signed long", m_Bitmap.GetWidth() >> first), false, nullptr);
    type->Dump(writer, "Height", Number("signed long", m_Bitmap.GetHeight() >> first), false, nullptr);
    type->Dump(writer, "BitDepth", Number("signed long", m_Specifier.BitCount), false, nullptr);
    type->Dump(writer, "NumMips", Number("signed long", last - first + 1), false, nullptr);
    type->Dump(writer, "Flags", Number("unsigned long", static_cast<long>(flags)), false, nullptr);
    if (indexed)
        type->Dump(writer, "pPalette", Value("pointer", label + "_Palette"), false, nullptr);

    CPixelFormat format = m_Specifier;
    int alphaFilter = format.GetAlphaBits() == 1 ? PointFilter : CatromFilter;
    // A format that stores no alpha never shows it: the resampler's separate alpha pass is spared.
    if (format.GetAlphaBits() == 0 && format.IndexBits == 0)
        alphaFilter = m_Options.MipFilter;
    const CzBitmap* source = &m_Bitmap;
    int width = m_Bitmap.GetWidth(), height = m_Bitmap.GetHeight();
    for (int level = 0; level <= last; ++level, width /= 2, height /= 2) {
        for (const std::unique_ptr<CzBitmap>& image : m_LevelImages)
            if (image->GetWidth() == width && image->GetHeight() == height)
                source = image.get();
        if (level < first)
            continue;
        CzBitmap* image = const_cast<CzBitmap*>(source);
        std::unique_ptr<CzBitmap> made;
        if (source->GetWidth() != width || source->GetHeight() != height || m_Options.MipColour) {
            made.reset(new CzBitmap);
            *made = *source;
            if (source->GetWidth() != width || source->GetHeight() != height)
                made->Resample(width, height, m_Options.MipFilter, alphaFilter);
            if (m_Options.MipColour)
                made->FillRect(MipColour(level));
            image = made.get();
        }
        const unsigned char* bytes = image->ConvertToFormat(nullptr, format);
        if (!bytes)
            Fatal("Texture %s: level %d could not be converted to its pixel format.", label.c_str(), level);
        const unsigned long size = RowBytes(static_cast<unsigned long>(width) * height, format.BitCount);
        if (GetDatabase()->TargetMachine == XboxTarget && (format.BitCount == 16 || format.BitCount == 32)) {
            std::vector<unsigned char> ordered(bytes, bytes + size);
            MortonOrder(ordered.data(), width, height, format.BitCount / 8);
            writer.WriteData(ordered.data(), size, 1, "Texture level");
        } else {
            writer.WriteData(bytes, size, 1, "Texture level");
        }
        if (indexed && first == last)
            WritePalette(writer, *image);
    }
    if (indexed && first != last)
        WritePalette(writer, m_Bitmap);
}

void CdbTexture::WritePalette(CZelWriter& writer, CzBitmap& level)
{
    const CPixelFormat& working = CPixelFormat::Working();
    const long entries = 1L << m_Specifier.IndexBits;
    CType* type = TypeDatabase.FindType("CRendPalette", true);
    type->Begin(writer, (std::string(GetLabel()) + "_Palette").c_str(), false, RecordAlignment);
    type->Dump(writer, "EntryCount", Number("signed long", entries), false, nullptr);
    type->Dump(writer, "EntryBpp", Number("signed long", working.BitCount), false, nullptr);
    const unsigned char* bytes = level.ConvertPalette(m_Specifier, working);
    if (!bytes)
        Fatal("Texture %s: its palette could not be made.", GetLabel());
    writer.WriteData(bytes, RowBytes(static_cast<unsigned long>(entries), working.BitCount), 1, "Palette");
}

void CdbTexture::DumpDataMap(CZelWriter& writer)
{
    if (m_DataMapKind != INDEX_MAP && m_DataMapKind != COLOUR_MAP)
        return;
    writer.SelectSegment(ZelFormat::kSegData);
    writer.LogSize("Texture");
    CompleteLoad();
    // The record holds the size in 16 bits: a larger map could not be walked by its reader.
    if (m_Bitmap.GetWidth() > 32767 || m_Bitmap.GetHeight() > 32767)
        Fatal("Data map %s is larger than 32767 pixels on a side.", GetLabel());
    CType* type = TypeDatabase.FindType("CDataMap", true);
    if (!m_Alias.empty()) {
        writer.Align(RecordAlignment);
        writer.DefineSymbol(m_Alias.c_str(), nullptr, true, RecordAlignment);
    }
    const std::string label = GetLabel();
    type->Begin(writer, label.c_str(), true, RecordAlignment);
    type->Dump(writer, "Width", Number("signed short", m_Bitmap.GetWidth()), false, nullptr);
    type->Dump(writer, "Height", Number("signed short", m_Bitmap.GetHeight()), false, nullptr);
    type->Dump(writer, "Dimension", Number("signed long", m_DataMapKind), false, nullptr);
    type->Dump(writer, "pData", Value("pointer", label + "_MapData"), false, nullptr);
    writer.DefineSymbol((label + "_MapData").c_str(), nullptr, false, RecordAlignment);
    if (m_Bitmap.GetHeight() >= 1) {
        const CPixel* pixels = m_Bitmap.GetBitmap();
        const size_t count = size_t(m_Bitmap.GetWidth()) * m_Bitmap.GetHeight();
        if (m_DataMapKind == INDEX_MAP) {
            std::vector<unsigned char> values(count);
            for (size_t i = 0; i < count; ++i)
                values[i] = pixels[i].A;
            writer.WriteData(values.data(), 1, static_cast<unsigned long>(count), "Map data");
        } else {
            std::vector<unsigned long> values(count);
            for (size_t i = 0; i < count; ++i)
                values[i] = static_cast<unsigned long>(pixels[i].R) | static_cast<unsigned long>(pixels[i].G) << 8 |
                            static_cast<unsigned long>(pixels[i].B) << 16 |
                            static_cast<unsigned long>(pixels[i].A) << 24;
            writer.WriteData(values.data(), 4, static_cast<unsigned long>(count), "Map data");
        }
        m_Bitmap.ReleaseBitmap();
    }
    writer.LogSize(nullptr);
}

bool CdbTexture::Save(CZRiffFile& file, int formatVersion)
{
    if (CdbElement::Save(file, formatVersion))
        return true;
    if (file.Write(&m_Dumped, 1) || file.WriteString(m_FileName.c_str()) || file.Write(&m_Uniqueifier, 4))
        return true;
    m_Specifier.Save(file);
    return m_Bitmap.Save(file) != 0;
}

bool CdbTexture::Load(CZRiffFile& file, int elementVersion)
{
    m_DataMapKind = ORDINARY;
    if (CdbElement::Load(file, elementVersion))
        return true;
    // The one-byte flag was written with the chunk file's pad byte behind it.
    unsigned char dumped[2];
    char name[MaxFileName + 1] = {};
    if (file.Read(dumped, 2, false) || file.ReadString(MaxFileName, name))
        return true;
    m_Dumped = dumped[0];
    m_FileName = name;
    if (elementVersion >= 5 && file.Read(&m_Uniqueifier, 4, file.IsBigEndian()))
        return true;
    if (!m_Specifier.Load(file))
        return true;
    GetDatabase()->UpdateFormat(m_Specifier, m_Specifier.IsAlpha1()  ? "ALPHA1"
                                             : m_Specifier.IsAlpha() ? "ALPHA"
                                                                     : "NOALPHA");
    if (m_Bitmap.Load(file))
        return true;
    VerbosePrintf(3, "CdbTexture::Load: %s\n", GetLabel());
    CdbTexture* other = dynamic_cast<CdbTexture*>(GetDatabase()->FindElement(GetLabel()));
    if (other && other != this) {
        m_SharedLabel = GetLabel();
        SetNameF("%s_%03d", m_SharedLabel.c_str(), other->m_ShareCount++);
        m_Shared = 1;
        VerbosePrintf(3, "Shared texture detected!\nNew Name is %s\n", GetLabel());
    }
    return false;
}
