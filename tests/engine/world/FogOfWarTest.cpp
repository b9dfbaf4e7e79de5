// The fog of war over two locations built in memory: plotting and border carving against
// checked-in goldens (golden/), the saver's round trip through a saved-game stream, tinting,
// the placeholder manager, and the mini-map overlay's texels in the software device.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <d3d9_fake_adapter.h>

#include "../object/ObjectTestSupport.h"
#include "TerrainTestSupport.h"
#include "core/file/CZFile.h"
#include "engine/frontend/GMarkSelect.h"
#include "engine/frontend/GmvPointer.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CLoadSaveBuffer.h"
#include "engine/render/CDynamicTexture.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/render/TerrainDraw.h"
#include "engine/shell/GDebugManager.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"
#include "engine/zel/CZelFixupManager.h"
#include "core/names/CCRC32.h"

namespace {

const unsigned long kWriteByName = 0x000A;
const unsigned long kReadByName = 0x0009;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A golden under golden/; with MG_WRITE_GOLDEN set the file is written instead.
void ExpectGolden(const std::string& name, const std::string& text)
{
    const std::string path = std::string(MG_TESTS_DIR) + "/engine/world/golden/" + name;
    if (getenv("MG_WRITE_GOLDEN"))
        std::ofstream(path) << text;
    EXPECT_EQ(text, ReadText(path)) << name;
}

class FogOfWarTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        CGameTimer::tGameTime = 10.0f;
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create();
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        m_Maps.clear();
    }
    TestMap& AddMap(int width, int height, const CVector& origin)
    {
        m_Maps.emplace_back(new TestMap(width, height, 1, origin));
        m_Maps.back()->Build();
        return *m_Maps.back();
    }
    // Location A: 32 x 24 squares at the origin with one strip of its north side kept open;
    // location B: 20 x 20 squares at x = 40 with an empty list, so carved on all four sides.
    // Sprite i is decal 4 i (its four turns follow), found as 4 i + 1.
    void TwoLocations()
    {
        TestMap& a = AddMap(33, 25, CVector(0.0f, 0.0f, 0.0f));
        TestMap& b = AddMap(21, 21, CVector(40.0f, 0.0f, 0.0f));
        std::vector<CRendMap::DecalEntry> decals;
        for (int i = 0; i < 13; ++i)
            decals.push_back(CRendMap::DecalEntry{CCRC32(GFOWManager::FOWSpriteNames[i]), unsigned(4 * i)});
        a.SetBorderExcludes({BorderExclude{1, 16, 12}});
        a.SetDecals(decals);
        b.SetBorderExcludes({});
        b.SetDecals(decals);
    }
    static GFOWManager* Manager() { return GFOWManager::Create(); }
    // The grid as text, last row first: '#' visible, '+' the never-seen rim value, 'o' seen
    // before, '.' never seen.
    static std::string Picture(GFOWManager* fow)
    {
        std::string out;
        for (int r = fow->GetRows() - 1; r >= 0; --r) {
            for (int c = 0; c < fow->GetColumns(); ++c) {
                const float v = fow->GetCells()[r * fow->GetStride() + c];
                out += v > CGameTimer::tGameTime ? '#' : v == GFOWManager::RIM_VALUE ? '+' : v >= 0 ? 'o' : '.';
            }
            out += '\n';
        }
        return out;
    }
    std::vector<std::unique_ptr<TestMap>> m_Maps;
};

