#include "converter/import2d/CzBitmap.h"

#include "converter/import2d/PaletteMaps.h"
#include "converter/import2d/Palettizer.h"

#include "core/output/ZOutput.h"
#include "core/riff/CZRiffFile.h"

#include <mg_imaging.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

long CzBitmap::ErrorSwitch = 1;

namespace {

struct ErrorText {
    int code;
    const char* message;
};

const ErrorText ErrorTable[] = {
    {0, "Unknown Error"},
    {-1, "Not enough memory available"},
    {-2, "Invalid bitmap handle"},
    {-3, "Not enough memory available"},
    {-4, "Error seeking to position"},
    {-5, "Error writing file"},
    {-6, "File not present - abort"},
    {-7, "Error reading file"},
    {-8, "Invalid filename specified"},
    {-9, "Invalid file format"},
    {-10, "File not found"},
    {-11, "Invalid width/height"},
    {-12, "OK Image format, bad sub-type"},
    {-13, "Invalid parmameter passed"},
    {-14, "Not able to open file"},
    {-15, "Unknown compression format"},
    {-16, "Not available for file format requested"},
    {-17, "VGA card only supports 256 colors (8 bit)"},
    {-18, "Printer error"},
    {-19, "Data CRC check error"},
    {-21, "Invalid QFactor specified"},
    {-22, "TARGA not installed"},
    {-23, "Invalid compression format"},
    {-24, "X origin specified invalid"},
    {-25, "Y origin specified invalid"},
    {-26, "Invalid video mode"},
    {-27, "Invalid bits/pixel"},
    {-28, "Invalid window size"},
    {-29, "Escape key pressed"},
    {-63, "fixed palette data not found"},
    {-64, "fixed palette data not found"},
    {-65, "stamp not found"},
    {-70, "invalid group 3 dat"},
    {-71, "group3 code end of file"},
    {-72, "group3 code end of code"},
    {-73, "premature EOF at scanline"},
    {-74, "premature end-of-line code"},
    {-75, "premature end-of-line code"},
    {-76, "premature end-of-line code"},
    {-77, "premature end-of-line code"},
    {-78, "bad version number"},
    {-100, "User has aborted operation"},
    {65536, "Bitmap access denied, need to unlock it first!"},
};

const int LockedCode = 65536;
const int BadHandle = -2;
const int BadSize = -11;
const int NoMemory = -1;
// The largest image kept in memory: 64 megapixels, 256 MB of CPixels.
const unsigned long long MaxPixels = 64ull << 20;

} // namespace

CzBitmap::~CzBitmap() { Reset(); }

const char* CzBitmap::ErrorMessage(int code)
{
    for (const ErrorText& entry : ErrorTable)
        if (entry.code == code)
            return entry.message;
    return "Unknown Error";
}

int CzBitmap::CheckResult(const char* context, int code)
{
    if (code < 1)
        m_Result = code;
    if (m_Result >= 1)
        return 0;
    if (ErrorSwitch) {
        for (const ErrorText& entry : ErrorTable)
            if (entry.code == m_Result)
                vbail("Bitmap error!\n%s\n%s\n", entry.message, context);
        vbail("Bitmap error!\nUnknown error code %d\n%s\n", m_Result, context);
    }
    return 1;
}

void CzBitmap::Reset()
{
    if (m_Locked)
        CheckResult("Reinitializing with locked bitmap!\n", LockedCode);
    m_Pixels.clear();
    m_Pixels.shrink_to_fit();
    m_IndexImage.clear();
    m_Palette.clear();
    m_Output.clear();
    m_PaletteOutput.clear();
    m_Width = m_Height = 0;
    m_Locked = 0;
}

bool CzBitmap::Allocate(int width, int height)
{
    if (width < 0 || height < 0 || static_cast<unsigned long long>(width) * height > MaxPixels)
        return false;
    m_Pixels.assign(size_t(width) * height, CPixel::Zero);
    m_Width = width;
    m_Height = height;
    return true;
}

