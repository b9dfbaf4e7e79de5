#pragma once
// Immediate-mode primitives. Effects, marks and overlays open a batch, describe its stages, feed
// vertices one by one (or reserve particle quads) and close each primitive. Nothing is drawn at
// once: every closed primitive becomes an entry of the layer's effect list, sorted by priority
// and then far to near, and played back when the layer ends.
#include <d3d9.h>

#include "core/math/CVector.h"
#include "engine/render/Material.h"
#include "engine/render/RenderShaders.h"

class CRendTexture;

#pragma pack(push, 1)
// The 36-byte vertex of immediate primitives and particles (position, normal, ARGB colour,
// one coordinate pair).
struct PrimVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR Colour;
    float u, v;
};

#pragma pack(pop)
static_assert(sizeof(PrimVertex) == 36, "PrimVertex is the 36-byte coloured vertex");

// Stage flags of stage 0 that the draw reads.
enum : unsigned {
    STAGE_LIT = 0x0001,
    STAGE_LINES = 0x2000,
    STAGE_RENDER_FLAGS = 0x3FB0,
};

// Draw-state family flag of an immediate primitive drawn as a line strip.
enum { kFamilyFlagLines = 0x04 };

// The stage record every stage starts from: a material with no name, no effect, white,
// opaque, untextured, marked as the last override.
const Material& DefaultStageRecord();

// The device texture drawn for a texture record (following shared records); null for none.
IDirect3DTexture9* DeviceTextureOf(const CRendTexture* texture);

// Sets the state's matrices to the current viewport's pixels: origin at its top left, y down,
// world identity; the view moves z by -0.5 and the projection halves it into the device's
// 0..1 from the middle, so screen z from -0.5 to 1.5 is seen.
void SetScreenMatrices(DrawState& state);
// The depth a state's projection gives a point (its clip-space z), for far-to-near sorting.
float StateDepth(const DrawState& state, float x, float y, float z);

// The start-up state: both stages mode 0 with flags 0x0801, one stage, batch flags 0x200.
void InitPrimitiveBatch();

// Space 1 draws in world space through the matrix stack and the viewport's camera; any other
// value draws in the current viewport's pixels.
void BeginPrimitives(unsigned flags, unsigned stages, int space);
void SetPrimitiveStage(int stage, int mode, int stageFlags, const void* overrideRecord);
void SetPrimitiveTexture(int stage, CRendTexture* texture);
void SetPrimitiveStageValue(int stage, int value);
void SetPrimitiveStageFloat(int stage, float value);
void SetPrimitivePriority(int priority);
void StartPrimitive(int type);
// Components 0 to 255, clamped.
void SetPrimitiveColor(const CVector4& colour);
void SetPrimitiveNormal(const CVector& normal);
void SetPrimitiveTexCoord(int set, const float uv[2]);
void AddPrimitiveVertex(const CVector& position);
void EndPrimitive();
void EndPrimitives();

// Kind 3 items are one quad (four vertices), kind 4 items two; at most 64 items a call. The
// caller writes each quad in strip order, then submits. Null (granted 0) for another kind or
// when the frame's arena is full.
PrimVertex* ReserveParticleQuads(int kind, int count, int* granted);
void SubmitParticleQuads();

// A listener told of each immediate-mode call as one line of text with fixed precision, so
// that what an effect hands the renderer can be compared whether or not anything is drawn.
// Null (the start) for none.
typedef void (*PrimitiveTraceFunction)(const char* line);
void SetPrimitiveTrace(PrimitiveTraceFunction trace);
// Hands one printf-style line to the listener; the other drawing calls effects make (terrain
// decals, light handles) report through it too, so one trace shows all an effect asked for.
void TracePrimitiveCall(const char* format, ...) __attribute__((format(printf, 1, 2)));

// What the batch holds, for tests and diagnostics.
struct PrimBatchInfo {
    int Space;
    unsigned long Flags;
    int StageCount;
    unsigned short StageFlags[2];
    int StageMode[2];
    bool Dirty;
    const DrawState* pState;
    unsigned long Priority;
};
PrimBatchInfo GetPrimitiveBatchInfo();

// The most vertices one primitive keeps; later ones are dropped.
enum { kMaxPrimitiveVertices = 1024, kMaxParticleItems = 64 };