TEST_F(FogOfWarTest, GridCoversEveryLocationAndHandsEachItsCorner)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    ASSERT_EQ(GFOWManager::pThe, fow);
    EXPECT_EQ(fow->GetColumns(), 61);
    EXPECT_EQ(fow->GetRows(), 25);
    EXPECT_EQ(fow->GetStride(), 63);
    int stride = 0;
    EXPECT_EQ(GmvWorld::GetLocationFOWPtr(GmvWorld::LocationArray[0], stride), fow->GetCells());
    EXPECT_EQ(stride, 63);
    EXPECT_EQ(GmvWorld::GetLocationFOWPtr(GmvWorld::LocationArray[1], stride), fow->GetCells() + 40);
    EXPECT_EQ(CTerrainDraw::pFOW, static_cast<ITerrainFOW*>(fow));
    EXPECT_TRUE(GSectionMgr::pThe->HasGrid()) << "the manager has the section grid built";
    ASSERT_NE(GFOWSaver::pThe, nullptr);

    // Outside the grid: -1 to read, nothing written.
    struct Case {
        CVector At;
        float Want;
    };
    float seen = 4.0f;
    CVector inside(60.5f, 24.5f, 0.0f);
    fow->WriteFOW(inside, seen);
    const Case reads[] = {{{60.5f, 24.5f, 0}, 4.0f},
                          {{61.0f, 5.0f, 0}, -1.0f},
                          {{-0.001f, 5.0f, 0}, -1.0f},
                          {{5.0f, 25.0f, 0}, -1.0f},
                          {{5.0f, -0.5f, 0}, -1.0f}};
    for (const Case& c : reads) {
        CVector at = c.At;
        EXPECT_EQ(fow->ReadFOW(at), c.Want) << c.At.x << "," << c.At.y;
    }
    CVector outside(70.0f, 5.0f, 0.0f);
    fow->WriteFOW(outside, seen);
    for (int i = 0; i < fow->GetStorageCount(); ++i)
        EXPECT_TRUE(fow->GetStorage()[i] == -1.0f || fow->GetCells() + 24 * 63 + 60 == fow->GetStorage() + i);

    // A second manager stays inert and leaves the first in place when it goes.
    GFOWManager* second = Manager();
    EXPECT_FALSE(second->HasGrid());
    second->Destroy();
    EXPECT_EQ(GFOWManager::pThe, fow);
    fow->Destroy();
    EXPECT_EQ(GFOWManager::pThe, nullptr);
    EXPECT_EQ(GmvWorld::GetLocationFOWPtr(GmvWorld::LocationArray[0], stride), nullptr);
    EXPECT_EQ(CTerrainDraw::pFOW, nullptr);
}

TEST_F(FogOfWarTest, PlottedDiscsAgainstTheirGolden)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    const float until = CGameTimer::tGameTime + 3.5f;
    float visited = 0.5f;
    CVector far(11.5f, 6.5f, 0.0f); // distance r + 1 from the centre below
    fow->WriteFOW(far, visited);
    CVector centre(6.5f, 6.5f, 0.0f);
    fow->PlotFOW(4.0f, centre);
    EXPECT_EQ(fow->ReadFOW(centre), until);
    EXPECT_EQ(fow->ReadFOW(far), 0.5f) << "a visited square keeps its time";
    CVector rim(6.5f, 11.5f, 0.0f);
    EXPECT_EQ(fow->ReadFOW(rim), GFOWManager::RIM_VALUE);

    CVector edge(59.0f, 1.0f, 0.0f); // clipped at the grid's corner
    fow->PlotFOW(2.5f, edge);
    CVector away(100.0f, 100.0f, 0.0f); // wholly outside: nothing
    fow->PlotFOW(3.0f, away);
    CVector point(20.5f, 10.5f, 0.0f); // no sight: only the rim and its own square
    fow->PlotFOW(0.0f, point);
    ExpectGolden("fow_plot.txt", Picture(fow));

    // PlotFOWEx: mode 1 keeps greater values, mode 2 writes nothing.
    CVector ex(12.0f, 6.0f, 0.0f);
    fow->PlotFOWEx(2.0f, ex, 1.0f, 1);
    CVector within(10.5f, 6.5f, 0.0f);
    EXPECT_EQ(fow->ReadFOW(within), until);
    EXPECT_EQ(fow->ReadFOW(far), 1.0f) << "a lower value is raised";
    CVector fresh(12.5f, 6.5f, 0.0f);
    EXPECT_EQ(fow->ReadFOW(fresh), 1.0f);
    fow->PlotFOWEx(2.0f, ex, 50.0f, 2);
    EXPECT_EQ(fow->ReadFOW(fresh), 1.0f);
    fow->PlotFOWEx(2.0f, ex, 0.25f, 0);
    EXPECT_EQ(fow->ReadFOW(within), 0.25f);
}

