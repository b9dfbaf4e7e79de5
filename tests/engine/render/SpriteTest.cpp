// Sprites, fonts and logos from a packed file written by the independent fixture writer: they
// load, draw where their positions and World2Screen say (pixels from the screenshot reader),
// lay text out with its control codes, and the sprite quad lists hand their quads on as the
// effect list expects. A sprite and a font the converter cut from Pillow-made sheets draw with
// their own texture pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "../../support/RunCommand.h"

#include "RenderResourceSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CLogo.h"
#include "engine/render/CRender.h"
#include "engine/render/CSprite.h"
#include "engine/render/Camera.h"
#include "engine/render/CzFont.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

const D3DCOLOR kQuadrants[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
const D3DCOLOR kQuadrants2[4] = {0xFF00FFFF, 0xFFFF00FF, 0xFFFFFFFF, 0xFF808080};

template <class T> T* Exported(const char* name)
{
    return static_cast<T*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
}

std::string Point(float x, float y)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d", int(x), int(y));
    return text;
}

using SpriteTest = RenderResourceTest;

TEST_F(SpriteTest, QuadsBecomeStripsAndAnIncompleteQuadIsLeftOut)
{
    VertexPNT v[9];
    for (int i = 0; i < 9; ++i)
        v[i] = VertexPNT{float(i), float(10 * i), 0.5f, 0, 0, 1, 0, 0};
    BeginTestLayer(0);
    SubmitSpriteQuads(v, 9, nullptr, CVector4(1, 0, 0, 1), 0x408, 77);
    const std::vector<EffectEntry> entries = CurrentEffects();
    ASSERT_EQ(entries.size(), 2u);
    const VertexPNT* strip = static_cast<const VertexPNT*>(entries[1].pData);
    const float order[4] = {4, 5, 7, 6};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(strip[i].x, order[i]);
    EXPECT_EQ(entries[0].Priority, 77u);
    EXPECT_EQ(entries[0].pState, entries[1].pState);
    EXPECT_EQ(entries[0].pState->Kind, kDrawUserList);
    EXPECT_EQ(entries[0].pState->C(18).x, 1.0f);
    EXPECT_EQ(entries[0].pState->VertexCount, 9u);
    EndTestLayer();
}

// Records of one texture and colour go on together, at most 126 quads a submission; a colour
// change starts a new one; skipped records draw nothing and the last-record bit still ends the
// list even on a skipped record.
TEST_F(SpriteTest, SpriteListSubmissionsAndRecordFlags)
{
    SpriteFrame frame = {0, 0, -16, 16, -16, 16, 0, 4096, 0, 4096};
    SpriteBatch batch = {0, 1, 0, nullptr, &frame};
    std::vector<SpriteDrawRecord> records(140, SpriteDrawRecord{0, 0, 0, 0, 0, 1.0f, nullptr});
    const CVector4 red(1, 0, 0, 1);
    records[130].pColour = &red;
    records[131].Flags = SPRITE_RECORD_SKIP;
    records[132].Flags = SPRITE_RECORD_SKIP | SPRITE_RECORD_LAST; // the rest never draws
    BeginTestLayer(0);
    DrawSpriteList(5, &batch, records.data(), nullptr, nullptr, 0, sizeof(SpriteDrawRecord));
    const std::vector<EffectEntry> entries = CurrentEffects();
    EXPECT_EQ(entries.size(), 131u);
    std::vector<const DrawState*> states;
    for (const EffectEntry& e : entries)
        if (states.empty() || states.back() != e.pState)
            states.push_back(e.pState);
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[0]->VertexCount, 504u);
    EXPECT_EQ(states[1]->VertexCount, 16u);
    EXPECT_EQ(states[2]->VertexCount, 4u);
    EXPECT_EQ(states[2]->C(18).x, 1.0f);
    EXPECT_EQ(states[2]->C(18).y, 0.0f);
    // Flags: ((F & 0x31833) | 0x408) under the global mask.
    EXPECT_EQ(states[0]->RenderFlags, 0x408UL & CRenderer::GetRenderMask());
    EndTestLayer();
}

