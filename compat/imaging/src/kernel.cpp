// Bitmap records: storage, rows and orientation.
#include "mg_imaging.h"

#include <cstdlib>
#include <cstring>
#include <vector>

void* PxAlloc(size_t size, int zeroFill)
{
    if (size == 0)
        size = 1;
    return zeroFill ? std::calloc(1, size) : std::malloc(size);
}

void PxFree(void* block) { std::free(block); }

uint32_t PxRowBytes(int32_t width, int32_t bitsPerPixel)
{
    if (width <= 0 || bitsPerPixel <= 0)
        return 0;
    uint64_t bits = uint64_t(width) * uint64_t(bitsPerPixel);
    return uint32_t((bits + 31) / 32 * 4);
}

uint32_t PxRowBufferBytes(int32_t bitsPerPixel, int32_t width, int32_t workingBits)
{
    uint32_t stored = PxRowBytes(width, bitsPerPixel);
    uint32_t working = PxRowBytes(width, workingBits);
    return stored > working ? stored : working;
}

static bool ValidDepth(int32_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Sizes whose storage would not fit a 32-bit address space are refused up front.
static bool ValidSize(int32_t width, int32_t height, int32_t bits)
{
    if (width <= 0 || height <= 0)
        return false;
    uint64_t bytes = uint64_t(PxRowBytes(width, bits)) * uint64_t(height);
    return bytes <= 0x7FFFFFFFu;
}

int PxInitRecord(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel)
{
    if (!bitmap)
        return PX_ERR_BITMAP;
    if (bitsPerPixel == 0)
        bitsPerPixel = 8;
    if (!ValidDepth(bitsPerPixel))
        return PX_ERR_BITS;
    if (!ValidSize(width, height, bitsPerPixel))
        return PX_ERR_SIZE;
    PxFreeStorage(bitmap);
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPerPixel = bitsPerPixel;
    bitmap->rowBytes = PxRowBytes(width, bitsPerPixel);
    bitmap->paletteColours = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
    return PX_OK;
}

int PxAllocStorage(PxBitmap* bitmap, int zeroFill)
{
    if (!bitmap || bitmap->rowBytes == 0 || bitmap->height <= 0)
        return PX_ERR_BITMAP;
    PxFree(bitmap->storage);
    bitmap->storage = static_cast<uint8_t*>(PxAlloc(size_t(bitmap->rowBytes) * size_t(bitmap->height), zeroFill));
    if (!bitmap->storage) {
        bitmap->flags &= ~uint32_t(PX_FLAG_IMAGE);
        return PX_ERR_MEMORY;
    }
    bitmap->flags |= PX_FLAG_IMAGE;
    return PX_OK;
}

int PxCreateBitmap(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t colourOrder,
                   int32_t viewPerspective)
{
    if (colourOrder != PX_ORDER_RGB && colourOrder != PX_ORDER_BGR)
        return PX_ERR_PARAMETER;
    if (viewPerspective != PX_VIEW_TOP_DOWN && viewPerspective != PX_VIEW_BOTTOM_UP)
        return PX_ERR_PARAMETER;
    int result = PxInitRecord(bitmap, width, height, bitsPerPixel);
    if (result < PX_OK)
        return result;
    bitmap->colourOrder = colourOrder;
    bitmap->viewPerspective = viewPerspective;
    bitmap->mirrored = 0;
    return PxAllocStorage(bitmap, 1);
}

void PxFreeStorage(PxBitmap* bitmap)
{
    if (!bitmap)
        return;
    PxFree(bitmap->storage);
    bitmap->storage = nullptr;
    bitmap->flags &= ~uint32_t(PX_FLAG_IMAGE);
    bitmap->rowAccess = 0;
}

int PxOpenRows(PxBitmap* bitmap)
{
    if (!bitmap || !(bitmap->flags & PX_FLAG_IMAGE))
        return PX_ERR_BITMAP;
    return ++bitmap->rowAccess;
}

void PxCloseRows(PxBitmap* bitmap)
{
    if (bitmap && bitmap->rowAccess > 0)
        --bitmap->rowAccess;
}

uint8_t* PxRowPointer(const PxBitmap* bitmap, int32_t row)
{
    if (!bitmap || !bitmap->storage || row < 0 || row >= bitmap->height)
        return nullptr;
    int32_t stored = bitmap->viewPerspective == PX_VIEW_BOTTOM_UP ? bitmap->height - 1 - row : row;
    return bitmap->storage + size_t(stored) * bitmap->rowBytes;
}

int PxGetRow(const PxBitmap* bitmap, void* buffer, int32_t row, uint32_t bytes)
{
    uint8_t* source = PxRowPointer(bitmap, row);
    if (!source)
        return PX_ERR_BITMAP;
    if (!buffer || bytes > bitmap->rowBytes)
        return PX_ERR_PARAMETER;
    std::memcpy(buffer, source, bytes);
    return PX_OK;
}

int PxPutRow(PxBitmap* bitmap, const void* buffer, int32_t row, uint32_t bytes)
{
    uint8_t* target = PxRowPointer(bitmap, row);
    if (!target)
        return PX_ERR_BITMAP;
    if (!buffer || bytes > bitmap->rowBytes)
        return PX_ERR_PARAMETER;
    std::memcpy(target, buffer, bytes);
    return PX_OK;
}

int PxNormaliseRows(PxBitmap* bitmap)
{
    if (!bitmap || !bitmap->storage)
        return PX_ERR_BITMAP;
    if (bitmap->viewPerspective != PX_VIEW_BOTTOM_UP)
        return PX_OK;
    std::vector<uint8_t> swap(bitmap->rowBytes);
    for (int32_t top = 0, bottom = bitmap->height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = bitmap->storage + size_t(top) * bitmap->rowBytes;
        uint8_t* b = bitmap->storage + size_t(bottom) * bitmap->rowBytes;
        std::memcpy(swap.data(), a, bitmap->rowBytes);
        std::memcpy(a, b, bitmap->rowBytes);
        std::memcpy(b, swap.data(), bitmap->rowBytes);
    }
    bitmap->viewPerspective = PX_VIEW_TOP_DOWN;
    return PX_OK;
}

int PxNormaliseColumns(PxBitmap* bitmap)
{
    if (!bitmap || !bitmap->storage)
        return PX_ERR_BITMAP;
    if (!bitmap->mirrored)
        return PX_OK;
    if (bitmap->bitsPerPixel < 8)
        return PX_ERR_BITS;
    size_t pixel = size_t(bitmap->bitsPerPixel / 8);
    std::vector<uint8_t> swap(pixel);
    for (int32_t y = 0; y < bitmap->height; ++y) {
        uint8_t* row = bitmap->storage + size_t(y) * bitmap->rowBytes;
        for (int32_t l = 0, r = bitmap->width - 1; l < r; ++l, --r) {
            std::memcpy(swap.data(), row + l * pixel, pixel);
            std::memcpy(row + l * pixel, row + r * pixel, pixel);
            std::memcpy(row + r * pixel, swap.data(), pixel);
        }
    }
    bitmap->mirrored = 0;
    return PX_OK;
}
