// Developer aids: debug markers hang under the objects they mark and are listed, and the
// analyzer's note shows on the overlay while the analyzer collects.
#include <gtest/gtest.h>

#include "RenderResourceSupport.h"
#include "engine/object/GPosRot.h"
#include "engine/render/CzFont.h"
#include "engine/shell/GAnalyzerUI.h"
#include "engine/shell/GDebugManager.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

using DebugObjectTest = RenderResourceTest;

TEST_F(DebugObjectTest, MarkersHangUnderTheirOwnerAndAreListed)
{
    GDebugManager* manager = GDebugManager::Create();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(GDebugManager::pThe, manager);
    EXPECT_TRUE(manager->IsUnitCollisionOn());
    EXPECT_FALSE(manager->IsCollisionRadiusDisplayOn());
    EXPECT_TRUE(manager->IsFowIconOn());
    EXPECT_EQ(manager->GetDebugMode(), 31u);
    EXPECT_TRUE(GDebugManager::DebugList.empty());

    GPosRot* owner = GPosRot::Create();
    GDebug* first = GDebugManager::CreateDebugObject(owner);
    GDebug* second = GDebugManager::CreateDebugObject(owner);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->GetParent(), owner);
    EXPECT_EQ(second->GetParent(), owner);
    ASSERT_EQ(GDebugManager::DebugList.size(), 2u);
    EXPECT_EQ(GDebugManager::DebugList[0], first->GetHandle());
    EXPECT_EQ(GDebugManager::DebugList[1], second->GetHandle());
    EXPECT_NE(first->GetHandle(), second->GetHandle());
    EXPECT_EQ(GDebugManager::CreateDebugObject(nullptr), nullptr);

    manager->ToggleFowIcon(nullptr);
    EXPECT_FALSE(manager->IsFowIconOn());
    manager->Destroy();
    GObject::DestroyObjects();
    EXPECT_EQ(GDebugManager::pThe, nullptr);
}

// The note is drawn with "TheFont" at (10, 10) of the overlay only while collecting; with no
// controller it never shows.
TEST_F(DebugObjectTest, AnalyzerNoteShowsWhileCollecting)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CzFont* font = static_cast<CzFont*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("TheFont")));
    ASSERT_NE(font, nullptr);
    const D3DCOLOR white[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    TestTexture glyphs(CRenderer::GetDevice().GetDevice(), white);
    font->SpriteData.pTextures[0] = glyphs.Record();

    GAnalyzerUI* ui = GAnalyzerUI::Create();
    ASSERT_NE(ui, nullptr);
    const std::string hidden = Expect({{"13,13", "000040"}});
    ui->Process();
    EXPECT_EQ(Frame("13,13"), hidden);
    {
        CAnalyzerController controller;
        ui->Process();
        EXPECT_EQ(Frame("13,13"), hidden);
        AnalyzerToggle();
        ui->Process();
        EXPECT_EQ(Frame("13,13"), Expect({{"13,13", "FFFFFF"}})); // inside the "D"
        AnalyzerToggle();
        ui->Process();
        EXPECT_EQ(Frame("13,13"), hidden);
        AnalyzerToggle();
    }
    EXPECT_FALSE(AnalyzerIsCollecting());
    ui->Process(); // no controller: left as it is
    ui->Destroy();
    GObject::DestroyObjects();
}

} // namespace
