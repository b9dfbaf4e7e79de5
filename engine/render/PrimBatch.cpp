#include "engine/render/PrimBatch.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/render/CLightTree.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/CRendTexture.h"

namespace {

struct PrimStage {
    int Mode;
    unsigned short Flags;
    Material Record;
};

// The one process-wide batch.
struct PrimBatch {
    int Space = 0;
    unsigned long Flags = 0x200;
    int StageCount = 1;
    PrimStage Stages[2] = {};
    DrawState* pState = nullptr;
    bool Dirty = true;
    PrimVertex Template = {};
    PrimVertex Vertices[kMaxPrimitiveVertices];
    int Count = 0;
    int Type = 0;
    unsigned long Priority = 0;
    int ParticleKind = 0;
    int ParticleCount = 0;
    PrimVertex* pParticles = nullptr;
};

PrimBatch Batch;

const int kOverlayViewport = 7;

CVector4 WithW(const CVector& v, float w) { return CVector4(v.x, v.y, v.z, w); }

CMatrix Product(const CMatrix& a, const CMatrix& b)
{
    CMatrix out;
    out.Multiply(a, b);
    return out;
}

void PutColumns(CVector4* out, const CMatrix& m, int columns)
{
    for (int c = 0; c < columns; ++c)
        out[c] = CVector4(m.m[c], m.m[4 + c], m.m[8 + c], m.m[12 + c]);
}

// The camera-side form of a device projection: the device's has y up and depth 0..w, the
// camera's y down and depth -w..w. Kept so that the fixed-function path sets the same matrix.
CMatrix CameraProjection(const CMatrix& device)
{
    CMatrix p = device;
    for (int row = 0; row < 4; ++row) {
        float* e = p.m + 4 * row;
        e[1] = -e[1];
        e[2] = 2 * e[2] - e[3];
    }
    return p;
}

PrimitiveTraceFunction TraceFunction = nullptr;

void Trace(const char* format, ...)
{
    if (!TraceFunction)
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    TraceFunction(line);
}

PrimStage& StageOf(int stage) { return Batch.Stages[stage ? 1 : 0]; }

// The stage-0 material after the override pass: the override list is stage 0's record, then
// stage 1's unless stage 0's carries the last-entry mark.
Material Stage0Material()
{
    Material material = Batch.Stages[0].Record;
    const Material* entries[2] = {&Batch.Stages[0].Record, &Batch.Stages[1].Record};
    const int count = (Batch.Stages[0].Record.Flags & Material::LAST_OVERRIDE) ? 1 : 2;
    for (int i = 0; i < count; ++i) {
        const Material& entry = *entries[i];
        if ((entry.Flags & ~Material::LAST_OVERRIDE) == 0)
            continue;
        if (entry.Name == 0 || entry.Name == material.Name)
            material.ApplyOverride(entry);
    }
    return material;
}

// A new draw state for the batch; null when the arena is full (the frame restarts).
DrawState* BuildState(DrawKind kind, const PrimVertex& first)
{
    CRenderDevice& device = CRenderer::GetDevice();
    DrawState* state = device.NewState();
    if (!state)
        return nullptr;
    if (Batch.Space != 1)
        SetScreenMatrices(*state);
    const Material m = Stage0Material();
    const unsigned flags = Batch.Stages[0].Flags;
    const bool lit = flags & STAGE_LIT;
    state->Kind = static_cast<unsigned char>(kind);
    state->ShaderSlot = static_cast<unsigned char>(ShaderSlot(kFamilyVertexColour, lit));
    state->FamilyFlags = static_cast<unsigned char>((lit ? 1 : 0) | ((flags & STAGE_LINES) ? kFamilyFlagLines : 0));
    state->C(16) = lit ? WithW(m.Diffuse, 1.0f) : CVector4(0, 0, 0, 0);
    state->C(17) = lit ? WithW(m.Ambient, 1.0f) : CVector4(0, 0, 0, 0);
    state->C(18) = WithW(m.Emissive, m.Alpha);
    state->MaterialAlpha = m.Alpha;
    state->pTexture = DeviceTextureOf(m.pTexture);
    const bool fog = Batch.Space != 0 && GetCurrentViewport() != kOverlayViewport;
    state->C(1) = fog ? CVector4(1.0f, 0, 0, 0) : CVector4(0, 0, 0, 0);
    state->C(2) = state->C(3) = CVector4(0, 0, 0, 0);
    state->AlphaRef = 127;
    const unsigned long blend = (m.Flags & (Material::REPLACE_ALPHA | Material::MULTIPLY_ALPHA))
                                    ? static_cast<unsigned long>(DRAW_ALPHA_BLEND)
                                    : 0;
    state->RenderFlags = ((Batch.Flags & 0x4043) | (flags & STAGE_RENDER_FLAGS) | blend) & CRenderer::GetRenderMask();
    state->pLightSet = CLightTree::The().FindLightSet(GetCurrentViewport(), CVector(first.x, first.y, first.z));
    return state;
}

// The batch's draw state for a draw of this kind, rebuilt when the stages changed.
DrawState* CurrentState(DrawKind kind, const PrimVertex& first)
{
    if (Batch.Dirty || !Batch.pState || Batch.pState->Kind != kind) {
        Batch.pState = BuildState(kind, first);
        if (!Batch.pState)
            return nullptr;
        Batch.Dirty = false;
    }
    return Batch.pState;
}

void Clamp255(float& c) { c = c < 0.0f ? 0.0f : c > 255.0f ? 255.0f : c; }

} // namespace

