#pragma once
// The back end's vertex shader table and the records a frame layer's draws are written into
// before they are sorted and played through the device.
#include <d3d9.h>

#include <string>

#include "core/math/CMatrix.h"
#include "core/math/CVector.h"

class CLightSet;
struct DecalPiece;

// Shader slots: every family has its unlit member at an even slot and its lit one next.
enum {
    kShaderSlots = 18,
    kShaderSlotRoom = 20,
    kShaderFamilies = 9,
};
enum ShaderFamily {
    kFamilyBasic,
    kFamilyVertexColour,
    kFamilyShell,
    kFamilyMorphShell,
    kFamilyEnvironment,
    kFamilyThreeSetsA,
    kFamilyThreeSetsB,
    kFamilyThreeSetsC,
    kFamilyMaterialAlpha,
};
inline int ShaderSlot(ShaderFamily family, bool lit) { return 2 * int(family) + (lit ? 1 : 0); }

// The shader text of a slot under the engine flags (fog and point-light fragments).
std::string ShaderText(int slot, unsigned long engineFlags);
std::string AssembleShaderText(const char* head, const char* fog, const char* lighting, const char* pointLights,
                               const char* tail);

// Render flags of a draw.
enum : unsigned long {
    DRAW_DEPTH_TEST = 0x01,
    DRAW_DEPTH_WRITE = 0x02,
    DRAW_ALPHA_BLEND = 0x10,
    DRAW_ALPHA_TEST = 0x20,
    DRAW_ADDITIVE = 0x100,
    DRAW_WRAP = 0x400,
    DRAW_ADDITIVE_2 = 0x1000,
};
// Cull flags of a draw.
enum : unsigned long {
    CULL_CLOCKWISE = 0x200,
    CULL_COUNTER_CLOCKWISE = 0x400,
};

enum DrawKind {
    kDrawMesh = 0,
    kDrawUserList = 2,
    kDrawImmediate = 3,
    kDrawThreeTexture = 4,
    kDrawDecalList = 6,
    kDrawParticles = 10,
    kDrawParticles2 = 15,
};

// What one draw sets on the device: written into the frame's state arena.
struct DrawState {
    unsigned char ShaderSlot;
    unsigned char FamilyFlags; // 1 lighting on without shaders, 2 draw the outline pass
    unsigned char Kind;        // DrawKind
    const CLightSet* pLightSet;
    CVector4 Constants[18]; // c1-c18 (c1-c3, c4-c15, c16-c18)
    CMatrix World, View, Projection;
    float MaterialAlpha;
    unsigned long RenderFlags;
    unsigned long CullFlags;
    DWORD AlphaRef;
    IDirect3DTexture9* pTexture;
    IDirect3DTexture9* pTexture2;
    IDirect3DTexture9* pTexture3;
    IDirect3DVertexBuffer9* pVertices;
    IDirect3DIndexBuffer9* pIndices;
    IDirect3DVertexBuffer9* pSecondStream;
    UINT FirstIndex;
    UINT IndexCount;
    UINT VertexCount;
    const DecalPiece* pDecalPieces; // a terrain decal's pieces, played by the decal list

    CVector4& C(int reg) { return Constants[reg - 1]; }
    const CVector4& C(int reg) const { return Constants[reg - 1]; }
};

// Draw-list entry: sorted by its key ascending, ties by the second key descending.
struct DrawEntry {
    unsigned long SortKey;
    unsigned long SecondKey;
    DrawState* pState;
    void* pBlock;
};
// Effect-list entry: by priority ascending, ties by depth descending.
struct EffectEntry {
    unsigned long Priority;
    float Depth;
    DrawState* pState;
    void* pData;
};
// Decal-list entry: by its value ascending, ties by the second key descending.
struct DecalEntry {
    float SortValue;
    unsigned long SecondKey;
    DrawState* pState;
};

// A run of a terrain decal's cells under one light set: the corners it uses as 32-byte
// vertices and two triangles of 16-bit indices per cell, chained from the decal's draw state.
struct DecalPiece {
    const CLightSet* pLightSet;
    const void* pVertices;
    const unsigned short* pIndices;
    unsigned short Cells;
    unsigned short Vertices;
    const DecalPiece* pNext;
};

// One frame arena: its storage, the cursor, how much was asked for and what it holds.
struct RenderBuffer {
    unsigned char* pBase;
    unsigned long Used;     // units asked for this layer, past the capacity too
    unsigned long Capacity; // units
    unsigned long UnitSize;

    void Allocate(unsigned long capacity, unsigned long unitSize);
    void Free();
    // Null, still counting the units, when they do not fit.
    void* Take(unsigned long units);
    void Rewind() { Used = 0; }
    bool Overflowed() const { return Used > Capacity; }
    unsigned long Count() const { return Used < Capacity ? Used : Capacity; }
};

struct RenderBuffers {
    RenderBuffer State;  // bytes
    RenderBuffer Draws;  // DrawEntry
    RenderBuffer Effect; // EffectEntry
    RenderBuffer Decals; // DecalEntry
};

// The three sort orders.
void SortDrawList(DrawEntry* entries, unsigned long count);
void SortEffectList(EffectEntry* entries, unsigned long count);
void SortDecalList(DecalEntry* entries, unsigned long count);
