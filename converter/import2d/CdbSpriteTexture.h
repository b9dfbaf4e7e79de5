#pragma once
// A 256 x 256 texture page onto which many small frames (sprite frames, glyphs, logo parts) are
// packed first-fit, each inside a one-pixel border that repeats its edge pixels. The page is
// then written like any other texture.
#include "converter/import2d/CdbTexture.h"

class CdbSpriteTexture : public CdbTexture {
public:
    static const int PageSide = 256;

    CdbSpriteTexture(const char* label, CDatabase* database);
    ~CdbSpriteTexture() override;

    // Places the frame; false when it does not belong on or fit this page. coordinates gets
    // left u, top v, right u, bottom v of the frame's own pixels.
    bool AddImage(CzBitmap& frame, float coordinates[4], const CFormatSpecifier& specifier);

    void Dump(CZelWriter& writer) override;

    int GetFreeCount() const { return m_FreeCount; }
    const CzBitmap& GetAllocation() const { return m_Allocation; }

    // Diagnostic images of every placement and of the finished page ("Diagnostic sprites").
    static bool Diagnostics;
    static int DiagnosticNumber;

private:
    // The first free window of the size, by rows from the top, then columns from the left.
    bool FindPlace(int width, int height, int& x, int& y) const;

    CzBitmap m_Allocation;
    int m_FreeCount = 0;
};
