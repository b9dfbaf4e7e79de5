#include "converter/import2d/CdbFont.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbSpriteTexture.h"
#include "converter/import3d/RecordOut.h"

#include <algorithm>
#include <cstdio>

CdbFont::CdbFont(const char* label, CDatabase* database) : CdbSprite(label, database)
{
    for (long& entry : ASCII2Frame)
        entry = NoFrame;
}

// A column of one colour throughout that is not the cell colour: a marker.
bool CdbFont::IsMarkerColumn(const CzBitmap& image, int x) const
{
    const CPixel first = image.At(x, 0);
    if (first == BoundColour)
        return false;
    for (int y = 1; y < image.GetHeight(); ++y)
        if (image.At(x, y) != first)
            return false;
    return true;
}

bool CdbFont::IsCellColumn(const CzBitmap& image, int x) const
{
    for (int y = 0; y < image.GetHeight(); ++y)
        if (image.At(x, y) != BoundColour)
            return false;
    return true;
}

void CdbFont::CropRows(CzBitmap& image)
{
    int top = image.GetHeight(), bottom = -1;
    for (int x = 0; x < image.GetWidth(); ++x) {
        if (IsMarkerColumn(image, x))
            continue;
        for (int y = 0; y < image.GetHeight(); ++y)
            if (image.At(x, y) != BoundColour) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    if (bottom < top)
        Fatal("Font %s: the strip holds no characters", GetLabel());
    image.Crop(0, top, image.GetWidth(), bottom + 1);
    Height = image.GetHeight();
}

void CdbFont::SplitCharacters(CzBitmap& image)
{
    long code = ASCIIStart;
    const int width = image.GetWidth();
    int start = -1;
    for (int x = 0; x <= width; ++x) {
        const bool cell = x == width || IsCellColumn(image, x);
        if (!cell) {
            if (start < 0)
                start = x;
            continue;
        }
        if (start < 0)
            continue;
        const int runWidth = x - start;
        const bool marker = runWidth == 1 && IsMarkerColumn(image, start);
        // The table has 256 entries of one byte, 255 meaning none: codes and frames beyond
        // it would be lost or taken for something else.
        if (code < 0 || code > 255)
            Fatal("Font %s: character code %ld is outside 0 to 255 (ASCIIStart %ld)", GetLabel(), code, ASCIIStart);
        if (!marker) {
            const long frame = static_cast<long>(Pieces.size());
            if (frame >= NoFrame)
                Fatal("Font %s: more than %d characters", GetLabel(), NoFrame);
            CzBitmap character;
            image.CopyRegion(character, start, 0, runWidth, image.GetHeight());
            if (CdbSpriteTexture::Diagnostics) {
                char name[64];
                snprintf(name, sizeof name, "Character_%03ld.tga", code);
                VerbosePrintf(2, "Saving diagnostic file:%s \n", name);
                character.Save(name);
            }
            AddPiece(character, 0, 0, false);
            ASCII2Frame[code] = frame;
        }
        ++code;
        start = -1;
    }
}

void CdbFont::Load(const char* fileName)
{
    CurrentFile = fileName;
    Specifier = GetDatabase()->CurrentFormat;
    CzBitmap image;
    image.Load(fileName);
    PullControlPoints(image, false);
    CropRows(image);
    ControlPoints.assign(1, ControlPoint{0, 0});
    if (CdbSpriteTexture::Diagnostics) {
        VerbosePrintf(2, "Saving diagnostic file:%s\n", "After_Font_Pull.tga");
        image.Save("After_Font_Pull.tga");
    }
    SplitCharacters(image);
}

void CdbFont::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\nCZelFont::Dump() : %s\n", GetLabel());
    RecordOut record = WriteSpriteBatch(writer, "CzFont");
    record.Signed("SpaceSize", SpaceSize);
    record.Signed("Kerning", Kerning);
    record.Signed("Height", Height);
    record.Signed("Leading", Leading + Height);
    unsigned char table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned char>(ASCII2Frame[i]);
    record.Bytes("ASCII2Frame", table, sizeof table);
}
