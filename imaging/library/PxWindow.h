#pragma once
// Walks the working rows of a bitmap with a square window: each output row is computed from the
// input rows as they were read (a ring of window rows, each padded with replicated edge pixels)
// and written only after every input row it needs has been read.
#include "PxRowPipeline.h"

#include <algorithm>
#include <new>
#include <vector>

namespace pximg {

// Largest window accepted: N x N stays within 32 bits and buffers stay sane.
constexpr uint32_t kMaxWindow = 0xFFFF;

struct WindowRows {
    const uint8_t* const* rows; // N rows, top first, each pointing at pixel 0 (padding lies on both sides)
    uint8_t* out;               // the output working row
    size_t bytes;               // width x bytes per pixel
    int32_t pixelBytes;         // 1 or 3: neighbours of a byte lie this far apart
    int32_t size;               // N
    int32_t y;                  // the output row in walking order
};

// Walks storage rows when `storageOrder` is set, image rows otherwise. `compute(const WindowRows&)`
// fills the output row. Returns 1, -1, or a callback result.
template <typename Compute> int32_t RunWindow(RowPipeline& pipeline, int32_t size, bool storageOrder, Compute compute)
{
    const int32_t height = pipeline.Height(), pb = pipeline.PixelBytes();
    const int32_t above = (size - 1) / 2, below = size / 2, pad = below;
    const int32_t ringRows = std::min(size, height);
    const size_t bytes = pipeline.WorkingRowBytes(), stride = bytes + size_t(2 * pad) * pb;
    std::vector<uint8_t> ring, out;
    std::vector<const uint8_t*> rows;
    try {
        ring.resize(stride * ringRows);
        out.resize(bytes);
        rows.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    auto walkRow = [&](int32_t i) { return storageOrder ? i : pipeline.StorageRow(i); };
    auto slot = [&](int32_t i) { return ring.data() + size_t(i % ringRows) * stride; };
    int32_t result = pipeline.BeginProgress(0, 100, uint32_t(height));
    int32_t next = 0;
    for (int32_t y = 0; y < height && result == PX_SUCCESS; ++y) {
        for (; next <= std::min(y + below, height - 1); ++next) {
            uint8_t* row = slot(next);
            uint8_t* pixels = row + size_t(pad) * pb;
            if ((result = pipeline.ReadRow(pixels, walkRow(next))) != PX_SUCCESS)
                return result;
            for (int32_t p = 0; p < pad; ++p) {
                std::copy(pixels, pixels + pb, row + size_t(p) * pb);
                std::copy(pixels + bytes - pb, pixels + bytes, pixels + bytes + size_t(p) * pb);
            }
        }
        for (int32_t k = 0; k < size; ++k)
            rows[size_t(k)] = slot(std::clamp(y - above + k, 0, height - 1)) + size_t(pad) * pb;
        compute(WindowRows{rows.data(), out.data(), bytes, pb, size, y});
        result = pipeline.WriteRow(out.data(), walkRow(y));
    }
    return result;
}

} // namespace pximg