// An anchor outside the depth range draws nothing of the list; with own points only the
// records outside are left out.
TEST_F(SpriteTest, AnchorsAndOwnPointsOutsideTheDepthRange)
{
    SpriteFrame frame = {0, 0, -16, 16, -16, 16, 0, 4096, 0, 4096};
    SpriteBatch batch = {0, 1, 0, nullptr, &frame};
    SpriteDrawRecord records[3] = {{0, 0, 10, 10, 0.5f, 1.0f, nullptr},
                                   {0, 0, 10, 10, 3.0f, 1.0f, nullptr},
                                   {0, SPRITE_RECORD_LAST, 20, 20, -0.5f, 1.0f, nullptr}};
    BeginTestLayer(0); // viewport 0's screen map is the identity until a camera is loaded
    const CVector far(0, 0, 2.0f);
    DrawSpriteList(0, &batch, records, &far, nullptr, 0, sizeof(SpriteDrawRecord));
    EXPECT_EQ(CurrentEffects().size(), 0u);
    DrawSpriteList(0, &batch, records, nullptr, nullptr, SPRITE_OWN_POINTS, sizeof(SpriteDrawRecord));
    EXPECT_EQ(CurrentEffects().size(), 2u);
    EndTestLayer();
}

TEST_F(SpriteTest, PackedSpritesAndFontDrawWhereTheySayWithTheirTexels)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CSprite* screen = Exported<CSprite>("ScreenSprite");
    CSprite* world = Exported<CSprite>("WorldSprite");
    CzFont* font = Exported<CzFont>("TheFont");
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(world, nullptr);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(screen->GetAttachPointCount(), 2);
    TestTexture t0(CRenderer::GetDevice().GetDevice(), kQuadrants), t1(CRenderer::GetDevice().GetDevice(), kQuadrants2);
    for (CSprite* s : {screen, world}) {
        s->SpriteData.pTextures[0] = t0.Record();
        s->SpriteData.pTextures[1] = t1.Record();
    }

    // Viewport 0 looks down at the world from above and to the south.
    LoadTestCamera(CVector(0, -100, 80), CVector(0, 0, 0));

    CVector screenAt(100, 100, 0), partsAt(300, 100, 0), worldAt(-20, 10, 5), textAt(200, 300, 0);
    const CVector4 green(0, 1, 0, 1);
    CRender renders[4];
    renders[0].Attach(&screenAt, nullptr, nullptr, nullptr);
    renders[0].Attach(screen, 0);
    renders[1].Attach(&partsAt, nullptr, nullptr, nullptr);
    renders[1].Attach(screen, 0);
    renders[1].Index(1);
    renders[2].Attach(&worldAt, nullptr, nullptr, nullptr);
    renders[2].Attach(world, 0);
    renders[3].Attach(&textAt, nullptr, &green, nullptr);
    renders[3].Attach(font, 0);
    renders[3].AttachText("AB C");
    for (CRender& r : renders) {
        r.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
        r.Link();
    }
    renders[2].SetViewport(0);
    for (int i : {0, 1, 3})
        renders[i].SetViewport(7);

    float invW = 0;
    const CVector w = World2Screen(0, worldAt, invW);
    ASSERT_GT(w.x, 40.0f);
    ASSERT_LT(w.x, 600.0f);
    const std::string out =
        Frame("92,92 107,92 92,107 107,107 292,96 292,103 307,96 307,103 203,305 212,305 226,305 240,305 " +
              Point(w.x - 8, w.y - 8) + " " + Point(w.x + 7, w.y + 7) + " 400,400");
    for (CRender& r : renders)
        r.Unlink();
    EXPECT_EQ(out, Expect({{"92,92", "FF0000"},
                           {"107,92", "00FF00"},
                           {"92,107", "0000FF"},
                           {"107,107", "FFFF00"},
                           // the two-part frame: left half of texture 0, right half of texture 1
                           {"292,96", "FF0000"},
                           {"292,103", "0000FF"},
                           {"307,96", "FF00FF"},
                           {"307,103", "808080"},
                           // "AB C": A at 200, B at 209, the space 5 wide, C at 223
                           {"203,305", "00FF00"},
                           {"212,305", "00FF00"},
                           {"226,305", "00FF00"},
                           {"240,305", "000040"},
                           {Point(w.x - 8, w.y - 8), "FF0000"},
                           {Point(w.x + 7, w.y + 7), "FFFF00"},
                           {"400,400", "000040"}}));
}

