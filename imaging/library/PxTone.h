#pragma once
// The shared remap and histogram the tone operations and deskew are built on.
#include "PxBitmap.h"

namespace pximg {

int32_t Remap(PxBitmap* bitmap, const uint8_t* table, uint32_t channel, int32_t firstPercent, int32_t lastPercent);
int32_t Histogram(PxBitmap* bitmap, uint32_t* counts, uint32_t channel, int32_t firstPercent, int32_t lastPercent);

} // namespace pximg
