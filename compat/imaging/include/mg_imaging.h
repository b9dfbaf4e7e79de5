#pragma once
// The imaging toolkit's kernel and file services: bitmap records with their own row storage,
// and image files read and written through stb_image / stb_image_write. The converter's bitmap
// class and the image-processing library work on these records; neither sees a file format.
#include <cstddef>
#include <cstdint>

// Results: 1 and above is success; 0 and below is a failure code the callers' error tables know.
enum : int {
    PX_OK = 1,
    PX_ERR_MEMORY = -1,
    PX_ERR_BITMAP = -2,
    PX_ERR_WRITE = -5,
    PX_ERR_READ = -7,
    PX_ERR_FILENAME = -8,
    PX_ERR_FORMAT = -9,
    PX_ERR_NOT_FOUND = -10,
    PX_ERR_SIZE = -11,
    PX_ERR_PARAMETER = -13,
    PX_ERR_OPEN = -14,
    PX_ERR_NOT_AVAILABLE = -16,
    PX_ERR_BITS = -27,
};

// Record flags.
enum : uint32_t {
    PX_FLAG_IMAGE = 0x0001,            // the record holds an image (owns its storage)
    PX_FLAG_GREY_WORKING = 0x0100,     // a grey working record
    PX_FLAG_SECOND_PALETTE = 0x0400,   // palette handle 1 is the current one
    PX_FLAG_PALETTE_DETACHED = 0x4000, // palette changes are not copied into the record's table
};

// Stored row order: top-down, or bottom-up (image row y stored as row height - 1 - y).
enum : int32_t { PX_VIEW_TOP_DOWN = 0, PX_VIEW_BOTTOM_UP = 2 };

// Byte order of 24- and 32-bit pixels: red first, or blue first. In 16-bit pixels the 5-bit
// fields at bits 10-14, 5-9 and 0-4 are blue, green, red with order 0 and red, green, blue with 1.
enum : int32_t { PX_ORDER_RGB = 0, PX_ORDER_BGR = 1 };

// Image file formats for saving.
enum : int { PX_FILE_BMP = 1, PX_FILE_PNG = 2, PX_FILE_TGA = 4 };

// A bitmap record. Zero-filled is a valid empty record.
struct PxBitmap {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel; // 1, 4, 8, 16, 24 or 32
    uint32_t rowBytes;    // bytes per stored row, a multiple of 4
    uint32_t flags;
    uint32_t paletteColours;
    uint8_t palette[256][4]; // blue, green, red, reserved
    void* paletteHandles[2];
    int32_t viewPerspective;
    int32_t colourOrder;
    int32_t mirrored;  // 1 when stored columns run right to left
    int32_t rowAccess; // open row-access brackets
    uint8_t* storage;
};

// Width, height and stored depth of an image file, as the file itself gives them (a palette
// PNG of 4 bits reports 4, a 16-bit grey PNG 16).
struct PxFileInfo {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t channels; // colour channels stored, alpha included
};

// Memory blocks for records and working buffers; null when out of memory.
void* PxAlloc(size_t size, int zeroFill);
void PxFree(void* block);

// Bytes of one stored row: width x bits rounded up to whole 32-bit words.
uint32_t PxRowBytes(int32_t width, int32_t bitsPerPixel);
// Bytes of a row buffer that holds a row at its stored depth or at the working depth.
uint32_t PxRowBufferBytes(int32_t bitsPerPixel, int32_t width, int32_t workingBits);

// Describes a record for the size and depth, without storage (any storage it held is freed).
int PxInitRecord(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel);
// Gives a described record zeroed storage (zeroFill 0 leaves it unspecified).
int PxAllocStorage(PxBitmap* bitmap, int zeroFill);
// Describes and allocates in one step, with the colour order and view perspective given.
// A depth of 0 gives one byte per pixel.
int PxCreateBitmap(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t colourOrder,
                   int32_t viewPerspective);
// Frees the storage; the record keeps its description.
void PxFreeStorage(PxBitmap* bitmap);

// Row access is bracketed by open and close; rows are numbered as the image shows them.
int PxOpenRows(PxBitmap* bitmap);
void PxCloseRows(PxBitmap* bitmap);
int PxGetRow(const PxBitmap* bitmap, void* buffer, int32_t row, uint32_t bytes);
int PxPutRow(PxBitmap* bitmap, const void* buffer, int32_t row, uint32_t bytes);
// Pointer to a stored row (rows as the image shows them), or null outside the image.
uint8_t* PxRowPointer(const PxBitmap* bitmap, int32_t row);

// The orientation corrections: rows to top-down storage, columns to left-to-right.
int PxNormaliseRows(PxBitmap* bitmap);
int PxNormaliseColumns(PxBitmap* bitmap);

// File services. Info fills the stored size and depth; Load reads the image into a new record
// at 24 or 32 bits per pixel in the colour order given, rows top-down, alpha 255 where the file
// has none; Save writes a 24- or 32-bit record as a BMP, PNG or TGA file.
int PxGetFileInfo(const char* fileName, PxFileInfo* info);
int PxLoadFile(const char* fileName, PxBitmap* bitmap, int32_t bitsPerPixel, int32_t colourOrder);
int PxSaveFile(const char* fileName, const PxBitmap* bitmap, int fileFormat);