// Passability and decal bytes of both locations after construction: A is open along its north
// strip, B carved all round; rings 0-1 fill, 2-5 graded sprites, 6-7 impassable only.
TEST_F(FogOfWarTest, CarvedBordersAgainstTheirGolden)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    std::string text;
    char hex[4];
    for (int m = 0; m < 2; ++m) {
        CRendMap* map = m_Maps[m]->Get();
        text += m == 0 ? "location A: passability | decal bytes\n" : "location B: passability | decal bytes\n";
        for (int r = map->Map.MapHeight - 1; r >= 0; --r) {
            for (int c = 0; c < map->Map.MapWidth; ++c)
                text += "0123456789ABCDEF"[map->Cell(c, r).Flags >> 4];
            text += " |";
            for (int c = 0; c < map->Map.MapWidth; ++c) {
                std::snprintf(hex, sizeof hex, " %02X", map->Cell(c, r).DecalIndex);
                text += hex;
            }
            text += '\n';
        }
    }
    ExpectGolden("fow_border.txt", text);
    for (int i = 0; i < fow->GetStorageCount(); ++i)
        ASSERT_EQ(fow->GetStorage()[i], -1.0f) << "nothing is seen after the carving";
}

// Every explored square comes back, the last row too, and a save of another grid is read past
// without losing step with the stream.
TEST_F(FogOfWarTest, SaveAndLoadRestoreEveryExploredSquare)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    CVector a(3.0f, 23.5f, 0.0f), b(58.0f, 2.0f, 0.0f);
    fow->PlotFOW(2.0f, a);
    fow->PlotFOW(1.0f, b);
    float now = 0.0f;
    CVector lastCorner(60.5f, 24.5f, 0.0f);
    fow->WriteFOW(lastCorner, now);
    std::vector<bool> explored;
    for (int i = 0; i < fow->GetStorageCount(); ++i)
        explored.push_back(fow->GetStorage()[i] >= 0.0f);

    const std::string path =
        (std::filesystem::temp_directory_path() / ("fow_save_" + std::to_string(getpid()) + ".bin")).string();
    {
        CZFile file;
        ASSERT_EQ(file.Open(path.c_str(), kWriteByName), 0);
        CLoadSaveBuffer stream;
        stream.Attach(&file, true);
        GFOWSaver::pThe->SaveEx(stream);
        stream.Write(0x600DF00Dul);
        // A save from a bigger grid, then the marker again.
        stream.Write(GFOWSaver::WordCount() + 3);
        for (unsigned long k = 0; k < GFOWSaver::WordCount() + 3; ++k)
            stream.Write(0xFFFFFFFFul);
        stream.Write(0x600DF00Dul);
        EXPECT_EQ(stream.Close(), 0);
        file.Close();
    }
    fow->Destroy();
    GFOWManager* again = Manager();
    {
        CZFile file;
        ASSERT_EQ(file.Open(path.c_str(), kReadByName), 0);
        CLoadSaveBuffer stream;
        stream.Attach(&file, false);
        GFOWSaver::pThe->LoadEx(stream);
        unsigned long marker = 0;
        stream.Read(marker);
        EXPECT_EQ(marker, 0x600DF00Dul);
        for (int i = 0; i < again->GetStorageCount(); ++i)
            ASSERT_EQ(again->GetStorage()[i], explored[i] ? 0.0f : -1.0f) << "storage value " << i;
        GFOWSaver::pThe->LoadEx(stream);
        stream.Read(marker);
        EXPECT_EQ(marker, 0x600DF00Dul);
        stream.Close();
        file.Close();
    }
    for (int i = 0; i < again->GetStorageCount(); ++i)
        ASSERT_EQ(again->GetStorage()[i], explored[i] ? 0.0f : -1.0f) << "unchanged by the foreign save";
    unlink(path.c_str());
}