const Material& DefaultStageRecord()
{
    static const Material record = {0,
                                    nullptr,
                                    Material::LAST_OVERRIDE,
                                    CVector(1, 1, 1),
                                    CVector(0, 0, 0),
                                    CVector(1, 1, 1),
                                    CVector(1, 1, 1),
                                    1.0f,
                                    nullptr,
                                    nullptr,
                                    64,
                                    1.0f,
                                    0.0f,
                                    0.0f,
                                    0.0f};
    return record;
}

IDirect3DTexture9* DeviceTextureOf(const CRendTexture* texture)
{
    return texture ? texture->GetDeviceTexture() : nullptr;
}

void SetScreenMatrices(DrawState& state)
{
    const ViewportTransform* v = GetViewportTransform(GetCurrentViewport());
    const float a = (v->Right - v->X) / 2, c = (v->Bottom - v->Y) / 2;
    state.World.SetIdentity();
    state.View.SetIdentity();
    state.View.m12 = -a;
    state.View.m13 = -c;
    state.View.m14 = -0.5f;
    // The device keeps depths 0..1: z from -0.5 to 1.5 is seen, so the plain z 0 of screen
    // shapes is as visible as the 0.5..1 of sprite quads.
    CMatrix projection;
    projection.SetIdentity();
    projection.m0 = 1.0f / a;
    projection.m5 = -1.0f / c;
    projection.m10 = 0.5f;
    projection.m14 = 0.5f;
    state.Projection = CameraProjection(projection);
    PutColumns(&state.C(4), state.World, 3);
    PutColumns(&state.C(8), state.View, 3);
    PutColumns(&state.C(12), Product(state.View, projection), 4);
}

float StateDepth(const DrawState& s, float x, float y, float z)
{
    const CVector4& row = s.C(14);
    return x * row.x + y * row.y + z * row.z + row.w;
}

void SetPrimitiveTrace(PrimitiveTraceFunction trace) { TraceFunction = trace; }

void TracePrimitiveCall(const char* format, ...)
{
    if (!TraceFunction)
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    TraceFunction(line);
}

void InitPrimitiveBatch()
{
    for (PrimStage& stage : Batch.Stages) {
        stage.Mode = 0;
        stage.Flags = 0x0801;
        stage.Record = DefaultStageRecord();
    }
    Batch.StageCount = 1;
    Batch.Flags = 0x200;
    Batch.pState = nullptr;
    Batch.Dirty = true;
    Batch.Count = 0;
}

void BeginPrimitives(unsigned flags, unsigned stages, int space)
{
    Trace("BeginPrimitives %u %u %d", flags, stages, space);
    Batch.Count = 0;
    Batch.Priority = 0;
    Batch.Flags = flags & 0x7C3;
    Batch.StageCount = stages > 1 ? 2 : 1;
    Batch.Space = space;
    Batch.Dirty = true;
    Batch.ParticleCount = 0;
    Batch.pParticles = nullptr;
}

