#pragma once
// Exports of the image-processing library. Every operation works in place on a bitmap record
// (see PxBitmap.h) and returns 1 on success, -1 out of memory, -2 invalid bitmap, -13 invalid
// argument, or the result of the progress callback (PxKernel.h) that stopped it.
#include "PxBitmap.h"

// Tone adjustments and histograms. Channels: 0 all (histograms: intensity), 1 red, 2 green, 3 blue.
PX_EXPORT int32_t P_RemapBitmapIntensity(PxBitmap* bitmap, const uint8_t* table, uint32_t channel);
PX_EXPORT int32_t P_ChangeBitmapIntensity(PxBitmap* bitmap, int32_t change);
PX_EXPORT int32_t P_ChangeBitmapContrast(PxBitmap* bitmap, int32_t change);
PX_EXPORT int32_t P_PosterizeBitmap(PxBitmap* bitmap, uint32_t levels);
PX_EXPORT int32_t P_InvertBitmap(PxBitmap* bitmap);
PX_EXPORT int32_t P_IntensityDetectBitmap(PxBitmap* bitmap, uint32_t low, uint32_t high);
PX_EXPORT int32_t P_GammaCorrectBitmap(PxBitmap* bitmap, uint32_t gamma);
PX_EXPORT int32_t P_HistoEqualizeBitmap(PxBitmap* bitmap);
PX_EXPORT int32_t P_StretchBitmapIntensity(PxBitmap* bitmap);
PX_EXPORT int32_t P_HistoContrastBitmap(PxBitmap* bitmap, int32_t change);
PX_EXPORT int32_t P_GetBitmapHistogram(PxBitmap* bitmap, uint32_t* counts, uint32_t channel);

// Convolution. A kernel record is divisor, bias, dimension N, then N x N coefficients row by
// row; a kernel argument below 0x10000 names one of the 33 built-in 3 x 3 kernels instead.
struct PxSpatialKernel {
    int32_t Divisor;
    int32_t Bias;
    int32_t Dimension;
    int32_t Matrix[1]; // Dimension x Dimension coefficients follow
};
PX_EXPORT int32_t P_SpatialFilterBitmap(PxBitmap* bitmap, const PxSpatialKernel* kernel);
PX_EXPORT int32_t P_SharpenBitmap(PxBitmap* bitmap, int32_t amount);
PX_EXPORT int32_t P_EmbossBitmap(PxBitmap* bitmap, uint32_t direction, uint32_t depth);
PX_EXPORT int32_t P_AverageFilterBitmap(PxBitmap* bitmap, uint32_t size);

// Rank filters. A structuring element is kind (non-zero maximum, 0 minimum), dimension N, then
// N x N elements: 256 leaves the position out, other values are added to the neighbour. An
// argument below 0x10000 names one of the 8 built-in 3 x 3 elements.
struct PxBinaryElement {
    int32_t Kind;
    int32_t Dimension;
    int32_t Matrix[1]; // Dimension x Dimension elements follow
};
PX_EXPORT int32_t P_MedianFilterBitmap(PxBitmap* bitmap, uint32_t size);
PX_EXPORT int32_t P_BinaryFilterBitmap(PxBitmap* bitmap, const PxBinaryElement* element);
PX_EXPORT int32_t P_DespeckleBitmap(PxBitmap* bitmap);

// Hue, saturation and colour planes. Spaces: 0 RGB (3 planes), 1 CMYK (4), 2 HSV, 3 HLS, 4 YCbCr.
PX_EXPORT int32_t P_ChangeBitmapHue(PxBitmap* bitmap, int32_t angle);
PX_EXPORT int32_t P_ChangeBitmapSaturation(PxBitmap* bitmap, int32_t change);
PX_EXPORT int32_t P_ColorSeparateBitmap(PxBitmap* bitmap, PxBitmap** planes, uint32_t space);
PX_EXPORT int32_t P_ColorMergeBitmap(PxBitmap* bitmap, PxBitmap** planes, uint32_t space);

// Deskew, noise and mosaic.
PX_EXPORT int32_t P_DeskewBitmap(PxBitmap* bitmap);
PX_EXPORT int32_t P_AddBitmapNoise(PxBitmap* bitmap, uint32_t level, uint32_t channel);
PX_EXPORT int32_t P_MosaicBitmap(PxBitmap* bitmap, uint32_t size);