// The golden layout: columns, line feeds with a tall glyph, absolute lines, a space without a
// glyph and a control code cut short by the end of the text.
TEST_F(SpriteTest, TextLaysOutWithItsControlCodes)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CzFont* font = Exported<CzFont>("TheFont");
    ASSERT_NE(font, nullptr);
    CVector at(10, 20, 0);
    CRender render;
    render.Attach(&at, nullptr, nullptr, nullptr);
    render.Attach(font, 0);
    SpriteDrawRecord records[16];
    const int count = font->Layout(&render,
                                   "AB\x07"
                                   "120C\nW{\nD\x0b"
                                   "200E F\x08"
                                   "0",
                                   records, 16);
    struct Glyph {
        char c;
        float x, y;
    };
    const Glyph golden[] = {{'A', 10, 20}, {'B', 19, 20}, {'C', 130, 20}, {'W', 10, 32},
                            {'{', 23, 32}, {'D', 10, 52}, {'E', 19, 200}, {'F', 33, 200}};
    ASSERT_EQ(count, 8);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(records[i].Frame, golden[i].c - 33) << i;
        EXPECT_EQ(records[i].x, golden[i].x) << golden[i].c;
        EXPECT_EQ(records[i].y, golden[i].y) << golden[i].c;
        EXPECT_EQ(records[i].Flags, i == count - 1 ? SPRITE_RECORD_LAST : 0u) << i;
    }
    // The list is bounded: glyphs past its room are left out.
    EXPECT_EQ(font->Layout(&render, "ABCDEFGH", records, 3), 3);
    // A rotation with a negative y runs the text upwards.
    CVector up(0, -1, 0);
    render.SetRot(&up);
    ASSERT_EQ(font->Layout(&render, "AW", records, 16), 2);
    EXPECT_EQ(records[1].y, 20.0f - 9.0f);
    EXPECT_EQ(records[1].x, 10.0f);
    // A space with a glyph is drawn as one.
    font->ASCII2Frame[32] = 0;
    render.SetRot(nullptr);
    ASSERT_EQ(font->Layout(&render, "A A", records, 16), 3);
    EXPECT_EQ(records[2].x, 28.0f);
}

// The metrics, stored and scaled to an 800 by 600 screen (pixel scale 0.8), and the font's
// flag bits as they were after a draw.
TEST_F(SpriteTest, FontMetricsAndFlagsAfterADraw)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CzFont* font = Exported<CzFont>("TheFont");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetCharWidth('A'), 9);
    EXPECT_EQ(font->GetCharWidth('W'), 13);
    EXPECT_EQ(font->GetCharWidth(' '), 5);
    EXPECT_EQ(font->GetCharWidth('\x01'), 0);
    EXPECT_EQ(font->GetLineHeight(), 12);
    int low = 0, high = 0;
    font->GetCharWidthRange(&low, &high);
    EXPECT_EQ(low, 5);
    EXPECT_EQ(high, 13);

    CVector at(10, 20, 0);
    CRender render;
    render.Attach(&at, nullptr, nullptr, nullptr);
    render.Attach(font, 0);
    render.AttachText("AB");
    render.SetViewport(7);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();
    Renderer->Process();
    EXPECT_EQ(font->SpriteData.Flags, 0x110UL); // not turned into a screen-scaled font
    render.Unlink();

    ASSERT_TRUE(CRenderer::GetDevice().SwitchDisplayMode(
        RenderConfigState{800, 600, 32, 1, 0, 0, 5, D3DFMT_X8R8G8B8, D3DFMT_D24S8, 0}));
    font->SpriteData.Flags |= SPRITE_BATCH_PIXEL_SCALE;
    EXPECT_EQ(font->GetCharWidth('A'), 7); // 9 x 0.8 + 0.4999
    EXPECT_EQ(font->GetLineHeight(), 10);  // 12 x 0.8 + 0.4999
    EXPECT_EQ(font->GetSpaceSize(), 4);    // 5 x 0.8 + 0.4999
    EXPECT_EQ(font->GetKerning(), 1);      // 0.8 + 0.4999
}

TEST_F(SpriteTest, MultiPartFrameBoxIsCachedByFrame)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CSprite* sprite = Exported<CSprite>("ScreenSprite");
    ASSERT_NE(sprite, nullptr);
    RECT box;
    sprite->GetBoundingBox(box, 1);
    EXPECT_EQ(box.left, -16);
    EXPECT_EQ(box.right, 16);
    EXPECT_EQ(box.top, -8);
    EXPECT_EQ(box.bottom, 8);
    sprite->SpriteData.pFrames[1].Left = -40 * 16;
    sprite->GetBoundingBox(box, 1);
    EXPECT_EQ(box.left, -16); // the same frame: the cached box
    sprite->GetBoundingBox(box, 0);
    EXPECT_EQ(box.top, -16);
    sprite->GetBoundingBox(box, 1);
    EXPECT_EQ(box.left, -40);

    CVector at(50, 60, 0);
    CRender render;
    render.Attach(&at, nullptr, nullptr, nullptr);
    render.Attach(sprite, 0);
    int found = 0;
    EXPECT_EQ(sprite->GetAttachPoint(&render, 1, found, nullptr), CVector(40, 72, 0));
    EXPECT_EQ(found, 1);
    EXPECT_EQ(sprite->GetAttachPoint(&render, -1, found, nullptr), CVector(50, 60, 0));
    sprite->GetAttachPoint(&render, 2, found, nullptr);
    EXPECT_EQ(found, 0);
}

