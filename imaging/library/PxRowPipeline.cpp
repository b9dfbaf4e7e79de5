#include "PxRowPipeline.h"

#include <cstring>
#include <new>

namespace pximg {

bool ReadWholePalette(const PxBitmap& bitmap, PxRgbQuad* entries)
{
    std::memset(entries, 0, 256 * sizeof(PxRgbQuad));
    if (bitmap.ColorCount == 0)
        return false;
    return PxGetPaletteEntries(PxCurrentPalette(&bitmap), 0, bitmap.ColorCount, entries) == int32_t(bitmap.ColorCount);
}

int32_t RowPipeline::Open(PxBitmap* bitmap, bool forceColour)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    const bool paletted = bitmap->BitsPerPixel <= 8;
    if (paletted && !ReadWholePalette(*bitmap, palette_))
        return PX_INVALID_BITMAP;
    const int32_t grey = PxIsGreyScale(bitmap);
    workingBits_ = forceColour || grey == 0 ? 24 : 8;
    asStored_ = bitmap->BitsPerPixel == 8 && grey == 1 && workingBits_ == 8;
    try {
        stored_.assign(bitmap->BytesPerLine, 0);
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    if (paletted && !asStored_) {
        const int32_t result = PxPrepareReduction(bitmap, workingBits_, &reduction_);
        if (result != PX_SUCCESS)
            return result;
    }
    bitmap_ = bitmap;
    token_ = PxAccessBitmap(bitmap);
    return PX_SUCCESS;
}

int32_t RowPipeline::ReadRow(uint8_t* working, int32_t storageRow)
{
    const int32_t width = bitmap_->Width;
    if (asStored_)
        return PxGetBitmapRow(bitmap_, working, storageRow, uint32_t(width)) < 0 ? PX_INVALID_ARG : PX_SUCCESS;
    if (PxGetBitmapRow(bitmap_, stored_.data(), storageRow, bitmap_->BytesPerLine) < 0)
        return PX_INVALID_ARG;
    PxConvertRowToWorking(stored_.data(), working, width, bitmap_->BitsPerPixel, bitmap_->Order, palette_,
                          workingBits_);
    return PX_SUCCESS;
}

int32_t RowPipeline::WriteRow(const uint8_t* working, int32_t storageRow)
{
    const int32_t width = bitmap_->Width;
    const uint8_t* row = working;
    uint32_t bytes = uint32_t(width);
    if (!asStored_) {
        if (reduction_) {
            PxReduceRow(reduction_, working, stored_.data(), width);
        } else {
            // The fourth byte of 32-bit pixels is not part of the working row: keep what is stored.
            if (bitmap_->BitsPerPixel == 32 &&
                PxGetBitmapRow(bitmap_, stored_.data(), storageRow, bitmap_->BytesPerLine) < 0)
                return PX_INVALID_ARG;
            PxConvertRowFromWorking(working, stored_.data(), width, bitmap_->BitsPerPixel, bitmap_->Order,
                                    workingBits_);
        }
        row = stored_.data();
        bytes = uint32_t((uint64_t(width) * bitmap_->BitsPerPixel + 7) / 8);
    }
    if (PxPutBitmapRow(bitmap_, row, storageRow, bytes) < 0)
        return PX_INVALID_ARG;
    return progress_.Advance();
}

void RowPipeline::Close()
{
    PxReleaseReduction(reduction_);
    reduction_ = nullptr;
    if (bitmap_)
        PxReleaseBitmap(bitmap_, token_);
    bitmap_ = nullptr;
}

} // namespace pximg
