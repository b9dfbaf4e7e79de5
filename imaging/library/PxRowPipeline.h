#pragma once
// The working-row pipeline every neighbourhood operation runs on: stored rows of any depth come
// in as 8-bit grey or 24-bit blue-green-red rows and go back in the stored form, palette images
// reduced to their own palette. Closing (or destruction) releases everything on every path.
#include "PxKernel.h"
#include "PxProgress.h"

#include <vector>

namespace pximg {

class RowPipeline {
public:
    RowPipeline() = default;
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;
    ~RowPipeline() { Close(); }

    // Checks the bitmap (-2) and prepares its working form; 24-bit working rows when
    // `forceColour` is set or the palette is not a grey ramp.
    int32_t Open(PxBitmap* bitmap, bool forceColour);
    int32_t BeginProgress(int32_t first, int32_t last, uint32_t steps) { return progress_.Begin(first, last, steps); }
    // Storage row into a working row of WorkingRowBytes() bytes.
    int32_t ReadRow(uint8_t* working, int32_t storageRow);
    // Working row back into storage row; advances progress and returns its result.
    int32_t WriteRow(const uint8_t* working, int32_t storageRow);
    void Close();

    int32_t WorkingBits() const { return workingBits_; }
    int32_t PixelBytes() const { return workingBits_ == 24 ? 3 : 1; }
    int32_t Width() const { return bitmap_->Width; }
    int32_t Height() const { return bitmap_->Height; }
    size_t WorkingRowBytes() const { return size_t(bitmap_->Width) * PixelBytes(); }
    int32_t StorageRow(int32_t imageRow) const { return PxStorageRow(*bitmap_, imageRow); }

private:
    PxBitmap* bitmap_ = nullptr;
    int32_t token_ = 0;
    int32_t workingBits_ = 24;
    bool asStored_ = false; // 8-bit black-to-white images: working rows are the stored rows
    PxReduction* reduction_ = nullptr;
    PxRgbQuad palette_[256] = {};
    std::vector<uint8_t> stored_;
    Progress progress_;
};

// Reads the palette of a bitmap of 8 bits or less through its current handle into 256 entries
// (unused ones zero); false when the handle is missing or gives fewer than the colour count.
bool ReadWholePalette(const PxBitmap& bitmap, PxRgbQuad* entries);

} // namespace pximg
