// Playback of the effect-list entries that carry their vertices in the state arena: sprite
// quads (32-byte vertices), immediate primitives and particle quads (36-byte coloured ones).
#include <cstring>

#include "engine/render/CRenderDevice.h"
#include "engine/render/PrimBatch.h"
#include "engine/render/SpriteQuads.h"

namespace {

const DWORD kTexturedFVF = 0x112;
const DWORD kColouredFVF = 0x152;

// The whole transform of a state (its c12-c15 columns) as one matrix for row vectors.
D3DMATRIX WholeTransform(const DrawState& s)
{
    D3DMATRIX out;
    float* m = &out._11;
    for (int c = 0; c < 4; ++c) {
        const CVector4& column = s.C(12 + c);
        m[c] = column.x;
        m[4 + c] = column.y;
        m[8 + c] = column.z;
        m[12 + c] = column.w;
    }
    return out;
}

D3DMATRIX Identity()
{
    D3DMATRIX out;
    std::memset(&out, 0, sizeof out);
    out._11 = out._22 = out._33 = out._44 = 1.0f;
    return out;
}

} // namespace

void CRenderDevice::DrawUserPointer(const DrawState& s, D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                                    UINT stride)
{
    if (!vertices || count == 0)
        return;
    if (Active.Shaders) {
        pDevice->DrawPrimitiveUP(type, count, vertices, stride);
        return;
    }
    // Without shaders the fixed-function path takes the state's whole transform at once.
    const D3DMATRIX identity = Identity(), whole = WholeTransform(s);
    D3DMATRIX layer;
    std::memcpy(&layer, LayerProjection.m, sizeof layer);
    pDevice->SetFVF(stride == sizeof(VertexPNT) ? kTexturedFVF : kColouredFVF);
    pDevice->SetTransform(D3DTS_WORLD, &identity);
    pDevice->SetTransform(D3DTS_VIEW, &identity);
    pDevice->SetTransform(D3DTS_PROJECTION, &whole);
    pDevice->DrawPrimitiveUP(type, count, vertices, stride);
    pDevice->SetTransform(D3DTS_PROJECTION, &layer);
    pLastState = nullptr;
}

void CRenderDevice::DrawUserQuad(const DrawState& s, const void* vertices)
{
    DrawUserPointer(s, D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(VertexPNT));
}

// A block starts with a 16-bit 0 and the 16-bit vertex count: a polygon is one strip, lines
// one line strip.
void CRenderDevice::DrawPrimitiveBlock(const DrawState& s, const void* block)
{
    if (!block)
        return;
    unsigned short header[2];
    std::memcpy(header, block, sizeof header);
    const UINT count = header[1];
    const void* vertices = static_cast<const unsigned char*>(block) + 4;
    if (s.FamilyFlags & kFamilyFlagLines) {
        if (count >= 2)
            DrawUserPointer(s, D3DPT_LINESTRIP, count - 1, vertices, sizeof(PrimVertex));
    } else if (count >= 3) {
        DrawUserPointer(s, D3DPT_TRIANGLESTRIP, count - 2, vertices, sizeof(PrimVertex));
    }
}

void CRenderDevice::DrawParticleItem(const DrawState& s, const void* vertices)
{
    const PrimVertex* quad = static_cast<const PrimVertex*>(vertices);
    DrawUserPointer(s, D3DPT_TRIANGLESTRIP, 2, quad, sizeof(PrimVertex));
    if (s.Kind == kDrawParticles2)
        DrawUserPointer(s, D3DPT_TRIANGLESTRIP, 2, quad + 4, sizeof(PrimVertex));
}
