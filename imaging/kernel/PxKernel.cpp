// Records, storage, row access, palettes and the progress callback of the toolkit kernel.
#include "PxKernel.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Storage above this is refused: sizes computed from a record must stay far from 32-bit overflow.
constexpr uint64_t kMaxStorage = 0x40000000;

bool IsSupportedDepth(int32_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

uint64_t PackedRowBytes(int32_t width, int32_t bitsPerPixel)
{
    return (uint64_t(uint32_t(width)) * uint32_t(bitsPerPixel) + 7) / 8;
}

thread_local PxProgressCallback gProgressCallback = nullptr;
thread_local void* gProgressUser = nullptr;

} // namespace

void* PxAllocBlock(size_t size, int zeroFill)
{
    if (size == 0)
        size = 1;
    return zeroFill ? std::calloc(1, size) : std::malloc(size);
}

void PxFreeBlock(void* block) { std::free(block); }

int32_t PxInitBitmap(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel)
{
    if (!bitmap || (bitsPerPixel != 8 && bitsPerPixel != 24))
        return PX_INVALID_ARG;
    std::memset(bitmap, 0, sizeof *bitmap);
    bitmap->Width = width;
    bitmap->Height = height;
    bitmap->BitsPerPixel = bitsPerPixel;
    bitmap->ViewPerspective = PX_VIEW_TOP_DOWN;
    bitmap->Order = PX_ORDER_BGR;
    return PX_SUCCESS;
}

int32_t PxAllocateBitmap(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t order,
                         int32_t viewPerspective)
{
    if (!bitmap)
        return PX_INVALID_BITMAP;
    if (bitsPerPixel == 0)
        bitsPerPixel = 8;
    if (width <= 0 || height <= 0 || !IsSupportedDepth(bitsPerPixel) ||
        (order != PX_ORDER_RGB && order != PX_ORDER_BGR))
        return PX_INVALID_ARG;
    const uint64_t bytesPerLine = (PackedRowBytes(width, bitsPerPixel) + 3) & ~uint64_t(3);
    const uint64_t size = bytesPerLine * uint32_t(height);
    if (size > kMaxStorage)
        return PX_NO_MEMORY;
    uint8_t* data = static_cast<uint8_t*>(std::calloc(1, size_t(size)));
    if (!data)
        return PX_NO_MEMORY;
    PxPalette* palette = nullptr;
    if (bitsPerPixel <= 8 && !(palette = PxCreateGreyPalette(bitsPerPixel))) {
        std::free(data);
        return PX_NO_MEMORY;
    }
    PxFreeBitmap(bitmap);
    bitmap->Width = width;
    bitmap->Height = height;
    bitmap->BitsPerPixel = bitsPerPixel;
    bitmap->BytesPerLine = uint32_t(bytesPerLine);
    bitmap->Flags = (bitmap->Flags & PXF_KEEP_PALETTE_TABLE) | PXF_HAS_IMAGE;
    bitmap->Order = order;
    bitmap->ViewPerspective = viewPerspective == PX_VIEW_BOTTOM_UP ? PX_VIEW_BOTTOM_UP : PX_VIEW_TOP_DOWN;
    bitmap->Data = data;
    bitmap->DataSize = uint32_t(size);
    bitmap->AccessCount = 0;
    bitmap->ColorCount = 0;
    std::memset(bitmap->Palette, 0, sizeof bitmap->Palette);
    if (palette) {
        bitmap->ColorCount = palette->Count;
        bitmap->PaletteHandles[0] = palette;
        std::memcpy(bitmap->Palette, palette->Entries, palette->Count * sizeof(PxRgbQuad));
    }
    return PX_SUCCESS;
}

void PxFreeBitmap(PxBitmap* bitmap)
{
    if (!bitmap)
        return;
    std::free(bitmap->Data);
    for (PxPalette*& handle : bitmap->PaletteHandles) {
        PxDeletePalette(handle);
        handle = nullptr;
    }
    bitmap->Data = nullptr;
    bitmap->DataSize = 0;
    bitmap->Flags &= ~uint32_t(PXF_HAS_IMAGE);
}

int32_t PxIsValidBitmap(const PxBitmap* bitmap)
{
    if (!bitmap || !(bitmap->Flags & PXF_HAS_IMAGE) || !bitmap->Data)
        return 0;
    if (bitmap->Width <= 0 || bitmap->Height <= 0 || !IsSupportedDepth(bitmap->BitsPerPixel))
        return 0;
    if (bitmap->BytesPerLine < PackedRowBytes(bitmap->Width, bitmap->BitsPerPixel))
        return 0;
    if (uint64_t(bitmap->BytesPerLine) * uint32_t(bitmap->Height) > bitmap->DataSize)
        return 0;
    if (bitmap->BitsPerPixel <= 8 && bitmap->ColorCount > (1u << bitmap->BitsPerPixel))
        return 0;
    return 1;
}

int32_t PxAccessBitmap(PxBitmap* bitmap)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    return ++bitmap->AccessCount;
}

void PxReleaseBitmap(PxBitmap* bitmap, int32_t token)
{
    if (bitmap && token > 0 && bitmap->AccessCount > 0)
        --bitmap->AccessCount;
}

int32_t PxGetBitmapRow(const PxBitmap* bitmap, void* buffer, int32_t row, uint32_t bytes)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (!buffer || row < 0 || row >= bitmap->Height)
        return PX_INVALID_ARG;
    if (bytes > bitmap->BytesPerLine)
        bytes = bitmap->BytesPerLine;
    std::memcpy(buffer, bitmap->Data + size_t(row) * bitmap->BytesPerLine, bytes);
    return int32_t(bytes);
}

