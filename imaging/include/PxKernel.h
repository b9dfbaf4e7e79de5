#pragma once
// Kernel services of the imaging toolkit: memory, bitmap storage, row access, palettes,
// palette reduction, row and colour-space conversion, rotation and the progress callback.
// Every call that takes a record checks it against the storage it owns.
#include "PxBitmap.h"

#include <cstddef>

// Memory.
PX_EXPORT void* PxAllocBlock(size_t size, int zeroFill);
PX_EXPORT void PxFreeBlock(void* block);

// Records and storage.
PX_EXPORT int32_t PxInitBitmap(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel);
PX_EXPORT int32_t PxAllocateBitmap(PxBitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t order,
                                   int32_t viewPerspective);
PX_EXPORT void PxFreeBitmap(PxBitmap* bitmap);
// 1 when the record is an image whose fields agree with its storage.
PX_EXPORT int32_t PxIsValidBitmap(const PxBitmap* bitmap);

// Row access: rows are storage rows; the caller maps image rows through the view perspective.
PX_EXPORT int32_t PxAccessBitmap(PxBitmap* bitmap);
PX_EXPORT void PxReleaseBitmap(PxBitmap* bitmap, int32_t token);
PX_EXPORT int32_t PxGetBitmapRow(const PxBitmap* bitmap, void* buffer, int32_t row, uint32_t bytes);
PX_EXPORT int32_t PxPutBitmapRow(PxBitmap* bitmap, const void* buffer, int32_t row, uint32_t bytes);
PX_EXPORT uint32_t PxRowBufferSize(int32_t bitsPerPixel, int32_t width, int32_t workingBits);

// Palettes. Handles are freed with PxDeletePalette.
PX_EXPORT PxPalette* PxCreatePalette(uint32_t count, const PxRgbQuad* entries);
PX_EXPORT PxPalette* PxCreateGreyPalette(int32_t bitsPerPixel);
PX_EXPORT void PxDeletePalette(PxPalette* palette);
PX_EXPORT int32_t PxGetPaletteEntries(const PxPalette* palette, uint32_t first, uint32_t count, PxRgbQuad* entries);
PX_EXPORT int32_t PxSetPaletteEntries(uint32_t count, PxPalette* palette, uint32_t first, const PxRgbQuad* entries);
PX_EXPORT int32_t PxGetBitmapColors(uint32_t count, const PxBitmap* bitmap, uint32_t first, PxRgbQuad* entries);
// Sets the record's palette table and its current handle together.
PX_EXPORT int32_t PxSetBitmapPalette(PxBitmap* bitmap, uint32_t count, const PxRgbQuad* entries);
PX_EXPORT PxPalette* PxCurrentPalette(const PxBitmap* bitmap);

// Grey test: 1 black-to-white ramp, 2 white-to-black ramp, 0 anything else.
PX_EXPORT int32_t PxIsGreyScale(const PxBitmap* bitmap);

// Reducing working rows (8-bit grey or 24-bit blue-green-red) back to a palette's indices.
struct PxReduction;
PX_EXPORT int32_t PxPrepareReduction(const PxBitmap* source, int32_t workingBits, PxReduction** reduction);
PX_EXPORT void PxReduceRow(PxReduction* reduction, const uint8_t* working, uint8_t* packed, int32_t width);
PX_EXPORT void PxReleaseReduction(PxReduction* reduction);

// Converts a row between a stored depth and order and a working depth (8 grey or 24 blue-green-red).
// Palette sources take the colours of `palette`.
PX_EXPORT void PxConvertRowToWorking(const uint8_t* stored, uint8_t* working, int32_t width, int32_t bitsPerPixel,
                                     int32_t order, const PxRgbQuad* palette, int32_t workingBits);
// Back from 24-bit blue-green-red to 16, 24 or 32 bits; 32-bit rows keep the fourth byte already in `stored`.
PX_EXPORT void PxConvertRowFromWorking(const uint8_t* working, uint8_t* stored, int32_t width, int32_t bitsPerPixel,
                                       int32_t order, int32_t workingBits);

// Colour spaces of 24- or 32-bit pixels: 0 RGB (red, green, blue bytes), 2 CMYK (4 bytes),
// 3 HSV, 4 HLS, 6 YCbCr (full-range BT.601).
enum : int32_t { PX_SPACE_RGB = 0, PX_SPACE_CMYK = 2, PX_SPACE_HSV = 3, PX_SPACE_HLS = 4, PX_SPACE_YCC = 6 };
PX_EXPORT int32_t PxColorSpaceChannels(int32_t space);
PX_EXPORT int32_t PxConvertColorSpace(int32_t width, const uint8_t* source, uint8_t* destination, int32_t fromSpace,
                                      int32_t toSpace);

PX_EXPORT const uint8_t* PxBitCountTable(void);

// Progress: percent in 0..100; any result other than 1 stops the running operation.
typedef int32_t (*PxProgressCallback)(int32_t percent, void* user);
PX_EXPORT void PxSetProgressCallback(PxProgressCallback callback, void* user);
PX_EXPORT PxProgressCallback PxGetProgressCallback(void** user);

// Rotates about the centre by hundredths of a degree (positive turns clockwise as the image is seen,
// top row first),
// keeping the size; uncovered pixels take `fill` (0x00RRGGBB, the nearest entry for palette images).
PX_EXPORT int32_t PxRotateBitmap(PxBitmap* bitmap, int32_t angle, uint32_t flags, uint32_t fill, int32_t firstPercent,
                                 int32_t lastPercent);
