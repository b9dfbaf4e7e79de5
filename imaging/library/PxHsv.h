#pragma once
// Integer conversion between RGB and hue-saturation-value bytes; hue in 256ths of a turn.
#include <cstdint>

namespace pximg {

void RgbToHsvBytes(uint8_t red, uint8_t green, uint8_t blue, uint8_t* hsv);
void HsvToRgbBytes(const uint8_t* hsv, uint8_t* red, uint8_t* green, uint8_t* blue);

} // namespace pximg