int CzBitmap::Load(const char* fileName)
{
    Reset();
    PxFileInfo info{};
    if (CheckResult(fileName, PxGetFileInfo(fileName, &info)))
        return 1;
    if (info.bitsPerPixel < 8)
        return CheckResult(fileName, -27);
    if (!Allocate(info.width, info.height))
        return CheckResult(fileName, NoMemory);
    PxBitmap record{};
    if (CheckResult(fileName, PxLoadFile(fileName, &record, 32, PX_ORDER_RGB))) {
        Reset();
        return 1;
    }
    // Our layer hands rows over top-down and left to right; a record stored otherwise is turned.
    PxNormaliseRows(&record);
    PxNormaliseColumns(&record);
    int result = record.width == m_Width && record.height == m_Height ? 1 : BadSize;
    if (result >= 1 && PxOpenRows(&record) >= 1) {
        for (int y = 0; y < m_Height && result >= 1; ++y)
            result = PxGetRow(&record, &At(0, y), y, uint32_t(m_Width) * 4);
        PxCloseRows(&record);
    }
    PxFreeStorage(&record);
    if (result < 1) {
        Reset();
        return CheckResult("Getting Bitmap Data", result);
    }
    return CheckResult(fileName, 1);
}

int CzBitmap::Save(const char* fileName)
{
    if (m_Pixels.empty())
        return CheckResult("CzBitmap::Save()", BadHandle);
    PxBitmap record{};
    int result = PxInitRecord(&record, m_Width, m_Height, 32);
    if (result >= 1)
        result = PxAllocStorage(&record, 1);
    if (result >= 1 && PxOpenRows(&record) >= 1) {
        for (int y = 0; y < m_Height && result >= 1; ++y)
            result = PxPutRow(&record, &At(0, y), y, uint32_t(m_Width) * 4);
        PxCloseRows(&record);
    }
    if (result >= 1)
        result = PxSaveFile(fileName, &record, PX_FILE_TGA);
    PxFreeStorage(&record);
    return CheckResult("CzBitmap::Save()", result);
}

int CzBitmap::Save(CZRiffFile& file)
{
    if (m_Locked && CheckResult("Save() with locked bitmap!\n", LockedCode))
        return 1;
    const unsigned long header[3] = {static_cast<unsigned long>(ErrorSwitch), static_cast<unsigned long>(m_Height),
                                     static_cast<unsigned long>(m_Width)};
    bool failed = file.Write(header, sizeof header);
    if (!m_Pixels.empty())
        failed = file.Write(m_Pixels.data(), m_Pixels.size() * 4) || failed;
    return failed ? 1 : 0;
}

int CzBitmap::Load(CZRiffFile& file)
{
    Reset();
    unsigned long values[3];
    for (unsigned long& value : values)
        if (file.Read(&value, 4, file.IsBigEndian()))
            return 1;
    ErrorSwitch = static_cast<long>(values[0]);
    const long height = static_cast<long>(values[1]), width = static_cast<long>(values[2]);
    if (!Allocate(width, height))
        return CheckResult("CzBitmap::Load()", BadSize);
    if (!m_Pixels.empty() && file.Read(m_Pixels.data(), m_Pixels.size() * 4, false)) {
        Reset();
        return CheckResult("CzBitmap::Load()", -7);
    }
    return 0;
}

void CzBitmap::Diagnostic() const
{
    std::printf("\nCzBitmap::Diagnostic()\n");
    std::printf("Size: %d x %d  Locked:%d\n", m_Width, m_Height, m_Locked);
    if (!m_Pixels.empty())
        std::printf("32 bpp memory allocated, %d bytes used\n", m_Width * m_Height * 4);
    if (!m_Palette.empty())
        std::printf("palette memory allocated, %d bytes used\n", 1024);
}

CPixel* CzBitmap::GetBitmap()
{
    if (m_Locked)
        CheckResult("GetBitmap()", LockedCode);
    m_Locked = 1;
    return m_Pixels.data();
}

void CzBitmap::ReleaseBitmap()
{
    m_Locked = 0;
    m_Output.clear();
}

CzBitmap& CzBitmap::operator=(const CzBitmap& source)
{
    if (this == &source)
        return *this;
    Reset();
    if (source.m_Pixels.empty()) {
        CheckResult("operator=", BadHandle);
        return *this;
    }
    m_Pixels = source.m_Pixels;
    m_Width = source.m_Width;
    m_Height = source.m_Height;
    if (!source.m_Palette.empty())
        CreatePalette(source.m_Format);
    return *this;
}

