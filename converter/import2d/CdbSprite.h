#pragma once
// A sprite: frame images whose hot spot, attach points and extent are painted into them as
// control marks, cut into pieces of at most 254 pixels a side, packed onto shared texture pages
// and written as a CSprite with its frames and texture list. Logos and fonts are sprites too.
#include "converter/core/CdbElement.h"
#include "converter/import2d/CPixelFormat.h"
#include "converter/import2d/CzBitmap.h"

#include <string>
#include <vector>

class CdbSimpleAnimation;
class RecordOut;

struct ControlPoint {
    long x = -1, y = -1;
};

// One piece of a frame on its page: edges in pixels round the hot spot, texture coordinates of
// the piece's own pixels on the page.
struct SpriteFramePiece {
    std::string Page;
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    float uL = 0, vT = 0, uR = 0, vB = 0;
    long TextureIndex = 0;
    unsigned char RenderNext = 0;
};

class CdbSprite : public CdbElement {
public:
    // The largest piece a page takes: 256 less its one-pixel border on each side.
    static constexpr int MaxPieceSide = 254;

    CdbSprite(const char* label, CDatabase* database);

    void AddFrame(const char* fileName, int frameNumber, float startTime, float duration);
    void CreateAnimation(bool loop);
    void Dump(CZelWriter& writer) override;

    // Reads the control marks out of the image (strict: any unknown colour outside the bound
    // box is an error; lenient: ignored), leaving it cropped to the frame's own pixels.
    void PullControlPoints(CzBitmap& image, bool strict);
    // Places a piece on the first page that takes it and records its frame entry.
    void AddPiece(CzBitmap& piece, int offsetX, int offsetY, bool renderNext);

    CFormatSpecifier Specifier;
    CPixel BoundColour;
    std::vector<ControlPoint> ControlPoints;
    std::vector<SpriteFramePiece> Pieces;
    float XScale = 1.0f, YScale = 1.0f;
    CdbSimpleAnimation* Animation = nullptr;
    // Where the statement stands and the frame file being read, for messages about its frames.
    std::string Place;
    std::string CurrentFile;

    // The first number of every page label, and the pages made so far by this converter run.
    static unsigned long PageWord;
    static unsigned long PageCount;

protected:
    // Frames, texture list and the batch's fields of the record begun at the label.
    RecordOut WriteSpriteBatch(CZelWriter& writer, const char* typeName);
    // Stops the conversion with the statement's place and the frame file in the message.
    [[noreturn]] void Fatal(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    void WriteFrames(CZelWriter& writer);
    void WritePS2Frames(CZelWriter& writer);
    // Left, Right, Top and Bottom in sixteenths of a pixel, scaled.
    void WriteEdges(RecordOut& frame, const SpriteFramePiece& piece) const;
};

// A single-frame sprite shown as a splash or title screen: a CLogo.
class CdbLogo : public CdbSprite {
public:
    using CdbSprite::CdbSprite;
    void Dump(CZelWriter& writer) override;
};
