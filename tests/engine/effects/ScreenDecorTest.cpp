// The screen decoration: its render shows in the viewport named by the low five bits of its
// Viewport and the object stays out of the section grid.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "engine/effects/GScreenDecor.h"

TEST_F(ObjectTest, ScreenDecorationsShowInTheirViewportAndStayOutOfTheGrid)
{
    const int cases[][2] = {{7, 7}, {0, 0}, {39, 7}, {31, 31}};
    for (const auto& c : cases) {
        FillData data;
        data.Int("Viewport", c[0]).Float("Locator.Position.X", 5.0f);
        GScreenDecor* decor =
            static_cast<GScreenDecor*>(GObject::Create(GScreenDecor::ClassId, HGOBJECT(0), data.Get()));
        ASSERT_NE(decor, nullptr);
        EXPECT_EQ(decor->Render.GetViewport(), c[1]) << c[0];
        EXPECT_FALSE(decor->bPlotted);
        EXPECT_FALSE(decor->bPlottable);
        EXPECT_EQ(decor->Render.GetPos(), &decor->Position);
        EXPECT_EQ(decor->Position.x, 5.0f);
        EXPECT_NE(decor->GetHandle(), HGOBJECT(0));
    }
}
