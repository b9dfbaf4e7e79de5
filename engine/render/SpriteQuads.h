#pragma once
// Screen sprite quads: sprites, fonts and logos turn frames and glyphs into textured quads in
// a viewport's pixels; one draw state serves a run of quads of one texture and one colour, and
// every quad is an entry of the layer's effect list, sorted with the other transparent draws.
#include <windows.h>

#include "core/math/CVector.h"

class CInternalTexture;
class CRendTexture;
struct Material;

#pragma pack(push, 1)
// One frame of a sprite sheet: its extent round the origin in 1/16 pixel and its texture
// coordinates in 1/4096. Flags bit 0: the next frame is another part of the same image.
struct SpriteFrame {
    unsigned short Flags;
    unsigned short TextureIndex;
    short Left, Right, Top, Bottom;
    short LeftCoord, RightCoord, TopCoord, BottomCoord;
};

// Frames and texture pages shared by sprites, fonts and logos. Flags: 0x04 scale by the
// screen pixel scale, 0x100 add the render's position to the screen position, 0x400 scale the
// selection box by the view scale.
struct SpriteBatch {
    unsigned long Flags;
    unsigned short NumFrames;
    unsigned short NumTextures;
    CRendTexture** pTextures;
    SpriteFrame* pFrames;
};

// One element of a sprite list. Flags bit 0 ends the list, bit 1 skips the record.
struct SpriteDrawRecord {
    unsigned short Frame;
    unsigned short Flags;
    float x, y, z;
    float Scale;
    const CVector4* pColour;
};
#pragma pack(pop)
static_assert(sizeof(SpriteFrame) == 20, "SpriteFrame is a 20-byte record");
static_assert(sizeof(SpriteBatch) == 16, "SpriteBatch is a 16-byte record");
static_assert(sizeof(SpriteDrawRecord) == 24, "a sprite draw record is 24 bytes");

enum : unsigned {
    SPRITE_RECORD_LAST = 0x01,
    SPRITE_RECORD_SKIP = 0x02,
};

// Flags of a sprite list draw (the call flags ORed with the batch's).
enum : unsigned {
    SPRITE_SCREEN_SCALED = 0x01, // call flags only: sizes follow the screen pixel scale
    SPRITE_BATCH_PIXEL_SCALE = 0x04,
    SPRITE_OWN_POINTS = 0x80,
    SPRITE_ADD_POSITION = 0x100,
    SPRITE_WORLD = 0x200,
    SPRITE_PERSPECTIVE = 0x400,
};

// The vertex of sprite quads: position, normal, one coordinate pair.
struct VertexPNT {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

// Quads go round their edge (v0, v1, v2, v3), four vertices each; an incomplete last quad is
// left out.
void SubmitSpriteQuads(const VertexPNT* vertices, int vertexCount, CInternalTexture* texture, const CVector4& colour,
                       unsigned renderFlags, unsigned sortKey);

// Draws the records of a sprite list with the batch's frames; always 0.
int DrawSpriteList(unsigned sortKey, const SpriteBatch* batch, const void* records, const CVector* position,
                   const Material* overrides, unsigned callFlags, int stride);

// The quads a sprite list hands on per submission: the buffer holds 512 vertices and is
// flushed once it holds more than 500.
enum { kSpriteBufferVertices = 512, kSpriteFlushAbove = 500 };