int32_t PxPutBitmapRow(PxBitmap* bitmap, const void* buffer, int32_t row, uint32_t bytes)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (!buffer || row < 0 || row >= bitmap->Height)
        return PX_INVALID_ARG;
    if (bytes > bitmap->BytesPerLine)
        bytes = bitmap->BytesPerLine;
    std::memcpy(bitmap->Data + size_t(row) * bitmap->BytesPerLine, buffer, bytes);
    return int32_t(bytes);
}

uint32_t PxRowBufferSize(int32_t bitsPerPixel, int32_t width, int32_t workingBits)
{
    if (width <= 0)
        return 0;
    const uint64_t stored = (PackedRowBytes(width, bitsPerPixel) + 3) & ~uint64_t(3);
    const uint64_t working = uint64_t(uint32_t(width)) * (workingBits == 24 ? 3 : 1);
    const uint64_t size = stored > working ? stored : working;
    // Room for one replicated pixel at each end, which the 3x3 filters pad rows with.
    return size + 8 > kMaxStorage ? 0 : uint32_t(size + 8);
}

PxPalette* PxCreatePalette(uint32_t count, const PxRgbQuad* entries)
{
    if (count > 256)
        return nullptr;
    PxPalette* palette = new (std::nothrow) PxPalette{};
    if (!palette)
        return nullptr;
    palette->Count = count;
    if (entries)
        std::memcpy(palette->Entries, entries, count * sizeof(PxRgbQuad));
    return palette;
}

PxPalette* PxCreateGreyPalette(int32_t bitsPerPixel)
{
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
        return nullptr;
    const uint32_t count = 1u << bitsPerPixel;
    PxPalette* palette = PxCreatePalette(count, nullptr);
    if (!palette)
        return nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t grey = uint8_t(i * 255 / (count - 1));
        palette->Entries[i] = PxRgbQuad{grey, grey, grey, 0};
    }
    return palette;
}

void PxDeletePalette(PxPalette* palette) { delete palette; }

int32_t PxGetPaletteEntries(const PxPalette* palette, uint32_t first, uint32_t count, PxRgbQuad* entries)
{
    if (!palette || !entries || first >= palette->Count)
        return 0;
    const uint32_t n = count < palette->Count - first ? count : palette->Count - first;
    std::memcpy(entries, palette->Entries + first, n * sizeof(PxRgbQuad));
    return int32_t(n);
}

int32_t PxSetPaletteEntries(uint32_t count, PxPalette* palette, uint32_t first, const PxRgbQuad* entries)
{
    if (!palette || !entries || first >= palette->Count)
        return 0;
    const uint32_t n = count < palette->Count - first ? count : palette->Count - first;
    std::memcpy(palette->Entries + first, entries, n * sizeof(PxRgbQuad));
    return int32_t(n);
}

int32_t PxGetBitmapColors(uint32_t count, const PxBitmap* bitmap, uint32_t first, PxRgbQuad* entries)
{
    if (!bitmap || !entries || first >= 256)
        return 0;
    const uint32_t n = count < 256 - first ? count : 256 - first;
    std::memcpy(entries, bitmap->Palette + first, n * sizeof(PxRgbQuad));
    return int32_t(n);
}

PxPalette* PxCurrentPalette(const PxBitmap* bitmap)
{
    return bitmap ? bitmap->PaletteHandles[(bitmap->Flags & PXF_SECOND_PALETTE) ? 1 : 0] : nullptr;
}

int32_t PxSetBitmapPalette(PxBitmap* bitmap, uint32_t count, const PxRgbQuad* entries)
{
    if (!PxIsValidBitmap(bitmap) || bitmap->BitsPerPixel > 8 || !entries)
        return PX_INVALID_BITMAP;
    if (count > (1u << bitmap->BitsPerPixel))
        return PX_INVALID_ARG;
    PxPalette* palette = PxCreatePalette(count, entries);
    if (!palette)
        return PX_NO_MEMORY;
    PxPalette*& handle = bitmap->PaletteHandles[(bitmap->Flags & PXF_SECOND_PALETTE) ? 1 : 0];
    PxDeletePalette(handle);
    handle = palette;
    bitmap->ColorCount = count;
    std::memset(bitmap->Palette, 0, sizeof bitmap->Palette);
    std::memcpy(bitmap->Palette, entries, count * sizeof(PxRgbQuad));
    return PX_SUCCESS;
}

int32_t PxIsGreyScale(const PxBitmap* bitmap)
{
    if (!PxIsValidBitmap(bitmap) || bitmap->BitsPerPixel > 8)
        return 0;
    const PxPalette* palette = PxCurrentPalette(bitmap);
    const uint32_t count = 1u << bitmap->BitsPerPixel;
    if (!palette || palette->Count != count || bitmap->ColorCount != count)
        return 0;
    bool rising = true, falling = true;
    for (uint32_t i = 0; i < count; ++i) {
        const PxRgbQuad& e = palette->Entries[i];
        const uint8_t up = uint8_t(i * 255 / (count - 1));
        const bool grey = e.Red == e.Green && e.Green == e.Blue;
        rising = rising && grey && e.Red == up;
        falling = falling && grey && e.Red == 255 - up;
    }
    return rising ? 1 : falling ? 2 : 0;
}

const uint8_t* PxBitCountTable(void)
{
    static const struct Table {
        uint8_t counts[256];
        Table()
        {
            for (int i = 0; i < 256; ++i)
                counts[i] = uint8_t(__builtin_popcount(unsigned(i)));
        }
    } table;
    return table.counts;
}

void PxSetProgressCallback(PxProgressCallback callback, void* user)
{
    gProgressCallback = callback;
    gProgressUser = user;
}

PxProgressCallback PxGetProgressCallback(void** user)
{
    if (user)
        *user = gProgressUser;
    return gProgressCallback;
}
