// The effect chain of a render instance and the effect base class: which effects draw, which
// hide the resource, the macro budget, and leaving the chain.
#include <gtest/gtest.h>

#include <vector>

#include "ObjectTestSupport.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/GEffect.h"

namespace {

std::vector<int> Calls; // effect ids and 0 for the resource, in call order

class TracingResource : public CRendResource {
public:
    void Render(CRender*) override { Calls.push_back(0); }
};

class THidingEffect : public GEffect {
    DECLARE_GOBJECT(THidingEffect, GEffect)

    bool Render() override
    {
        Calls.push_back(Id);
        return Hides;
    }
    void Eject(CRender*) override { ++Ejected; }

    int Id = 0;
    bool Hides = false;
    int Ejected = 0;
};
IMPLEMENT_GOBJECT(THidingEffect, 0x8000)

class EffectTest : public ObjectTest {
protected:
    void SetUp() override
    {
        Calls.clear();
        CRenderer::CurrentResViewport = 0;
        render.Attach(&position, nullptr, &colour, nullptr);
    }
    void TearDown() override
    {
        render.EjectAllEffects(false);
        ResetWorld();
        CRenderer::CurrentResViewport = -1;
    }
    THidingEffect* Effect(int id, bool hides)
    {
        THidingEffect* e = THidingEffect::Create();
        e->Id = id;
        e->Hides = hides;
        render.Attach(e);
        return e;
    }

    CVector position;
    CVector4 colour{1, 1, 1, 1};
    TracingResource resource;
    CRender render;
};

TEST_F(EffectTest, ChainDecidesWhatDraws)
{
    struct Case {
        bool withResource;
        std::vector<bool> hides; // per effect, attached in order
        float alpha;
        short layerViewport;
        std::vector<int> calls;
    } cases[] = {
        {true, {}, 1.0f, 0, {0}},
        {true, {false}, 1.0f, 0, {1, 0}},                 // a base-like effect draws and leaves the resource
        {true, {false, true, false}, 1.0f, 0, {3, 2, 1}}, // newest first; one true hides the resource
        {false, {false}, 1.0f, 0, {1}},                   // effects alone draw
        {true, {false}, 0.0f, 0, {}},                     // alpha 0 hides everything
        {true, {false}, 1.0f, 2, {}},                     // another layer's viewport
        {false, {}, 1.0f, 0, {}},
    };
    for (const Case& c : cases) {
        Calls.clear();
        render.EjectAllEffects(false);
        render.Attach(c.withResource ? &resource : nullptr, 0);
        for (size_t i = 0; i < c.hides.size(); ++i)
            Effect(int(i + 1), c.hides[i]);
        colour.w = c.alpha;
        CRenderer::CurrentResViewport = c.layerViewport;
        render.Display();
        EXPECT_EQ(Calls, c.calls);
    }
}

TEST_F(EffectTest, LeavingTheChain)
{
    render.Attach(&resource, 0);
    THidingEffect* a = Effect(1, false);
    THidingEffect* b = Effect(2, false);
    THidingEffect* c = Effect(3, false);
    render.Attach(b); // already chained: nothing changes
    b->Destroy();
    GObject::ProcessObjects();
    Calls.clear();
    render.Display();
    EXPECT_EQ(Calls, (std::vector<int>{3, 1, 0}));
    render.Detach(c);
    EXPECT_EQ(c->GetOwner(), nullptr);
    EXPECT_EQ(c->Ejected, 0);
    render.EjectAllEffects(false);
    EXPECT_EQ(a->Ejected, 1);
    EXPECT_EQ(a->GetOwner(), nullptr);
    EXPECT_EQ(render.GetRootEffect(), nullptr);
}

// A destroyed physical object's effects move to the object root, ejected, and live on.
TEST_F(EffectTest, PhysicalObjectsLeaveTheirEffectsBehind)
{
    GPhysical* owner = static_cast<GPhysical*>(GObject::Create(GPhysical::ClassId, HGOBJECT(0), nullptr));
    ASSERT_NE(owner, nullptr);
    THidingEffect* effect = static_cast<THidingEffect*>(owner->Create(THidingEffect::ClassId, nullptr));
    ASSERT_NE(effect, nullptr);
    owner->Render.Attach(effect);
    owner->Destroy();
    GObject::ProcessObjects();
    EXPECT_EQ(effect->GetParent(), GObject::GetRoot());
    EXPECT_EQ(effect->Ejected, 1);
    EXPECT_EQ(effect->GetOwner(), nullptr);
}

TEST_F(EffectTest, MacroBudget)
{
    const DWORD before = GEffect::ActiveMacroSystems;
    std::vector<GEffect*> effects;
    for (DWORD i = before; i < GEffect::kMacroBudget; ++i) {
        effects.push_back(GEffect::Create());
        effects.back()->MakeMacroBudgeted();
    }
    effects.front()->MakeMacroBudgeted(); // counts once
    EXPECT_EQ(GEffect::ActiveMacroSystems, DWORD(GEffect::kMacroBudget));
    EXPECT_FALSE(GEffect::CanSpawnAsMacroBudgeted());
    effects.front()->Destroy();
    GObject::ProcessObjects();
    EXPECT_TRUE(GEffect::CanSpawnAsMacroBudgeted());
    ResetWorld();
    EXPECT_EQ(GEffect::ActiveMacroSystems, before);
}

} // namespace