// A sprite hung in a skeleton draws with its node's matrix where World2Screen puts the node,
// and is never entered for picking, even when it names an object.
TEST_F(SpriteTest, SpriteInASkeletonDrawsWithTheNodeMatrix)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CSprite* world = Exported<CSprite>("WorldSprite");
    ASSERT_NE(world, nullptr);
    TestTexture t0(CRenderer::GetDevice().GetDevice(), kQuadrants);
    world->SpriteData.pTextures[0] = t0.Record();
    LoadTestCamera(CVector(0, -100, 80), CVector(0, 0, 0));

    CVector at(15, -5, 0), turn(0, 0, 0);
    CRender render;
    render.Attach(&at, &turn, nullptr, nullptr);
    render.Attach(world, 0);
    ASSERT_NE(world->GetSkeleton(&render), nullptr);
    ASSERT_NE(render.GetResource(), world); // the skeleton took its place
    render.SetSelectable(HGOBJECT(0x10001));
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.Link();
    float invW = 0;
    const CVector w = World2Screen(0, at, invW);
    const std::string out = Frame(Point(w.x - 8, w.y - 8) + " " + Point(w.x + 7, w.y + 7) + " 400,400");
    render.Unlink();
    EXPECT_EQ(
        out, Expect({{Point(w.x - 8, w.y - 8), "FF0000"}, {Point(w.x + 7, w.y + 7), "FFFF00"}, {"400,400", "000040"}}));
    // The skeleton is picked as a whole; its sprite node adds no entry of its own.
    EXPECT_EQ(CRender::pSelected - CRender::SelectedList, 1);
}

// A logo shows while its file loads: four frames of layer 4 alone, presented, and the layer
// is switched off again. With no layer 4 it draws nothing.
TEST_F(SpriteTest, LogoShowsWhileItsFileLoads)
{
    WriteFixtures();
    CRenderDevice& device = CRenderer::GetDevice();
    Renderer->ConfigureLayers(4);
    {
        CZelFile file;
        ASSERT_EQ(file.Load("logo.zel"), 0);
    }
    Renderer->ConfigureLayers(8);
    CZelFile file;
    ASSERT_EQ(file.Load("logo.zel"), 0);
    ASSERT_NE(Exported<CLogo>("TestLogo"), nullptr);
    EXPECT_EQ(Renderer->LayerIsEnabled(4), 0);
    // The last logo frame is still in the buffers: present it once more with a screenshot.
    const int number = device.GetScreenshotCount();
    device.SetScreenshotRequest(1);
    device.PresentFrame();
    device.SetScreenshotRequest(0);
    EXPECT_EQ(ReadShotPixels(Game->Shot(number), "320,100 10,230 320,360 100,360"),
              Expect({{"320,100", "FFFFFF"}, {"10,230", "FFFFFF"}, {"320,360", "FFFFFF"}, {"100,360", "000000"}}));
}

