#include "engine/render/SpriteQuads.h"

#include <cstring>

#include "engine/render/CLightTree.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/CRendTexture.h"
#include "engine/render/PrimBatch.h"

namespace {

// The shared quad buffer of sprite lists.
struct SpriteBuffer {
    VertexPNT Vertices[kSpriteBufferVertices];
    int Count = 0;
    CInternalTexture* pTexture = nullptr;
    CVector4 Colour = CVector4(1, 1, 1, 1);
};
SpriteBuffer Buffer;

void Flush(unsigned renderFlags, unsigned sortKey)
{
    if (Buffer.Count > 0)
        SubmitSpriteQuads(Buffer.Vertices, Buffer.Count, Buffer.pTexture, Buffer.Colour, renderFlags, sortKey);
    Buffer.Count = 0;
}

CVector4 Transform(const CVector& p, const CMatrix& m)
{
    return CVector4(p.x * m.m0 + p.y * m.m4 + p.z * m.m8 + m.m12, p.x * m.m1 + p.y * m.m5 + p.z * m.m9 + m.m13,
                    p.x * m.m2 + p.y * m.m6 + p.z * m.m10 + m.m14, p.x * m.m3 + p.y * m.m7 + p.z * m.m11 + m.m15);
}

// The base colour of a sprite list from the render's material overrides: only entries for
// every material (name key 0) that carry flags take part.
CVector4 BaseColour(const Material* overrides)
{
    CVector emissive(0, 0, 0), diffuse(1, 1, 1);
    float alpha = 1.0f;
    for (const Material* e = overrides; e; ++e) {
        const bool last = e->Flags & Material::LAST_OVERRIDE;
        if (e->Name == 0 && (e->Flags & ~Material::LAST_OVERRIDE) != 0) {
            if (e->Flags & Material::REPLACE_ALPHA)
                alpha = e->Alpha;
            if (e->Flags & Material::REPLACE_EMISSIVE)
                emissive = e->Emissive;
            if (e->Flags & Material::REPLACE_DIFFUSE)
                diffuse = e->Diffuse;
            if (e->Flags & Material::MULTIPLY_ALPHA)
                alpha *= e->Alpha;
            if (e->Flags & Material::MULTIPLY_EMISSIVE)
                emissive = CVector(emissive.x * e->Emissive.x, emissive.y * e->Emissive.y, emissive.z * e->Emissive.z);
            if (e->Flags & Material::MULTIPLY_DIFFUSE)
                diffuse = CVector(diffuse.x * e->Diffuse.x, diffuse.y * e->Diffuse.y, diffuse.z * e->Diffuse.z);
        }
        if (last)
            break;
    }
    return CVector4(emissive.x + diffuse.x, emissive.y + diffuse.y, emissive.z + diffuse.z, alpha);
}

bool SameColour(const CVector4& a, const CVector4& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

// Where the records of a list are put and how large.
struct ListPlace {
    float x, y, depth;
    float OffsetX, OffsetY;
    float ScaleX, ScaleY;
};

} // namespace

void SubmitSpriteQuads(const VertexPNT* vertices, int vertexCount, CInternalTexture* texture, const CVector4& colour,
                       unsigned renderFlags, unsigned sortKey)
{
    if (vertexCount < 1 || !vertices)
        return;
    CRenderDevice& device = CRenderer::GetDevice();
    DrawState* state = device.NewState();
    if (state) {
        SetScreenMatrices(*state);
        state->ShaderSlot = static_cast<unsigned char>(ShaderSlot(kFamilyBasic, false));
        state->Kind = kDrawUserList;
        state->AlphaRef = 127;
        state->VertexCount = UINT(vertexCount);
        state->IndexCount = UINT(vertexCount / 2);
        state->pTexture = texture ? texture->pTexture : nullptr;
        state->C(18) = colour;
        state->MaterialAlpha = colour.w;
        state->RenderFlags = renderFlags & CRenderer::GetRenderMask();
        state->pLightSet =
            CLightTree::The().FindLightSet(GetCurrentViewport(), CVector(vertices[0].x, vertices[0].y, vertices[0].z));
    }
    // Only whole quads are drawn: a caller's incomplete last quad would read past its array.
    for (int q = 0; q + 4 <= vertexCount; q += 4) {
        EffectEntry* entry = device.AllocEffect(1);
        VertexPNT* strip = static_cast<VertexPNT*>(device.AllocState(4 * sizeof(VertexPNT)));
        if (entry)
            entry->pState = nullptr;
        if (!entry || !strip || !state)
            continue;
        const VertexPNT* v = vertices + q;
        strip[0] = v[0];
        strip[1] = v[1];
        strip[2] = v[3];
        strip[3] = v[2];
        float depth = 0;
        for (int i = 0; i < 4; ++i)
            depth += StateDepth(*state, v[i].x, v[i].y, v[i].z);
        *entry = EffectEntry{sortKey, depth / 4, state, strip};
    }
}

int DrawSpriteList(unsigned sortKey, const SpriteBatch* batch, const void* records, const CVector* position,
                   const Material* overrides, unsigned callFlags, int stride)
{
    if (!batch || !records || !batch->pFrames)
        return 0;
    const unsigned F = callFlags | batch->Flags;
    float pixelX = 1.0f, pixelY = 1.0f;
    CRenderer::GetDevice().GetScreenPixelScale(pixelX, pixelY);
    float sx = 1.0f, sy = 1.0f, px = 1.0f, py = 1.0f;
    if (batch->Flags & SPRITE_BATCH_PIXEL_SCALE) {
        sx = px = pixelX;
        sy = py = pixelY;
    }
    if (callFlags & SPRITE_SCREEN_SCALED) {
        sx = pixelX;
        sy = pixelY;
    }
    Buffer.Count = 0;
    Buffer.pTexture = nullptr;
    Buffer.Colour = CVector4(1, 1, 1, 1);
    const CVector4 base = BaseColour(overrides);
    const unsigned renderFlags = ((F & 0x31833) | 0x408) & (CRenderer::GetRenderMask() | 0x30000);

    const int viewport = GetCurrentViewport();
    const ViewportTransform* v = GetViewportTransform(viewport);
    CMatrix T = v->WorldToScreen;
    if (F & SPRITE_WORLD)
        T.Multiply(GetTopMatrix(), v->WorldToScreen);
    // Projects a point; false when it lies outside the depth range.
    auto project = [&](const CVector4& h, ListPlace& at, float scale) {
        const float invW = h.w != 0.0f ? 1.0f / h.w : 1.0f;
        const float z = h.z * invW;
        if (z > 1.0f || z < -1.0f)
            return false;
        at.x = h.x * invW;
        at.y = h.y * invW;
        at.depth = z * v->DepthScale + v->DepthOffset;
        at.ScaleX = at.ScaleY = scale;
        if (F & SPRITE_PERSPECTIVE) {
            at.ScaleX = scale * v->PixelScaleX * invW;
            at.ScaleY = scale * v->PixelScaleY * invW;
        }
        return true;
    };
    ListPlace anchor = {};
    if (!(F & SPRITE_OWN_POINTS)) {
        CVector4 h;
        if (position)
            h = Transform(*position, T);
        else if (F & SPRITE_WORLD)
            h = CVector4(T.m12, T.m13, T.m14, T.m15);
        else
            h = CVector4(0, 0, -1, 1);
        if (!project(h, anchor, 1.0f))
            return 0;
    }

    const unsigned char* at = static_cast<const unsigned char*>(records);
    for (;; at += stride) {
        SpriteDrawRecord record;
        std::memcpy(&record, at, sizeof record);
        const bool last = record.Flags & SPRITE_RECORD_LAST;
        ListPlace p = anchor;
        bool draw = !(record.Flags & SPRITE_RECORD_SKIP) && record.Frame < batch->NumFrames;
        if (draw && (F & SPRITE_OWN_POINTS)) {
            draw = project(Transform(CVector(record.x, record.y, record.z), T), p, record.Scale);
            p.OffsetX = p.OffsetY = 0;
        } else if (draw) {
            p.OffsetX = record.x;
            p.OffsetY = record.y;
            p.ScaleX = record.Scale * anchor.ScaleX;
            p.ScaleY = record.Scale * anchor.ScaleY;
        }
        if (draw) {
            CVector4 colour = base;
            if (record.pColour)
                colour = CVector4(colour.x * record.pColour->x, colour.y * record.pColour->y,
                                  colour.z * record.pColour->z, colour.w * record.pColour->w);
            const float z = p.depth * 0.5f + 0.5f;
            p.x *= px;
            p.y *= py;
            for (int f = record.Frame; f < batch->NumFrames; ++f) {
                const SpriteFrame& frame = batch->pFrames[f];
                CInternalTexture* texture = nullptr;
                if (batch->pTextures && frame.TextureIndex < batch->NumTextures)
                    if (const CRendTexture* record = batch->pTextures[frame.TextureIndex])
                        texture = record->GetInternal();
                const float k = 1.0f / 4096.0f;
                const float lu = frame.LeftCoord * k, ru = frame.RightCoord * k;
                const float tv = frame.TopCoord * k, bv = frame.BottomCoord * k;
                const float left = (frame.Left / 16.0f * sx + p.OffsetX) * p.ScaleX + p.x;
                const float right = (frame.Right / 16.0f * sx + p.OffsetX) * p.ScaleX + p.x;
                const float top = (frame.Top / 16.0f * sy + p.OffsetY) * p.ScaleY + p.y;
                const float bottom = (frame.Bottom / 16.0f * sy + p.OffsetY) * p.ScaleY + p.y;
                if (!SameColour(colour, Buffer.Colour) || texture != Buffer.pTexture ||
                    Buffer.Count > kSpriteFlushAbove) {
                    Flush(renderFlags, sortKey);
                    Buffer.pTexture = texture;
                    Buffer.Colour = colour;
                }
                VertexPNT* q = Buffer.Vertices + Buffer.Count;
                q[0] = VertexPNT{right, top, z, 0, 0, 1, ru, tv};
                q[1] = VertexPNT{left, top, z, 0, 0, 1, lu, tv};
                q[2] = VertexPNT{left, bottom, z, 0, 0, 1, lu, bv};
                q[3] = VertexPNT{right, bottom, z, 0, 0, 1, ru, bv};
                Buffer.Count += 4;
                if (!(frame.Flags & 1))
                    break;
            }
        }
        if (last)
            break;
    }
    Flush(renderFlags, sortKey);
    return 0;
}
