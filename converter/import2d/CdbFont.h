#pragma once
// A font cut from one strip image: characters left to right, separated by columns of the cell
// colour, each a frame of the sprite; a one-column mark of one other colour skips a code.
#include "converter/import2d/CdbSprite.h"

class CdbFont : public CdbSprite {
public:
    static const int NoFrame = 255;

    CdbFont(const char* label, CDatabase* database);

    void Load(const char* fileName);
    void Dump(CZelWriter& writer) override;

    long ASCIIStart = 0;
    long SpaceSize = 0;
    long Kerning = 0;
    long Height = 0;
    long Leading = 0;
    long ASCII2Frame[256];

private:
    void CropRows(CzBitmap& image);
    void SplitCharacters(CzBitmap& image);
    bool IsMarkerColumn(const CzBitmap& image, int x) const;
    bool IsCellColumn(const CzBitmap& image, int x) const;
};