#ifdef MG_WEXLORN
// The sheet's frame is an 8 by 6 block, cyan with a white 4 by 3 corner at its top left, whose
// hot spot is 2,2; the font strip's glyphs are white cells 3, 2 and 4 wide and 7 high, for A, B
// and D, one pixel apart when set.
TEST_F(SpriteTest, ConvertedSpritesAndTextDrawWithTheirOwnPages)
{
    CZelFile::LoadChunkCategories(0x11);
    const std::string oracle = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/converter/import2d/asset_oracle.py ";
    for (const char* made : {"sheet marked.png", "font strip.png"})
        ASSERT_EQ(mgtest::RunCommand(oracle + made + " 2>&1").exitCode, 0) << made;
    {
        std::FILE* script = std::fopen("converted.rhu", "w");
        ASSERT_NE(script, nullptr);
        std::fputs("Sprite Marked marked.png SCREEN\nFont Strip strip.png 65 4 1 2 SCREEN\n", script);
        std::fclose(script);
    }
    const mgtest::CommandResult run = mgtest::RunCommand(std::string(MG_WEXLORN) + " . 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    CZelFile file;
    ASSERT_EQ(file.Load("converted.zel"), 0);
    CSprite* sprite = Exported<CSprite>("Marked");
    CzFont* font = Exported<CzFont>("Strip");
    ASSERT_NE(sprite, nullptr);
    ASSERT_NE(font, nullptr);

    CVector spriteAt(100, 100, 0), textAt(200, 300, 0);
    CRender renders[2];
    renders[0].Attach(&spriteAt, nullptr, nullptr, nullptr);
    renders[0].Attach(sprite, 0);
    renders[1].Attach(&textAt, nullptr, nullptr, nullptr);
    renders[1].Attach(font, 0);
    renders[1].AttachText("ABD");
    for (CRender& r : renders) {
        r.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
        r.SetViewport(7);
        r.Link();
    }
    const std::string out = Frame("99,99 104,102 97,99 106,102 201,303 205,305 209,303 215,303 260,303");
    for (CRender& r : renders)
        r.Unlink();
    EXPECT_EQ(out, Expect({{"99,99", "FFFFFF"},
                           {"104,102", "00FFFF"},
                           {"97,99", "000040"},
                           {"106,102", "000040"},
                           // A at 200, B at 204, D at 207
                           {"201,303", "FFFFFF"},
                           {"205,305", "FFFFFF"},
                           {"209,303", "FFFFFF"},
                           {"215,303", "000040"},
                           {"260,303", "000040"}}));
}

// A sprite converted with its own animation starts it when attached: the frame shown follows
// the animation's keys (cyan block, then the same block yellow half a second later).
TEST_F(SpriteTest, ConvertedSpritePlaysItsOwnAnimation)
{
    CZelFile::LoadChunkCategories(0x11);
    const std::string python = std::string(MG_PYTHON) + " ";
    ASSERT_EQ(mgtest::RunCommand(python + MG_TESTS_DIR + "/converter/import2d/asset_oracle.py sheet marked.png 2>&1")
                  .exitCode,
              0);
    const mgtest::CommandResult recolour = mgtest::RunCommand(
        python +
        "-c \"from PIL import Image; i = Image.open('marked.png').convert('RGB'); "
        "i.putdata([(255, 255, 0) if p == (0, 255, 255) else p for p in i.getdata()]); i.save('yellow.png')\" 2>&1");
    ASSERT_EQ(recolour.exitCode, 0) << recolour.output;
    {
        std::FILE* script = std::fopen("animated.rhu", "w");
        ASSERT_NE(script, nullptr);
        std::fputs("Sprite ANIM Blink { marked.png 0.5 yellow.png 0.5 } SCREEN LOOP\n", script);
        std::fclose(script);
    }
    const mgtest::CommandResult run = mgtest::RunCommand(std::string(MG_WEXLORN) + " . 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    CZelFile file;
    ASSERT_EQ(file.Load("animated.zel"), 0);
    CSprite* sprite = Exported<CSprite>("Blink");
    ASSERT_NE(sprite, nullptr);
    ASSERT_NE(sprite->pAnimation, nullptr);

    CVector at(100, 100, 0);
    CRender render;
    render.Attach(&at, nullptr, nullptr, nullptr);
    render.Attach(sprite, 0);
    ASSERT_NE(render.GetAnimator(), nullptr);
    render.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
    render.SetViewport(7);
    render.Link();
    ASSERT_EQ(sprite->SpriteData.NumFrames, 2);
    // The bottom right pixel of the frame's box lies in its block.
    auto corner = [&](int frame) {
        const SpriteFrame& f = sprite->SpriteData.pFrames[frame];
        return Point(at.x + f.Right / 16 - 1, at.y + f.Bottom / 16 - 1);
    };
    // The frame animates every render with an animator before it draws.
    CGameTimer::tFrameTime = 0.0f;
    const std::string first = Frame(corner(0));
    CGameTimer::tFrameTime = 0.6f;
    const std::string second = Frame(corner(1));
    EXPECT_EQ(render.Index(), 1);
    CGameTimer::tFrameTime = 0.5f;
    const std::string third = Frame(corner(0)); // looped back to the first frame
    EXPECT_EQ(render.Index(), 0);
    CGameTimer::tFrameTime = 0.0f;
    render.Unlink();
    EXPECT_EQ(first, Expect({{corner(0), "00FFFF"}}));
    EXPECT_EQ(second, Expect({{corner(1), "FFFF00"}}));
    EXPECT_EQ(third, Expect({{corner(0), "00FFFF"}}));
}
#endif

} // namespace
