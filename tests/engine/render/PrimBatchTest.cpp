// Immediate-mode primitives: the strip order of polygons, closed line loops, particle
// reservations, the draw state a batch's stages give, and a screen polygon's pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "RenderResourceSupport.h"
#include "engine/render/CRender.h"
#include "engine/render/CRendResource.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

namespace {

// The x of every stored vertex of a primitive block (the tests number vertices by x).
std::vector<int> StoredOrder(const EffectEntry& e)
{
    unsigned short header[2];
    std::memcpy(header, e.pData, sizeof header);
    const PrimVertex* v = reinterpret_cast<const PrimVertex*>(static_cast<const unsigned char*>(e.pData) + 4);
    std::vector<int> out;
    for (int i = 0; i < header[1]; ++i)
        out.push_back(int(v[i].x));
    return out;
}

class PrimBatchTest : public RenderResourceTest {
protected:
    static void Primitive(int count, float z = 0.0f)
    {
        StartPrimitive(0);
        for (int i = 0; i < count; ++i)
            AddPrimitiveVertex(CVector(float(i), 0, z));
        EndPrimitive();
    }
};

TEST_F(PrimBatchTest, PolygonsBecomeStripsFromTheMiddleAndLinesClose)
{
    BeginTestLayer(0);
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, 0, nullptr);
    Primitive(2); // too few for a polygon: dropped
    Primitive(3);
    Primitive(4);
    Primitive(5);
    SetPrimitiveStage(0, 0, STAGE_LINES, nullptr);
    Primitive(4);
    Primitive(2);
    Primitive(1);
    StartPrimitive(1); // a type that draws nothing
    for (int i = 0; i < 3; ++i)
        AddPrimitiveVertex(CVector(float(i), 0, 0));
    EndPrimitive();
    const std::vector<EffectEntry> e = CurrentEffects();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(StoredOrder(e[0]), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(StoredOrder(e[1]), (std::vector<int>{1, 2, 0, 3}));
    EXPECT_EQ(StoredOrder(e[2]), (std::vector<int>{2, 3, 1, 4, 0}));
    EXPECT_EQ(StoredOrder(e[3]), (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(StoredOrder(e[4]), (std::vector<int>{0, 1}));
    EXPECT_EQ(e[0].pState->Kind, kDrawImmediate);
    EXPECT_FALSE(e[0].pState->FamilyFlags & kFamilyFlagLines);
    EXPECT_TRUE(e[3].pState->FamilyFlags & kFamilyFlagLines);
    EXPECT_NE(e[0].pState, e[3].pState);
    EndTestLayer();
}

TEST_F(PrimBatchTest, ParticleReservations)
{
    BeginTestLayer(0);
    BeginPrimitives(0, 1, 1);
    SetPrimitiveStage(0, 0, 0, nullptr);
    int granted = -1;
    EXPECT_EQ(ReserveParticleQuads(5, 10, &granted), nullptr);
    EXPECT_EQ(granted, 0);
    PrimVertex* items = ReserveParticleQuads(4, 100, &granted);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(granted, 64);
    for (int i = 0; i < 64 * 8; ++i)
        items[i] = PrimVertex{float(i), 0, 0, 0, 0, 1, 0xFFFFFFFF, 0, 0};
    SubmitParticleQuads();
    const std::vector<EffectEntry> e = CurrentEffects();
    ASSERT_EQ(e.size(), 64u);
    EXPECT_EQ(e[0].pState->Kind, kDrawParticles2);
    EXPECT_EQ(e[1].pData, items + 8); // two quads, 288 bytes, an item
    EndTestLayer();
}

// The draw state a batch's stages give: colours of the default record, the fog scale by space
// and viewport, render flags, and stage 1 reaching nothing while stage 0 is the last entry.
TEST_F(PrimBatchTest, StagesGiveTheDrawState)
{
    BeginTestLayer(0);
    auto state = [](int space, unsigned stageFlags) {
        BeginPrimitives(0x4043 | 0x80, 1, space);
        SetPrimitiveStage(0, 0, int(stageFlags), nullptr);
        StartPrimitive(0);
        for (int i = 0; i < 3; ++i)
            AddPrimitiveVertex(CVector(float(i), 1, 0));
        EndPrimitive();
        return *GetPrimitiveBatchInfo().pState;
    };
    const DrawState lit = state(1, STAGE_LIT | 0x10);
    EXPECT_EQ(lit.ShaderSlot, ShaderSlot(kFamilyVertexColour, true));
    for (int reg : {16, 17})
        EXPECT_EQ(lit.C(reg).x + lit.C(reg).y + lit.C(reg).z + lit.C(reg).w, 4.0f) << reg;
    EXPECT_EQ(lit.C(18).x + lit.C(18).y + lit.C(18).z, 0.0f);
    EXPECT_EQ(lit.C(18).w, 1.0f);
    EXPECT_EQ(lit.C(1).x, 1.0f); // world space on viewport 0: fogged
    // The batch keeps flags & 0x7C3, of which the draw takes 0x4043: 0x43 here.
    EXPECT_EQ(lit.RenderFlags, (0x43UL | 0x10UL) & CRenderer::GetRenderMask());
    const DrawState unlit = state(0, 0);
    EXPECT_EQ(unlit.ShaderSlot, ShaderSlot(kFamilyVertexColour, false));
    EXPECT_EQ(unlit.C(16).x, 0.0f);
    EXPECT_EQ(unlit.C(1).x, 0.0f); // screen space: no fog
    SelectViewport(7);
    EXPECT_EQ(state(1, 0).C(1).x, 0.0f); // the overlay viewport: no fog
    SelectViewport(0);

    // Stage 1 changes mark the batch dirty, yet the state they give is the same.
    Material half = DefaultStageRecord();
    half.Flags = Material::REPLACE_ALPHA;
    half.Alpha = 0.5f;
    BeginPrimitives(0, 2, 1);
    SetPrimitiveStage(0, 0, 0, nullptr);
    SetPrimitiveStage(1, 0, 0, &half);
    Primitive(3);
    const DrawState* first = GetPrimitiveBatchInfo().pState;
    SetPrimitiveStageFloat(1, 0.25f);
    EXPECT_TRUE(GetPrimitiveBatchInfo().Dirty);
    Primitive(3);
    const DrawState* second = GetPrimitiveBatchInfo().pState;
    EXPECT_NE(first, second);
    EXPECT_EQ(std::memcmp(first->Constants, second->Constants, sizeof first->Constants), 0);
    EXPECT_EQ(first->RenderFlags, second->RenderFlags);
    // Without the mark on stage 0, stage 1's record overrides it: alpha and blending.
    Material open = DefaultStageRecord();
    open.Flags = 0;
    SetPrimitiveStage(0, 0, 0, &open);
    Primitive(3);
    const DrawState* third = GetPrimitiveBatchInfo().pState;
    EXPECT_EQ(third->C(18).w, 0.25f);
    EXPECT_TRUE(third->RenderFlags & DRAW_ALPHA_BLEND);

    // A shared texture record draws the device texture of the record it repeats.
    const D3DCOLOR red[4] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    TestTexture own(CRenderer::GetDevice().GetDevice(), red);
    unsigned long shared[3] = {0, reinterpret_cast<unsigned long>(own.Record()), 1};
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(shared));
    Primitive(3);
    EXPECT_EQ(GetPrimitiveBatchInfo().pState->pTexture, own.Internal);
    EndTestLayer();
}

// Polygons and lines in the overlay's pixels, and the farther of two equal-priority
// primitives drawn first.
TEST_F(PrimBatchTest, ScreenPolygonsAndLinesDraw)
{
    struct Shapes : CRendResource {
        void Render(CRender*) override
        {
            BeginPrimitives(0, 1, 0);
            SetPrimitiveStage(0, 0, 0, nullptr);
            SetPrimitiveColor(CVector4(255, 0, 0, 255));
            StartPrimitive(0);
            for (CVector p :
                 {CVector(50, 50, 0.5f), CVector(100, 50, 0.5f), CVector(100, 100, 0.5f), CVector(50, 100, 0.5f)})
                AddPrimitiveVertex(p);
            EndPrimitive();
            // A green square over the red one's right half, nearer: drawn after it.
            SetPrimitiveColor(CVector4(0, 255, 0, 255));
            StartPrimitive(0);
            for (CVector p :
                 {CVector(75, 50, 0.2f), CVector(100, 50, 0.2f), CVector(100, 100, 0.2f), CVector(75, 100, 0.2f)})
                AddPrimitiveVertex(p);
            EndPrimitive();
            SetPrimitiveStage(0, 0, STAGE_LINES, nullptr);
            SetPrimitiveColor(CVector4(255, 255, 255, 255));
            StartPrimitive(0);
            AddPrimitiveVertex(CVector(200, 40, 0));
            AddPrimitiveVertex(CVector(300, 40, 0));
            EndPrimitive();
            EndPrimitives();
        }
    } shapes;
    CVector at(0, 0, 0);
    CRender render;
    render.Attach(&at, nullptr, nullptr, nullptr);
    render.Attach(&shapes, 0);
    render.SetViewport(7);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();
    const std::string out = Frame("60,75 90,75 250,40 250,60");
    render.Unlink();
    EXPECT_EQ(out, Expect({{"60,75", "FF0000"}, {"90,75", "00FF00"}, {"250,40", "FFFFFF"}, {"250,60", "000040"}}));
}

} // namespace