void SetPrimitiveStage(int stage, int mode, int stageFlags, const void* overrideRecord)
{
    Trace("SetPrimitiveStage %d %d 0x%X %s", stage, mode, static_cast<unsigned>(stageFlags),
          overrideRecord ? "record" : "default");
    PrimStage& s = StageOf(stage);
    s.Mode = mode;
    s.Flags = static_cast<unsigned short>(stageFlags);
    if (overrideRecord)
        std::memcpy(&s.Record, overrideRecord, sizeof s.Record);
    else
        s.Record = DefaultStageRecord();
    Batch.Dirty = true;
}

void SetPrimitiveTexture(int stage, CRendTexture* texture)
{
    Trace("SetPrimitiveTexture %d %s", stage, texture ? "texture" : "none");
    Material& r = StageOf(stage).Record;
    if (r.pTexture != texture) {
        r.pTexture = texture;
        Batch.Dirty = true;
    }
}

void SetPrimitiveStageValue(int stage, int value)
{
    Trace("SetPrimitiveStageValue %d %d", stage, value);
    // The value takes the detail map's word, which no draw reads.
    Material& r = StageOf(stage).Record;
    CRendTexture* word = reinterpret_cast<CRendTexture*>(static_cast<uintptr_t>(static_cast<unsigned>(value)));
    if (r.pDetailMap != word) {
        r.pDetailMap = word;
        Batch.Dirty = true;
    }
}

void SetPrimitiveStageFloat(int stage, float value)
{
    Trace("SetPrimitiveStageFloat %d %.3f", stage, double(value));
    Material& r = StageOf(stage).Record;
    if (r.Alpha != value) {
        r.Alpha = value;
        Batch.Dirty = true;
    }
}

void SetPrimitivePriority(int priority)
{
    Trace("SetPrimitivePriority 0x%X", static_cast<unsigned>(priority));
    Batch.Priority = static_cast<unsigned long>(priority);
}

void StartPrimitive(int type)
{
    Trace("StartPrimitive %d", type);
    Batch.Type = type;
    Batch.Count = 0;
}

void SetPrimitiveColor(const CVector4& colour)
{
    Trace("SetPrimitiveColor %.3f %.3f %.3f %.3f", double(colour.x), double(colour.y), double(colour.z),
          double(colour.w));
    float c[4] = {colour.x, colour.y, colour.z, colour.w};
    for (float& v : c)
        Clamp255(v);
    Batch.Template.Colour = D3DCOLOR(c[3]) << 24 | D3DCOLOR(c[0]) << 16 | D3DCOLOR(c[1]) << 8 | D3DCOLOR(c[2]);
}

void SetPrimitiveNormal(const CVector& n)
{
    Trace("SetPrimitiveNormal %.3f %.3f %.3f", double(n.x), double(n.y), double(n.z));
    Batch.Template.nx = n.x;
    Batch.Template.ny = n.y;
    Batch.Template.nz = n.z;
}

void SetPrimitiveTexCoord(int, const float uv[2])
{
    Trace("SetPrimitiveTexCoord %.3f %.3f", double(uv[0]), double(uv[1]));
    Batch.Template.u = uv[0];
    Batch.Template.v = uv[1];
}

void AddPrimitiveVertex(const CVector& p)
{
    Trace("AddPrimitiveVertex %.3f %.3f %.3f", double(p.x), double(p.y), double(p.z));
    if (Batch.Count >= kMaxPrimitiveVertices)
        return;
    PrimVertex& v = Batch.Vertices[Batch.Count++];
    v = Batch.Template;
    v.x = p.x;
    v.y = p.y;
    v.z = p.z;
}

