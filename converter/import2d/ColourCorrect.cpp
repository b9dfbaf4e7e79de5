// Gamma and HSV correction of a bitmap, and the palette position maps.
#include "converter/import2d/ColourCorrect.h"
#include "converter/import2d/CzBitmap.h"
#include "converter/import2d/PaletteMaps.h"

#include <algorithm>
#include <cmath>

namespace {
// Truncating products of 1/255 back to bytes loses one where the float lands just below the
// whole number it stands for; this margin keeps exact values exact.
const double TruncationMargin = 1e-6;

unsigned char ToByte(double channel)
{
    if (channel < 0)
        return 0;
    return static_cast<unsigned char>(std::min(255.0, channel * 255.0 + TruncationMargin));
}

void RGBtoHSV(double r, double g, double b, double& h, double& s, double& v)
{
    const double max = std::max({r, g, b}), min = std::min({r, g, b});
    v = max;
    s = max == 0 ? 0 : (max - min) / max;
    if (s == 0) {
        h = -1;
        return;
    }
    const double delta = max - min;
    if (r == max)
        h = (g - b) / delta;
    else if (g == max)
        h = 2 + (b - r) / delta;
    else
        h = 4 + (r - g) / delta;
    h *= 60;
    if (h < 0)
        h += 360;
}
} // namespace

void HSVtoRGB(double hue, double saturation, double value, double& r, double& g, double& b)
{
    if (saturation == 0)
        saturation = 0.000001;
    if (hue == -1) {
        r = g = b = value;
        return;
    }
    const double h = hue == 360 ? 0 : hue / 60;
    const int sector = static_cast<int>(h);
    const double f = h - sector, v = value;
    const double p = v * (1 - saturation), q = v * (1 - saturation * f), t = v * (1 - saturation * (1 - f));
    switch (sector) {
    case 0:
        r = v, g = t, b = p;
        break;
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    case 5:
        r = v, g = p, b = q;
        break;
    default:
        break;
    }
}

void CzBitmap::ColourCorrect(const CPixelFormat& format)
{
    const bool hsv = format.HSVAdd[0] != 0.0f || format.HSVAdd[1] != 0.0f || format.HSVAdd[2] != 0.0f ||
                     format.HSVMultiply[0] != 1.0f || format.HSVMultiply[1] != 1.0f || format.HSVMultiply[2] != 1.0f;
    if (!hsv && format.Gamma == 1.0f)
        return;
    unsigned char table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = ToByte(std::pow(i * (1.0 / 255), 1.0 / format.Gamma));
    for (CPixel& pixel : m_Pixels) {
        pixel.R = table[pixel.R];
        pixel.G = table[pixel.G];
        pixel.B = table[pixel.B];
        if (!hsv)
            continue;
        double r = pixel.R * (1.0 / 255), g = pixel.G * (1.0 / 255), b = pixel.B * (1.0 / 255), h, s, v;
        RGBtoHSV(r, g, b, h, s, v);
        // A grey pixel has no hue to turn: shifting its undefined hue would tint it. A hue pushed
        // past a full turn wraps round instead of falling out of every sector.
        if (h != -1) {
            h = std::fmod(format.HSVMultiply[0] * h + format.HSVAdd[0], 360.0);
            if (h < 0)
                h += 360;
        }
        s = format.HSVMultiply[1] * s + format.HSVAdd[1];
        v = format.HSVMultiply[2] * v + format.HSVAdd[2];
        HSVtoRGB(h, s, v, r, g, b);
        pixel.R = ToByte(r);
        pixel.G = ToByte(g);
        pixel.B = ToByte(b);
    }
}

const unsigned long* PaletteMaps::Get(int slot)
{
    static const struct Maps {
        unsigned long map[3][256];
        Maps()
        {
            for (unsigned long i = 0; i < 256; ++i) {
                const unsigned long run = (i >> 3) & 3;
                const unsigned long swapped = run == 1 ? 2 : run == 2 ? 1 : run;
                map[0][i] = map[2][i] = i;
                map[1][i] = (i & ~0x18ul) | (swapped << 3);
            }
        }
    } maps;
    return maps.map[std::clamp(slot, 0, 2)];
}

const unsigned long* PaletteMaps::Identity16() { return PaletteMaps::Get(0); }
