#pragma once
// The converter's in-memory image: rows of CPixels top to bottom, plus a palette and an index
// image once an indexed pixel format has been asked for. Files come and go through the imaging
// layer; cropping, pasting, conversion, palettes, colour correction and resampling are its own.
#include "converter/import2d/CPixelFormat.h"

#include <windows.h>

#include <vector>

class CZRiffFile;

class CzBitmap {
public:
    CzBitmap() = default;
    virtual ~CzBitmap();
    CzBitmap(const CzBitmap&) = delete;
    CzBitmap& operator=(const CzBitmap& source);

    // While non-zero, every reported failure stops the program. Saved with each bitmap.
    static long ErrorSwitch;

    void Reset();
    // 0 on success, 1 after a failure that did not stop the program.
    virtual int Load(const char* fileName);
    virtual int Load(CZRiffFile& file);
    virtual int Save(CZRiffFile& file);
    int Save(const char* fileName);
    void Diagnostic() const;

    CPixel* GetBitmap();
    void ReleaseBitmap();

    void Crop(int left, int top, int right, int bottom);
    int CopyRegion(CzBitmap& destination, int x, int y, int width, int height);
    int Paste(CzBitmap& source, int x, int y, int border);
    int FillRect(const CPixel& pixel, const RECT* rect = nullptr);

    RECT SetupGetRectangle(const RECT* rect, int bitsPerPixel);
    const CPixel* GetRectangle32(const RECT* rect = nullptr);
    const unsigned char* ConvertToFormat(const RECT* rect, CPixelFormat& format);
    const unsigned char* ConvertPalette(const CPixelFormat& format, const CPixelFormat& entryFormat);
    int CreatePalette(const CPixelFormat& format);
    CPixel AverageColour(bool opaqueOnly) const;

    void ColourCorrect(const CPixelFormat& format);
    void Resample(int newWidth, int newHeight, int colourFilter, int alphaFilter);

    int CheckResult(const char* context, int code);
    // The text of an error code, as CheckResult reports it.
    static const char* ErrorMessage(int code);

    int GetWidth() const { return m_Width; }
    int GetHeight() const { return m_Height; }
    int GetResult() const { return m_Result; }
    bool HasPixels() const { return !m_Pixels.empty(); }
    bool HasPalette() const { return !m_Palette.empty(); }
    bool IsLocked() const { return m_Locked != 0; }
    const CPixel* Pixels() const { return m_Pixels.data(); }
    const CPixel* Palette() const { return m_Palette.data(); }
    const CPixel* IndexImage() const { return m_IndexImage.data(); }
    const CPixelFormat& Format() const { return m_Format; }
    CPixel& At(int x, int y) { return m_Pixels[size_t(y) * m_Width + x]; }
    const CPixel& At(int x, int y) const { return m_Pixels[size_t(y) * m_Width + x]; }

    // A zeroed image of the size; false when the size is refused.
    bool Allocate(int width, int height);

private:
    int m_Result = 1;
    std::vector<CPixel> m_Pixels;
    std::vector<CPixel> m_IndexImage;
    CPixelFormat m_Format;
    std::vector<CPixel> m_Palette;
    int m_Height = 0;
    int m_Width = 0;
    int m_Locked = 0;
    std::vector<unsigned char> m_Output;
    std::vector<unsigned char> m_PaletteOutput;
};