void EndPrimitive()
{
    Trace("EndPrimitive");
    const int n = Batch.Count;
    Batch.Count = 0;
    const bool lines = Batch.Stages[0].Flags & STAGE_LINES;
    if (n < (lines ? 2 : 3))
        return;
    DrawState* state = CurrentState(kDrawImmediate, Batch.Vertices[0]);
    if (Batch.Type != 0 && Batch.Type != 2)
        return;
    CRenderDevice& device = CRenderer::GetDevice();
    const int stored = lines && n > 2 ? n + 1 : n;
    EffectEntry* entry = device.AllocEffect(1);
    unsigned char* block = static_cast<unsigned char*>(device.AllocState(static_cast<unsigned long>(stored) * 36 + 4));
    if (entry)
        entry->pState = nullptr;
    if (!entry || !block || !state)
        return;
    const unsigned short header[2] = {0, static_cast<unsigned short>(stored)};
    std::memcpy(block, header, sizeof header);
    PrimVertex* out = reinterpret_cast<PrimVertex*>(block + 4);
    if (lines) {
        std::memcpy(out, Batch.Vertices, sizeof(PrimVertex) * size_t(n));
        if (stored > n)
            out[n] = Batch.Vertices[0];
    } else {
        // A fan v0..v(n-1) as a strip from the middle: v(m), v(m+1), v(m-1), v(m+2), ...
        const int m = (n - 1) / 2;
        int k = 0;
        out[k++] = Batch.Vertices[m];
        for (int d = 1; k < n; ++d) {
            if (m + d < n)
                out[k++] = Batch.Vertices[m + d];
            if (m - d >= 0 && k < n)
                out[k++] = Batch.Vertices[m - d];
        }
    }
    float cx = 0, cy = 0, cz = 0;
    for (int i = 0; i < n; ++i) {
        cx += Batch.Vertices[i].x;
        cy += Batch.Vertices[i].y;
        cz += Batch.Vertices[i].z;
    }
    *entry = EffectEntry{Batch.Priority, StateDepth(*state, cx / float(n), cy / float(n), cz / float(n)), state, block};
}

void EndPrimitives() { Trace("EndPrimitives"); }

PrimVertex* ReserveParticleQuads(int kind, int count, int* granted)
{
    Trace("ReserveParticleQuads %d %d", kind, count);
    *granted = 0;
    Batch.ParticleCount = 0;
    Batch.pParticles = nullptr;
    if ((kind != 3 && kind != 4) || count <= 0)
        return nullptr;
    if (count > kMaxParticleItems)
        count = kMaxParticleItems;
    const unsigned long itemBytes = kind == 3 ? 4 * sizeof(PrimVertex) : 8 * sizeof(PrimVertex);
    void* block = CRenderer::GetDevice().AllocState(itemBytes * static_cast<unsigned long>(count));
    if (!block)
        return nullptr;
    Batch.ParticleKind = kind;
    Batch.ParticleCount = count;
    Batch.pParticles = static_cast<PrimVertex*>(block);
    *granted = count;
    return Batch.pParticles;
}

void SubmitParticleQuads()
{
    const int count = Batch.ParticleCount;
    PrimVertex* items = Batch.pParticles;
    Batch.ParticleCount = 0;
    Batch.pParticles = nullptr;
    if (count <= 0 || !items)
        return;
    const bool two = Batch.ParticleKind == 4;
    DrawState* state = CurrentState(two ? kDrawParticles2 : kDrawParticles, items[0]);
    if (!state)
        return;
    CRenderDevice& device = CRenderer::GetDevice();
    const int stride = two ? 8 : 4;
    for (int i = 0; i < count; ++i) {
        const PrimVertex* item = items + i * stride;
        EffectEntry* entry = device.AllocEffect(1);
        if (!entry)
            return;
        const float x = (item[0].x + item[3].x) / 2, y = (item[0].y + item[3].y) / 2, z = (item[0].z + item[3].z) / 2;
        *entry = EffectEntry{Batch.Priority, StateDepth(*state, x, y, z), state, const_cast<PrimVertex*>(item)};
    }
}

PrimBatchInfo GetPrimitiveBatchInfo()
{
    PrimBatchInfo info;
    info.Space = Batch.Space;
    info.Flags = Batch.Flags;
    info.StageCount = Batch.StageCount;
    for (int i = 0; i < 2; ++i) {
        info.StageFlags[i] = Batch.Stages[i].Flags;
        info.StageMode[i] = Batch.Stages[i].Mode;
    }
    info.Dirty = Batch.Dirty;
    info.pState = Batch.pState;
    info.Priority = Batch.Priority;
    return info;
}
