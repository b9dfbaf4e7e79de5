#pragma once
// A renderer on the software device with the overlay layers the sprite, font, message and
// overlay tests draw into, device textures to put into packed texture lists, and a frame
// helper that returns pixels of its screenshot from the independent reader.
#include <d3d9.h>

#include <memory>
#include <string>
#include <vector>

#include "ObjectTestSupport.h"
#include "RenderTestSupport.h"
#include "engine/render/CRenderer.h"

class CRendTexture;

// A device texture and a packed texture record that refers to it the way a constructed one
// does: table pointer, device side, shared flag; the device side starts with the texture.
struct TestTexture {
    // 32 by 32 texels in four quadrants: top left, top right, bottom left, bottom right.
    TestTexture(IDirect3DDevice9* device, const D3DCOLOR quadrants[4]);
    ~TestTexture();
    CRendTexture* Record() { return reinterpret_cast<CRendTexture*>(Words); }

    IDirect3DTexture9* Internal = nullptr; // the device side's first member
    unsigned long Words[3] = {};
};

class RenderResourceTest : public ObjectTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs one frame with a screenshot; returns the reader's "W H" line and "x,y=RRGGBB" lines.
    std::string Frame(const std::string& points);
    // Writes the packed fixtures into the working folder.
    void WriteFixtures();

    std::unique_ptr<ScopedGameFolder> Game;
    CRenderer* Renderer = nullptr;
};

// Viewport 0 looks from the eye at the target (z up) through a 50-degree perspective.
void LoadTestCamera(const CVector& eye, const CVector& target);
// The effect-list entries of the layer being drawn.
std::vector<EffectEntry> CurrentEffects();
// A layer bracket without the renderer's traversal, for drawing straight into the buffers.
void BeginTestLayer(int layer);
void EndTestLayer();

// The reader's answer for the points, each given its expected colour.
std::string Expect(const std::vector<std::pair<std::string, std::string>>& points);
