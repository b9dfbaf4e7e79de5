#pragma once
// Conversions between the surface formats the device supports and 32-bit ARGB.
#include <cstdint>

#include <d3d9.h>

namespace d3d9sw {

// Bytes per pixel of a colour format, or 0 for formats that hold no colour pixels.
unsigned ColourBytes(D3DFORMAT format);
bool IsColourFormat(D3DFORMAT format);
bool IsDepthFormat(D3DFORMAT format);
bool HasStencil(D3DFORMAT format);

// One pixel of the format to ARGB (formats without alpha give alpha 255), and back.
uint32_t DecodePixel(D3DFORMAT format, const uint8_t* pixel);
void EncodePixel(D3DFORMAT format, uint32_t argb, uint8_t* pixel);

// A whole row, for texture uploads and front-buffer reads.
void DecodeRow(D3DFORMAT format, const uint8_t* source, uint32_t* argb, unsigned count);

} // namespace d3d9sw
