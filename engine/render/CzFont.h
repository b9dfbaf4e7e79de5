#pragma once
// Fonts of packed data: a sprite sheet of glyphs, a table from character code to glyph frame
// and the metrics of the base font. A render showing a font keeps its text in a font
// workspace; the font lays the text out glyph by glyph with a few control codes for columns,
// lines and absolute positions, and draws it as a sprite list.
#include <vector>

#include "engine/render/CRendResource.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/SpriteQuads.h"

#pragma pack(push, 1)
class CBaseFont : public CRendResource {
public:
    CBaseFont() {}

    // In pixels; screen-scaled fonts (sprite flag 0x04) round their scaled metrics.
    virtual int GetCharWidth(char c) = 0;
    virtual int GetLineHeight() = 0;
    virtual int GetKerning() = 0;
    virtual int GetSpaceSize() = 0;

    unsigned long SpaceSize;
    long Kerning;
    unsigned long Height;
    unsigned long Leading; // the line height: the glyph height plus the leading
};

class CzFont : public CBaseFont {
public:
    CzFont() {}

    CRendWorkspace* OnAttach(CRender* render) override;
    void Render(CRender* render) override;
    SpriteBatch* GetSpriteData() override { return &SpriteData; }
    int GetCharWidth(char c) override;
    int GetLineHeight() override;
    int GetKerning() override;
    int GetSpaceSize() override;
    // Over every code: max the widest glyph, min the narrowest one that has a width; both
    // start at the space size.
    void GetCharWidthRange(int* min, int* max);

    // The records of a text laid out for a render, the last one marked; the count. Glyphs past
    // the list's room are left out.
    int Layout(CRender* render, const char* text, SpriteDrawRecord* records, int room);
    // The records of the render's text as Layout gives them, kept in its workspace and laid out
    // again only when the text or what the layout reads (position, offset, direction, scale,
    // colour) changed; the count, 0 without a text.
    int LaidOut(CRender* render, const SpriteDrawRecord*& records);

    SpriteBatch SpriteData;
    unsigned char ASCII2Frame[256];
};
#pragma pack(pop)
static_assert(sizeof(CBaseFont) == 20, "CBaseFont is a 20-byte record");
static_assert(sizeof(CzFont) == 292, "CzFont is the base font, a sprite batch and the frame table");

// The text a render instance shows with a font, and its glyphs as last laid out.
class CRendFontWorkspace : public CRendWorkspace {
public:
    enum { kTextRoom = 2048 };
    // Copies the text, cut to the room the buffer has; the same text again changes nothing.
    void AttachText(const char* text) override;
    const char* GetText() const { return Text; }

    // What a layout reads besides the text.
    struct GlyphKey {
        float x, y, scaleX, scaleY, turn;
        const CVector4* colour;
        bool operator==(const GlyphKey& o) const
        {
            return x == o.x && y == o.y && scaleX == o.scaleX && scaleY == o.scaleY && turn == o.turn &&
                   colour == o.colour;
        }
    };

    int Words[3] = {0, 0, 0};
    char Text[kTextRoom] = {};
    std::vector<SpriteDrawRecord> Glyphs;
    GlyphKey GlyphsKey = {};
    bool bGlyphsValid = false;
};

// The most glyphs one text draws.
enum { kFontRecordRoom = 1024 };