// A new zeroed buffer takes the overlap of the old image and the new rectangle, so that any
// left, top and size work, including negative offsets and same-size shifts.
void CzBitmap::Crop(int left, int top, int right, int bottom)
{
    if (m_Locked) {
        CheckResult("Crop()", LockedCode);
        return;
    }
    const int width = right - left, height = bottom - top;
    if (width == m_Width && height == m_Height && left == 0 && top == 0)
        return;
    std::vector<CPixel> old;
    old.swap(m_Pixels);
    const int oldWidth = m_Width, oldHeight = m_Height;
    if (!Allocate(std::max(width, 0), std::max(height, 0))) {
        CheckResult("Crop()", BadSize);
        return;
    }
    const int x0 = std::max(0, left), x1 = std::min(oldWidth, right);
    for (int y = std::max(0, top); y < std::min(oldHeight, bottom) && x0 < x1; ++y)
        std::copy(&old[size_t(y) * oldWidth + x0], &old[size_t(y) * oldWidth + x1], &At(x0 - left, y - top));
    m_IndexImage.clear();
    m_Palette.clear();
}

int CzBitmap::CopyRegion(CzBitmap& destination, int x, int y, int width, int height)
{
    if (m_Pixels.empty())
        return CheckResult("GetBitmap()", BadHandle);
    destination.Reset();
    if (!destination.Allocate(std::max(width, 0), std::max(height, 0)))
        return destination.CheckResult("CopyRegion()", BadSize);
    for (int row = std::max(0, -y); row < height && y + row < m_Height; ++row)
        for (int column = std::max(0, -x); column < width && x + column < m_Width; ++column)
            destination.At(column, row) = At(x + column, y + row);
    if (!m_Palette.empty())
        destination.CreatePalette(m_Format);
    return 0;
}

int CzBitmap::Paste(CzBitmap& source, int x, int y, int border)
{
    if ((m_Locked || source.m_Locked) && CheckResult("GetBitmap()", LockedCode))
        return 1;
    if (m_Pixels.empty() || source.m_Pixels.empty())
        return CheckResult("GetBitmap()", BadHandle);
    GetBitmap();
    source.GetBitmap();
    const int total = 2 * border;
    for (int row = 0; row < source.m_Height + total; ++row) {
        const int ty = y + row;
        if (ty < 0 || ty >= m_Height)
            continue;
        const int sy = std::clamp(row - border, 0, source.m_Height - 1);
        for (int column = 0; column < source.m_Width + total; ++column) {
            const int tx = x + column;
            if (tx >= 0 && tx < m_Width)
                At(tx, ty) = source.At(std::clamp(column - border, 0, source.m_Width - 1), sy);
        }
    }
    source.ReleaseBitmap();
    ReleaseBitmap();
    return 0;
}

int CzBitmap::FillRect(const CPixel& pixel, const RECT* rect)
{
    if (m_Locked && CheckResult("GetBitmap()", LockedCode))
        return 1;
    if (m_Pixels.empty())
        return CheckResult("GetBitmap()", BadHandle);
    RECT area = rect ? *rect : RECT{0, 0, m_Width, m_Height};
    area.left = std::max<long>(area.left, 0);
    area.top = std::max<long>(area.top, 0);
    area.right = std::min<long>(area.right, m_Width);
    area.bottom = std::min<long>(area.bottom, m_Height);
    if (area.bottom < area.top || area.right < area.left)
        return CheckResult("FillRect()", BadSize);
    for (long y = area.top; y < area.bottom; ++y)
        std::fill(&At(area.left, y), &At(area.left, y) + (area.right - area.left), pixel);
    return 0;
}

RECT CzBitmap::SetupGetRectangle(const RECT* rect, int bitsPerPixel)
{
    RECT area = rect ? *rect : RECT{0, 0, m_Width, m_Height};
    if (m_Pixels.empty()) {
        CheckResult("SetupGetRectangle()", BadHandle);
        return RECT{0, 0, 0, 0};
    }
    area.left = std::max<long>(area.left, 0);
    area.top = std::max<long>(area.top, 0);
    area.right = std::max(area.right, area.left);
    area.bottom = std::max(area.bottom, area.top);
    const unsigned long count = static_cast<unsigned long>((area.right - area.left) * (area.bottom - area.top));
    m_Output.assign(RowBytes(count, bitsPerPixel), 0);
    return area;
}

const CPixel* CzBitmap::GetRectangle32(const RECT* rect)
{
    const RECT area = SetupGetRectangle(rect, 32);
    if (m_Pixels.empty())
        return nullptr;
    CPixel* out = reinterpret_cast<CPixel*>(m_Output.data());
    for (long y = area.top; y < area.bottom; ++y)
        for (long x = area.left; x < area.right; ++x)
            *out++ = y < m_Height && x < m_Width ? At(x, y) : CPixel::Zero;
    return reinterpret_cast<const CPixel*>(m_Output.data());
}

