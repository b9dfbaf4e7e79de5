#pragma once
// The toolkit's bitmap record and palette handle, shared by the kernel services and every
// P_*Bitmap* operation. Pixels live in storage the kernel owns; operations reach them only
// through the kernel's row calls, so a record that claims more than its storage holds is
// refused instead of read or written past its end.
#include <cstdint>

#define PX_EXPORT extern "C" __attribute__((visibility("default")))

// Results shared by the kernel and the library.
enum : int32_t {
    PX_SUCCESS = 1,
    PX_NO_MEMORY = -1,
    PX_INVALID_BITMAP = -2,
    PX_INVALID_ARG = -13,
};

// Record flags.
enum : uint32_t {
    PXF_HAS_IMAGE = 0x0001,
    PXF_GREY_WORKING = 0x0100,
    PXF_SECOND_PALETTE = 0x0400,
    PXF_KEEP_PALETTE_TABLE = 0x4000, // palette changes go to the handle only
};

// Row layouts.
enum : int32_t {
    PX_ORDER_RGB = 0,
    PX_ORDER_BGR = 1,
    PX_VIEW_TOP_DOWN = 1,
    PX_VIEW_BOTTOM_UP = 2, // image row y is stored as row height - 1 - y
};

struct PxRgbQuad {
    uint8_t Blue, Green, Red, Reserved;
};

// A palette handle: entries the record's pixels index, kept apart from the record's own table.
struct PxPalette {
    uint32_t Count;
    PxRgbQuad Entries[256];
};

struct PxBitmap {
    int32_t Width;
    int32_t Height;
    int32_t BitsPerPixel; // 1, 4, 8, 16, 24 or 32
    uint32_t BytesPerLine;
    uint32_t Flags;
    uint32_t ColorCount;
    PxRgbQuad Palette[256];
    PxPalette* PaletteHandles[2];
    int32_t ViewPerspective;
    int32_t Order;
    // Owned by the kernel.
    uint8_t* Data;
    uint32_t DataSize;
    int32_t AccessCount;
};

// Storage row of image row y under the record's view perspective.
inline int32_t PxStorageRow(const PxBitmap& bitmap, int32_t y)
{
    return bitmap.ViewPerspective == PX_VIEW_BOTTOM_UP ? bitmap.Height - 1 - y : y;
}
