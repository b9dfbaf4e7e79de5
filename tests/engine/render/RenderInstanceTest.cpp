// The render instance a game object embeds: its set-up values, the display and animated lists,
// attaching resources with their workspaces, and the collision queries it forwards to the
// resource's collision block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/math/C2DMath.h"
#include "core/names/CCRC32.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/render/CRender.h"
#include "engine/world/CCollisionData.h"
#include "engine/world/CSphereCollision.h"

namespace {

class CTestWorkspace : public CRendWorkspace {
public:
    ~CTestWorkspace() override { ++Released; }
    void AttachText(const char* text) override { Text = text; }

    static int Released;
    std::string Text;
};
int CTestWorkspace::Released = 0;

class CTestResource : public CRendResource {
public:
    explicit CTestResource(CCollisionData* data = nullptr) : pData(data) {}

    CRendWorkspace* OnAttach(CRender*) override
    {
        ++Attached;
        return new CTestWorkspace;
    }
    void OnUnLink(CRender*) override { ++Unlinked; }
    CCollisionData* GetCollisionData() override { return pData; }

    CCollisionData* pData;
    int Attached = 0;
    int Unlinked = 0;
};

// A collision block of one sphere, laid out as packed data stores it and built in place.
class SphereBlock {
public:
    SphereBlock(float plotX, unsigned long radiusAndFlags, float offsetX, float radius)
    {
        std::memset(bytes, 0, sizeof bytes);
        std::memcpy(bytes, &plotX, 4);
        std::memcpy(bytes + 8, &radiusAndFlags, 4);
        bytes[12 + 6] = CBaseCollision::COLLISION_SPHERE;
        std::memcpy(bytes + 12 + 8, &offsetX, 4);
        std::memcpy(bytes + 12 + 20, &radius, 4);
        ZelConstructInPlace<CSphereCollision>(bytes + 12);
    }
    CCollisionData* Data() { return reinterpret_cast<CCollisionData*>(bytes); }

private:
    alignas(4) unsigned char bytes[12 + 24];
};

// 1.5 with the collision categories 0x1A in its low bits.
const unsigned long kRadiusWithFlags = 0x3FC0001A;

TEST(RenderInstance, StartsWithItsDefaultsAndKeepsSetUpValuesInRange)
{
    CRender render;
    EXPECT_EQ(render.GetFlags(), 2ul);
    EXPECT_EQ(render.GetMergedPriority(), 0x40008000ul);
    EXPECT_EQ(render.GetViewport(), 0);
    EXPECT_EQ(render.GetResource(), nullptr);
    EXPECT_EQ(render.GetPlottingRadius(nullptr), 0.0f);
    EXPECT_EQ(render.IsLinked(), 0);

    render.SetViewport(33);
    EXPECT_EQ(render.GetViewport(), 1);
    render.SetSortModifier(-5);
    EXPECT_EQ(render.GetMergedPriority() & 0xFFFF, 0x7FFBul);
    EXPECT_EQ(render.GetSortModifier(), -5);
    render.SetPriority(0x1234);
    EXPECT_EQ(render.GetMergedPriority(), 0x12347FFBul);

    // Only the option bits 1 to 4 change, whatever the mask says.
    render.SetFlags(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(render.GetFlags(), 0x1Eul);
    render.SetFlags(0, 0x04);
    EXPECT_EQ(render.GetFlags(), 0x1Aul);
}

TEST(RenderInstance, LinkMovesAnAnimatedRenderToTheDisplayListOnce)
{
    CTestResource resource;
    CRender render;
    render.Attach(&resource, 0);
    render.LinkAnimated();
    EXPECT_EQ(render.GetFlags() & CRender::FLAG_ANIMATED, 1ul);
    EXPECT_EQ(render.IsLinked(), 0);

    render.Link();
    EXPECT_NE(render.IsLinked(), 0);
    EXPECT_EQ(render.GetFlags() & CRender::FLAG_ANIMATED, 0ul);
    EXPECT_EQ(resource.Unlinked, 1);
    render.Link();
    render.LinkAnimated(); // an already listed render stays where it is
    EXPECT_NE(render.IsLinked(), 0);
    EXPECT_EQ(resource.Unlinked, 1);

    render.SetLink(false);
    EXPECT_EQ(render.IsLinked(), 0);
    EXPECT_EQ(resource.Unlinked, 2);
    render.Unlink(); // the resource hears of it even when the render was in no list
    EXPECT_EQ(resource.Unlinked, 3);
}

TEST(RenderInstance, UnlinkingOneRenderKeepsTheOthersListed)
{
    CTestResource resource;
    CRender first, second, third;
    for (CRender* render : {&first, &second, &third}) {
        render->Attach(&resource, 0);
        render->Link();
    }
    second.Unlink();
    EXPECT_NE(first.IsLinked(), 0);
    EXPECT_NE(third.IsLinked(), 0);
    third.Unlink();
    first.Unlink();
    EXPECT_EQ(first.IsLinked(), 0);
    {
        CRender dying;
        dying.Attach(&resource, 0);
        dying.Link();
        resource.Unlinked = 0;
    } // its destructor takes it out of the list
    EXPECT_EQ(resource.Unlinked, 1);
}

TEST(RenderInstance, AttachingAResourceMakesAWorkspaceAndTakesThePlottingCircle)
{
    SphereBlock offset(2.0f, kRadiusWithFlags, 2.0f, 0.5f);
    CTestResource withData(offset.Data()), plain;
    CVector pos(0, 0, 0), rot(0, 0, 1.57079633f);
    CRender render;
    render.Attach(&pos, &rot, nullptr, nullptr);
    CTestWorkspace::Released = 0;

    render.Attach(&withData, 0);
    ASSERT_NE(render.GetWorkspace(), nullptr);
    CVector centre;
    EXPECT_NEAR(render.GetPlottingRadius(&centre), 1.5f, 1e-5f);
    EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
    EXPECT_NEAR(centre.y, 2.0f, 1e-5f);
    EXPECT_EQ(render.GetCollisionFlags(), 0x1Aul);

    // The same resource again keeps everything.
    render.Index(3);
    CRendWorkspace* workspace = render.GetWorkspace();
    render.Attach(&withData, 0);
    EXPECT_EQ(render.GetWorkspace(), workspace);
    EXPECT_EQ(render.Index(), 3);
    EXPECT_EQ(withData.Attached, 1);

    // Another releases the workspace, restarts the index and drops the plotting circle.
    render.Attach(&plain, 0);
    EXPECT_EQ(CTestWorkspace::Released, 1);
    EXPECT_EQ(render.Index(), 0);
    EXPECT_EQ(render.GetPlottingRadius(nullptr), 0.0f);
    EXPECT_EQ(render.GetCollisionFlags(), 0ul);
    EXPECT_TRUE(render.IsCollisionSimple());

    // Detaching keeps the plotting values: the object is still plotted with them.
    render.Attach(&withData, 0);
    render.DetachResource();
    EXPECT_EQ(render.GetResource(), nullptr);
    EXPECT_EQ(render.GetWorkspace(), nullptr);
    EXPECT_NEAR(render.GetPlottingRadius(nullptr), 1.5f, 1e-5f);
}

TEST(RenderInstance, CollisionWithoutDataFindsNothing)
{
    CTestResource plain;
    CVector pos(0, 0, 0), a(-1, 0, 0), b(1, 0, 0);
    CRender render, other;
    render.Attach(&pos, nullptr, nullptr, nullptr);
    for (int withResource = 0; withResource < 2; ++withResource) {
        EXPECT_FALSE(render.IsCollision(&pos, 10.0f, nullptr));
        EXPECT_FALSE(render.IsCollision(fRECT{-1, -1, 1, 1}, nullptr));
        EXPECT_EQ(render.IsCollision(&a, &b, nullptr), -1.0f);
        EXPECT_FALSE(render.IsCollision(&other, nullptr));
        EXPECT_TRUE(render.IsCollisionSimple());
        render.Attach(&plain, 0);
    }
}

TEST(RenderInstance, CollisionWithAnotherRenderStandsInThePositionAndRestoresIt)
{
    SphereBlock ball(0.0f, kRadiusWithFlags, 0.0f, 1.0f);
    CTestResource resource(ball.Data());
    CVector myPos(0, 0, 0), theirPos(5, 0, 0), near(4.5f, 0, 0);
    CRender mine, theirs;
    mine.Attach(&myPos, nullptr, nullptr, nullptr);
    theirs.Attach(&theirPos, nullptr, nullptr, nullptr);
    mine.Attach(&resource, 0);
    theirs.Attach(&resource, 0);

    EXPECT_FALSE(mine.IsCollision(&theirs, nullptr));
    EXPECT_TRUE(mine.IsCollision(&theirs, &near));
    EXPECT_EQ(mine.GetPos(), &myPos);
    EXPECT_FALSE(mine.IsCollision(&theirs, nullptr));

    CVector probe(1.4f, 0, 0), a(10, 0, 0), b(0, 0, 0);
    EXPECT_TRUE(mine.IsCollision(&probe, 0.5f, nullptr));
    EXPECT_FLOAT_EQ(mine.IsCollision(&a, &b, nullptr), 0.9f);
    EXPECT_TRUE(mine.IsCollisionSimple());
}

// Resources live in packed data and are destroyed in place when their file unloads.
TEST(RenderResource, ADestroyedResourceLeavesEveryRenderShowingIt)
{
    alignas(4) unsigned char storage[sizeof(CTestResource)];
    auto* resource = new (storage) CTestResource;
    CTestResource other;
    CRender shown, animated, elsewhere;
    shown.Attach(resource, 0);
    shown.Link();
    animated.Attach(resource, 0);
    animated.LinkAnimated();
    elsewhere.Attach(&other, 0);
    elsewhere.Link();
    CTestWorkspace::Released = 0;

    resource->~CTestResource();
    EXPECT_EQ(shown.GetResource(), nullptr);
    EXPECT_EQ(animated.GetResource(), nullptr);
    EXPECT_EQ(shown.GetWorkspace(), nullptr);
    EXPECT_EQ(CTestWorkspace::Released, 2);
    EXPECT_EQ(elsewhere.GetResource(), &other);
    shown.Unlink();
    animated.Unlink();
    elsewhere.Unlink();
}

TEST(RenderResource, TheResourceThatShowsNothingIsPublished)
{
    auto* rendNull = static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("RendNull")));
    ASSERT_NE(rendNull, nullptr);
    EXPECT_STREQ(CZelFixupManager::GetLabel(rendNull), "RendNull");
    EXPECT_EQ(rendNull->GetCollisionData(), nullptr);
    EXPECT_EQ(rendNull->GetResource(nullptr), rendNull);
    EXPECT_TRUE(CZelFixupManager::IsRecordType(CCRC32::GetCRC("CRendResource")));

    // Attach points and nodes of a plain resource: none.
    CRender render;
    render.Attach(rendNull, 0);
    int found = 1;
    EXPECT_EQ(render.GetAttachPoint(CCRC32("Attach_Center"), found, nullptr), NullVector);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(render.GetAttachPointCount(), 0);
    EXPECT_EQ(render.GetNodeCount(), 0);
}

TEST(RenderInstance, FormattedTextIsCutToTheSharedBuffer)
{
    CTestResource resource;
    CRender render;
    EXPECT_EQ(render.Attach("%d apples", 3), 0); // no workspace: nothing done
    render.Attach(&resource, 0);
    EXPECT_EQ(render.Attach("%d apples", 3), 8);
    auto* workspace = static_cast<CTestWorkspace*>(render.GetWorkspace());
    EXPECT_EQ(workspace->Text, "3 apples");

    std::string longText(3000, 'x');
    EXPECT_EQ(render.Attach("%s", longText.c_str()), 2047);
    EXPECT_EQ(workspace->Text, longText.substr(0, 2047));
    render.AttachText("plain");
    EXPECT_EQ(workspace->Text, "plain");
}

} // namespace