const unsigned char* CzBitmap::ConvertToFormat(const RECT* rect, CPixelFormat& format)
{
    if (format.IndexBits && CreatePalette(format))
        return nullptr;
    const std::vector<CPixel>& source = format.IndexBits ? m_IndexImage : m_Pixels;
    if (format.IndexBits == 4)
        format.NibblePhase = 0;
    const RECT area = SetupGetRectangle(rect, format.BitCount);
    if (m_Pixels.empty())
        return nullptr;
    unsigned char* out = m_Output.data();
    for (long y = area.top; y < area.bottom; ++y)
        for (long x = area.left; x < area.right; ++x)
            out = format.EncodePixel(out, y < m_Height && x < m_Width ? source[size_t(y) * m_Width + x] : CPixel::Zero);
    return m_Output.data();
}

const unsigned char* CzBitmap::ConvertPalette(const CPixelFormat& format, const CPixelFormat& entryFormat)
{
    if (entryFormat.BitCount < 16)
        vbail("Not enough bits in palette entry.\n%s,%d\n", "Bitmap", __LINE__);
    if (format.IndexBits == 0)
        return nullptr;
    if (!m_Format.Equals(format)) {
        m_IndexImage.clear();
        m_Palette.clear();
        m_Format = format;
    }
    if (m_IndexImage.empty() && CreatePalette(format))
        return nullptr;
    const int entries = 1 << format.IndexBits;
    // Each entry takes the slot its position map gives, in entries of the entry format's size.
    const int entryBytes = entryFormat.BitCount / 8;
    m_PaletteOutput.assign(size_t(entries) * entryBytes, 0);
    const unsigned long* map = entries == 16 ? PaletteMaps::Identity16() : PaletteMaps::Get(1);
    CPixelFormat encoder = entryFormat;
    for (int i = 0; i < entries; ++i)
        encoder.EncodePixel(&m_PaletteOutput[size_t(map[i]) * entryBytes], m_Palette[i]);
    return m_PaletteOutput.data();
}

int CzBitmap::CreatePalette(const CPixelFormat& format)
{
    if (m_Pixels.empty())
        return CheckResult("CreatePalette()", BadHandle);
    if (format.IndexBits != 4 && format.IndexBits != 8) {
        CheckResult("Invalid conversion request.", LockedCode);
        return 1;
    }
    const int entries = 1 << format.IndexBits;
    const bool alpha1 = format.IsAlpha1();
    const CPixel average = AverageColour(true);
    std::vector<CPixel> work(m_Pixels);
    for (CPixel& pixel : work) {
        if (alpha1)
            pixel = pixel.A < 128 ? CPixel(average.R, average.G, average.B, 0) : CPixel(pixel.R, pixel.G, pixel.B, 128);
        else if (format.IsAlpha())
            pixel.A >>= 1;
        else
            pixel.A = 128;
    }
    m_Palette.assign(entries, CPixel::Zero);
    std::vector<unsigned char> indices(work.size());
    CPixel reserved(average.R, average.G, average.B, 0);
    Palettize(indices.data(), m_Palette.data(), work.data(), m_Height, m_Width, entries, alpha1,
              alpha1 ? &reserved : nullptr);
    if (format.IndexBits == 4 && (m_Width & 1))
        CheckResult("4 bit images with odd widths are not supported.", LockedCode);
    m_IndexImage.assign(work.size(), CPixel::Zero);
    for (size_t i = 0; i < work.size(); ++i)
        m_IndexImage[i].A = static_cast<unsigned char>(format.IndexBits == 4 ? indices[i] << 4 : indices[i]);
    m_Format = format;
    return 0;
}

CPixel CzBitmap::AverageColour(bool opaqueOnly) const
{
    unsigned long long sum[4] = {}, count = 0;
    for (const CPixel& p : m_Pixels) {
        if (opaqueOnly && p.A < 128)
            continue;
        sum[0] += p.R;
        sum[1] += p.G;
        sum[2] += p.B;
        sum[3] += p.A;
        ++count;
    }
    if (count == 0)
        return CPixel::Zero;
    return CPixel(static_cast<unsigned char>(sum[0] / count), static_cast<unsigned char>(sum[1] / count),
                  static_cast<unsigned char>(sum[2] / count), static_cast<unsigned char>(sum[3] / count));
}