TEST_F(FogOfWarTest, TintMovesColourTowardTheFogStateAndHidesWhatTheModeSays)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    fow->VisibleRGB = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
    fow->VisitedRGB = CVector4(0.5f, 0.5f, 0.5f, 1.0f);
    fow->UnvisitedRGB = CVector4(0.0f, 0.0f, 0.0f, 1.0f);
    CVector unseen(2.0f, 2.0f, 0.0f);
    CVector4 colour(0.5f, 0.5f, 0.5f, 1.0f);
    float rate = 0.1f;
    EXPECT_FALSE(fow->TintFOW(1.0f, colour, &unseen, nullptr, &rate));
    EXPECT_FLOAT_EQ(colour.w, 0.8f);
    EXPECT_FLOAT_EQ(colour.x, 0.3f);
    EXPECT_TRUE(fow->TintFOW(0.0f, colour, &unseen, nullptr, &rate));
    EXPECT_FLOAT_EQ(colour.w, 1.0f);

    // Visited hides only with mode 2; half a second of sight left blends halfway... and more.
    float then = 1.0f;
    fow->WriteFOW(unseen, then);
    EXPECT_TRUE(fow->TintFOW(1.0f, colour, &unseen, nullptr, &rate));
    EXPECT_FALSE(fow->TintFOW(2.0f, colour, &unseen, nullptr, &rate));
    float soon = CGameTimer::tGameTime + 1.0f;
    fow->WriteFOW(unseen, soon);
    CVector4 grey(0.0f, 0.0f, 0.0f, 0.0f);
    float big = 10.0f;
    EXPECT_TRUE(fow->TintFOW(2.0f, grey, &unseen, nullptr, &big));
    EXPECT_FLOAT_EQ(grey.x, 0.75f);
    EXPECT_FLOAT_EQ(grey.w, 1.0f);
}

// A selection mark follows the fog as its mode says: mode 0 ignores it, mode 1 hides the mark
// where the ground was never seen, mode 2 also where it is not seen now; it stands on the ground.
TEST_F(FogOfWarTest, SelectionMarksHideWhereTheirModeSaysTheFogHides)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    GPosRot* object = GPosRot::FromObject(GObject::Create(GPosRot::ClassId, HGOBJECT(0), nullptr));
    ASSERT_NE(object, nullptr);
    CVector at(5.5f, 5.5f, 30.0f);
    object->SetPos(at);
    GmvPointer* pointer = static_cast<GmvPointer*>(GObject::Create(GmvPointer::ClassId, HGOBJECT(0), nullptr));
    ASSERT_NE(pointer, nullptr);
    GMarkSelect* mark = pointer->CreateSelect(object);
    ASSERT_NE(mark, nullptr);
    CRendResource marker;
    mark->pResources[0] = &marker;
    CVector ground = at;
    ground.z = GmvWorld::GetHeight(static_cast<short>(GmvWorld::pThe->Viewport), ground);
    struct Case {
        float seen; // fog value written at the object; none when -1
        float mode;
        bool shown;
    } cases[] = {{-1, 0, true}, {-1, 1, false}, {-1, 2, false}, {1, 1, true},
                 {1, 2, false}, {20, 1, true},  {20, 2, true}};
    for (const Case& c : cases) {
        float value = c.seen;
        fow->WriteFOW(at, value);
        mark->FOWMode = c.mode;
        EXPECT_EQ(mark->Render(), !c.shown) << "seen " << c.seen << " mode " << c.mode;
        EXPECT_EQ(mark->GetResourceInUse(), c.shown ? &marker : nullptr) << "seen " << c.seen << " mode " << c.mode;
        EXPECT_EQ(mark->GetMarkPos(), ground);
    }
    pointer->Destroy();
}

TEST_F(FogOfWarTest, PlaceholderManagerBuildsTheSectionGridButNoFog)
{
    TwoLocations();
    GFOWManagerFaux* faux = GFOWManagerFaux::Create();
    EXPECT_EQ(GFOWManager::pThe, nullptr);
    EXPECT_TRUE(GSectionMgr::pThe->HasGrid());
    int stride = 7;
    EXPECT_EQ(GmvWorld::GetLocationFOWPtr(GmvWorld::LocationArray[0], stride), nullptr);
    EXPECT_EQ(stride, 0);
    EXPECT_EQ(CTerrainDraw::pFOW, nullptr);
    EXPECT_TRUE(faux->Asleep());
    // A real manager can follow it.
    GFOWManager* fow = Manager();
    EXPECT_EQ(GFOWManager::pThe, fow);
}

