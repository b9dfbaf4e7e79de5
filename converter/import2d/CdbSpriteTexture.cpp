#include "converter/import2d/CdbSpriteTexture.h"

#include "converter/core/ConsoleOutput.h"

#include <cstdio>
#include <string>

namespace {
const int MaxFrameSide = CdbSpriteTexture::PageSide - 2;
const CPixel Taken(255, 255, 255, 255);
} // namespace

bool CdbSpriteTexture::Diagnostics = false;
int CdbSpriteTexture::DiagnosticNumber = 0;

CdbSpriteTexture::CdbSpriteTexture(const char* label, CDatabase* database) : CdbTexture(label, database) {}

CdbSpriteTexture::~CdbSpriteTexture() = default;

// A candidate window that meets a taken pixel is skipped past that pixel's column: no window
// starting at or left of it in this row can be free.
bool CdbSpriteTexture::FindPlace(int width, int height, int& x, int& y) const
{
    const int windowWidth = width + 2, windowHeight = height + 2;
    for (y = 0; y <= MaxFrameSide - height; ++y) {
        for (x = 0; x <= MaxFrameSide - width;) {
            int blocked = -1;
            for (int row = y; row < y + windowHeight && blocked < 0; ++row)
                for (int column = x + windowWidth - 1; column >= x; --column)
                    if (m_Allocation.At(column, row) != CPixel::Zero) {
                        blocked = column;
                        break;
                    }
            if (blocked < 0)
                return true;
            x = blocked + 1;
        }
    }
    return false;
}

bool CdbSpriteTexture::AddImage(CzBitmap& frame, float coordinates[4], const CFormatSpecifier& specifier)
{
    const int width = frame.GetWidth(), height = frame.GetHeight();
    if (width > MaxFrameSide)
        Fatal("Sprite Texture %s is too wide.", GetLabel());
    if (height > MaxFrameSide)
        Fatal("Sprite Texture %s is too tall.", GetLabel());
    if (width < 1 || height < 1)
        Fatal("Sprite Texture %s: a frame without pixels.", GetLabel());
    if (m_Bitmap.HasPixels()) {
        if (!m_Specifier.Equals(specifier))
            return false;
    } else {
        m_Bitmap.Allocate(PageSide, PageSide);
        m_Allocation.Allocate(PageSide, PageSide);
        m_Specifier = specifier;
        m_FreeCount = PageSide * PageSide;
    }
    if ((height + 2) * (width + 2) > m_FreeCount)
        return false;
    int x = 0, y = 0;
    if (!FindPlace(width, height, x, y))
        return false;
    const RECT window = {x, y, x + width + 2, y + height + 2};
    m_Allocation.FillRect(Taken, &window);
    coordinates[0] = float(x + 1) / m_Bitmap.GetWidth();
    coordinates[1] = float(y + 1) / m_Bitmap.GetHeight();
    coordinates[2] = float(x + 1 + width) / m_Bitmap.GetWidth();
    coordinates[3] = float(y + 1 + height) / m_Bitmap.GetHeight();
    m_Bitmap.Paste(frame, x, y, 1);
    m_FreeCount -= width * height;
    if (Diagnostics) {
        char name[512];
        snprintf(name, sizeof name, "%s_Image_%03d.TGA", GetLabel(), DiagnosticNumber);
        VerbosePrintf(3, "\nWriting diagnostic file: %s\n", name);
        m_Bitmap.Save(name);
        snprintf(name, sizeof name, "%s_Allocation_%03d.TGA", GetLabel(), DiagnosticNumber);
        VerbosePrintf(3, "Writing diagnostic file: %s\n", name);
        m_Allocation.Save(name);
        ++DiagnosticNumber;
    }
    return true;
}

void CdbSpriteTexture::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "  CdbSpriteTexture::Dump() - %s\n", GetLabel());
    if (Diagnostics && m_Bitmap.HasPixels()) {
        const std::string name = std::string(GetLabel()) + ".TGA";
        m_Bitmap.Save(name.c_str());
        VerbosePrintf(3, "\nWriting diagnostic file for sprite: %s\n\n", name.c_str());
    }
    CdbTexture::Dump(writer);
}
