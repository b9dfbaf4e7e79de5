#pragma once
// Median-cut colour reduction over red, green, blue and alpha, and the mapping of every pixel
// to its nearest palette entry.
#include "converter/import2d/CPixelFormat.h"

// Reduces height x width pixels to at most entries colours. indices receives one byte per pixel,
// palette entries CPixels (zeroed, then filled from entry 0). With transparent set, pixels whose
// alpha is below 128 take index 0, which holds the reserved colour when there are such pixels,
// and opaque pixels are matched only against opaque entries.
void Palettize(unsigned char* indices, CPixel* palette, const CPixel* pixels, int height, int width, int entries,
               bool transparent, const CPixel* reserved);