// The debug manager's fog icon: off, every square stays visible; on, every square counts as
// seen before, as of now.
TEST_F(FogOfWarTest, TheFogIconSwitchSetsTheWholeGrid)
{
    TwoLocations();
    GFOWManager* fow = Manager();
    GDebugManager* debug = GDebugManager::Create();
    ASSERT_NE(debug, nullptr);
    CGameTimer::tGameTime = 12.345f;
    CVector corner(0.5f, 0.5f, 0.0f), far(60.5f, 24.5f, 0.0f);
    for (int flip = 0; flip < 2; ++flip) {
        debug->ToggleFowIcon(nullptr);
        for (CVector* at : {&corner, &far}) {
            const float v = fow->ReadFOW(*at);
            if (debug->IsFowIconOn()) {
                EXPECT_LE(v, CGameTimer::tGameTime);
                EXPECT_GT(v, CGameTimer::tGameTime - 0.001f);
            } else {
                EXPECT_EQ(v, 1.0e30f);
            }
        }
    }
    debug->Destroy();
}

// The overlay in the software device: every texel shows the state of the square it samples.
TEST_F(FogOfWarTest, OverlayTexelsMatchTheExploredMap)
{
    FakeAdapter::Configure(FakeAdapter::Default());
    const auto folder = std::filesystem::temp_directory_path() / ("fow_overlay_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "run");
    std::ofstream(folder / "render.cfg") << "width: 640\nheight: 480\nwindowed:\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder / "run");
    CRenderer* renderer = CRenderer::Create();
    ASSERT_EQ(renderer->Init(nullptr, 0, 0), 0);

    TwoLocations();
    GFOWManager* fow = Manager();
    fow->VisibleMAP = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
    fow->VisitedMAP = CVector4(0.5f, 0.5f, 0.5f, 0.75f);
    fow->UnvisitedMAP = CVector4(0.0f, 0.0f, 0.2f, 1.0f);
    CVector a(4.0f, 4.0f, 0.0f), b(45.0f, 9.0f, 0.0f);
    fow->PlotFOW(3.0f, a);
    float before = 2.0f;
    fow->PlotFOWEx(3.0f, b, before, 0);
    // 61 x 25 squares drawn 2 texels a square: 122 x 50 texels in a 128-texel texture.
    // The mini-map's picture draws the overlay into the manager's corners.
    fow->SetOverlayCorners(CVector(100.0f, 100.0f, 0.0f), CVector(222.0f, 150.0f, 0.0f));
    CVector pictureAt(100.0f, 100.0f, 122.0f), pictureSize(50.0f, 0.0f, 0.0f);
    CRender picture;
    picture.Attach(&pictureAt, &pictureSize, nullptr, nullptr);
    CRenderDevice& device = CRenderer::GetDevice();
    device.BeginFrame();
    device.BeginLayer(0);
    static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("RendMiniMapImage")))->Render(&picture);
    EXPECT_EQ(device.EndLayer(), 0);
    device.EndFrame();
    ASSERT_EQ(fow->GetOverlaySide(), 128);
    int tw = 0, th = 0;
    fow->GetOverlayExtents(tw, th);
    EXPECT_EQ(tw, 122);
    EXPECT_EQ(th, 50);
    CDynamicTexture* texture = fow->GetOverlayTexture();
    const unsigned short* bits = static_cast<const unsigned short*>(texture->Lock());
    ASSERT_NE(bits, nullptr);
    int w, h, depth, pitch;
    texture->GetInfo(&w, &h, &depth, &pitch);
    EXPECT_EQ(pitch, 256);
    int counts[3] = {};
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const unsigned short texel = bits[y * (pitch / 2) + x];
            unsigned short want = 0xF003; // unvisited, also outside the drawn extents
            if (x < tw && y < th) {
                const float v = fow->GetCells()[(y / 2) * fow->GetStride() + x / 2];
                want = v < 0 ? 0xF003 : v > CGameTimer::tGameTime ? 0xFFFF : 0xB777;
                counts[want == 0xFFFF ? 0 : want == 0xB777 ? 1 : 2]++;
            }
            ASSERT_EQ(texel, want) << x << "," << y;
        }
    texture->Unlock();
    EXPECT_GT(counts[0], 0);
    EXPECT_GT(counts[1], 0);
    EXPECT_GT(counts[2], 0);

    fow->Destroy();
    ResetWorld();
    CRenderer::Shutdown();
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace
