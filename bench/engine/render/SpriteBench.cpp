// Sprites and text through the renderer against the same quads issued straight to the
// Direct3D 9 layer: 5,000 screen sprites and 20,000 glyphs (20 texts of 1,000) a frame at
// 640x480. The renderer's frame traverses the renders, lays the texts out, writes every quad
// into its buffers, sorts the effect list and plays it back; the direct side sets the same
// shader, constants and textures at the same boundaries and draws the same strips.
#include <stdio.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/CSprite.h"
#include "engine/render/CzFont.h"
#include "engine/render/Camera.h"
#include "engine/render/SpriteQuads.h"
#include "RenderBenchSupport.h"

namespace {

const int kSprites = 5000;
const int kTexts = 20;
const int kGlyphsPerText = 1000;

// A texture record whose device side starts with the device texture, as a constructed one.
struct BenchTexture {
    IDirect3DTexture9* Device = nullptr;
    unsigned long Words[3] = {};
    CRendTexture* Record()
    {
        Words[1] = reinterpret_cast<unsigned long>(&Device);
        return reinterpret_cast<CRendTexture*>(Words);
    }
};

IDirect3DTexture9* MakeTexture(IDirect3DDevice9* d, DWORD a, DWORD b)
{
    IDirect3DTexture9* t = nullptr;
    d->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
    D3DLOCKED_RECT locked;
    t->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            static_cast<DWORD*>(locked.pBits)[y * locked.Pitch / 4 + x] = ((x ^ y) & 4) ? a : b;
    t->UnlockRect(0);
    return t;
}

} // namespace

int main()
{
    BenchGameFolder game("sprite_bench");
    game.WriteRenderConfig(640, 480);
    CRenderer* renderer = StartBenchRenderer(0);
    if (!renderer)
        return 1;
    CRenderDevice& device = CRenderer::GetDevice();
    IDirect3DDevice9* d = device.GetDevice();

    BenchTexture spriteTexture, fontTexture;
    spriteTexture.Device = MakeTexture(d, 0xFFE0C080, 0xFF6080C0);
    fontTexture.Device = MakeTexture(d, 0xFFFFFFFF, 0x00000000);
    CRendTexture* spritePages[1] = {spriteTexture.Record()};
    CRendTexture* fontPages[1] = {fontTexture.Record()};

    // An 8 by 8 sprite and a font of 4 by 6 glyphs.
    SpriteFrame spriteFrame = {0, 0, -64, 64, -64, 64, 0, 4096, 0, 4096};
    CSprite sprite;
    sprite.SpriteData = SpriteBatch{0x110, 1, 1, spritePages, &spriteFrame};
    sprite.BoxFrameNo = -1;
    sprite.pAnimation = nullptr;
    sprite.NumAttachPoints = 0;
    std::vector<SpriteFrame> glyphs;
    CzFont font;
    std::memset(font.ASCII2Frame, 0xFF, sizeof font.ASCII2Frame);
    for (int c = 33; c < 127; ++c) {
        font.ASCII2Frame[c] = static_cast<unsigned char>(glyphs.size());
        const short u = static_cast<short>((c % 16) * 256);
        glyphs.push_back(SpriteFrame{0, 0, 0, 4 * 16, 0, 6 * 16, u, static_cast<short>(u + 256), 0, 4096});
    }
    font.SpaceSize = 3;
    font.Kerning = 0;
    font.Height = 6;
    font.Leading = 7;
    font.SpriteData = SpriteBatch{0x110, static_cast<unsigned short>(glyphs.size()), 1, fontPages, glyphs.data()};

    std::mt19937 random(11);
    std::uniform_real_distribution<float> acrossX(4.0f, 636.0f), acrossY(4.0f, 476.0f);
    std::vector<CVector> places(kSprites + kTexts);
    std::vector<CRender> renders(kSprites + kTexts);
    for (int i = 0; i < kSprites; ++i) {
        places[size_t(i)] = CVector(acrossX(random), acrossY(random), 0);
        renders[size_t(i)].Attach(&places[size_t(i)], nullptr, nullptr, nullptr);
        renders[size_t(i)].Attach(&sprite, 0);
    }
    // Each text: 1,000 glyphs in lines of 100 characters.
    std::string text;
    for (int i = 0; i < kGlyphsPerText; ++i) {
        text += char(33 + i % 94);
        if (i % 100 == 99)
            text += '\n';
    }
    for (int t = 0; t < kTexts; ++t) {
        const size_t i = size_t(kSprites + t);
        places[i] = CVector(float(t % 2) * 300, float(t / 2) * 46, 0);
        renders[i].Attach(&places[i], nullptr, nullptr, nullptr);
        renders[i].Attach(&font, 0);
        renders[i].AttachText(text.c_str());
    }
    for (CRender& r : renders) {
        r.SetFlags(CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
        r.Link();
    }
    renderer->Process(); // grows the buffers
    int ourFrames = 0;
    const double ourSeconds = MeasureFrames([&] { renderer->Process(); }, ourFrames);

    // The same quads as the renderer hands them on: one strip each, grouped by texture, with
    // the screen transform and colour once a group.
    struct Group {
        IDirect3DTexture9* Texture;
        std::vector<VertexPNT> Strips;
    };
    std::vector<Group> groups = {{spriteTexture.Device, {}}, {fontTexture.Device, {}}};
    for (int i = 0; i < kSprites; ++i) {
        const CVector& p = places[size_t(i)];
        const float l = p.x - 4, r = p.x + 4, t = p.y - 4, b = p.y + 4, z = 0.5f;
        for (const VertexPNT& v : {VertexPNT{r, t, z, 0, 0, 1, 1, 0}, VertexPNT{l, t, z, 0, 0, 1, 0, 0},
                                   VertexPNT{r, b, z, 0, 0, 1, 1, 1}, VertexPNT{l, b, z, 0, 0, 1, 0, 1}})
            groups[0].Strips.push_back(v);
    }
    for (int t = 0; t < kTexts; ++t) {
        const CVector& p = places[size_t(kSprites + t)];
        for (int i = 0; i < kGlyphsPerText; ++i) {
            const float l = p.x + float(i % 100) * 4, t0 = p.y + float(i / 100) * 7, z = 0.5f;
            for (const VertexPNT& v :
                 {VertexPNT{l + 4, t0, z, 0, 0, 1, 1, 0}, VertexPNT{l, t0, z, 0, 0, 1, 0, 0},
                  VertexPNT{l + 4, t0 + 6, z, 0, 0, 1, 1, 1}, VertexPNT{l, t0 + 6, z, 0, 0, 1, 0, 1}})
                groups[1].Strips.push_back(v);
        }
    }
    // The screen transform: pixels to the device's clip space, y up.
    const float screen[16] = {1.0f / 320, 0, 0, -1, 0, -1.0f / 240, 0, 1, 0, 0, 0.5f, 0.25f, 0, 0, 0, 1};
    const float white[4] = {1, 1, 1, 1}, constants[4] = {0, 0.25f, 0.5f, 1};
    IDirect3DSurface9* back = nullptr;
    d->GetRenderTarget(0, &back);
    int directFrames = 0;
    const double directSeconds = MeasureFrames(
        [&] {
            d->SetRenderTarget(0, back);
            D3DVIEWPORT9 viewport = {0, 0, 640, 480, 0, 1};
            d->SetViewport(&viewport);
            d->BeginScene();
            d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101830, 1.0f, 0);
            d->SetVertexShaderConstantF(0, constants, 1);
            d->SetRenderState(D3DRS_ZENABLE, FALSE);
            d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            device.SelectShader(ShaderSlot(kFamilyBasic, false));
            for (const Group& g : groups) {
                d->SetTexture(0, g.Texture);
                const size_t quads = g.Strips.size() / 4;
                for (size_t q = 0; q < quads; ++q) {
                    if (q % 126 == 0) { // a submission of the sprite list: its state's constants
                        d->SetVertexShaderConstantF(12, screen, 4);
                        d->SetVertexShaderConstantF(18, white, 1);
                    }
                    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, &g.Strips[4 * q], sizeof(VertexPNT));
                }
            }
            d->EndScene();
            d->Present(nullptr, nullptr, nullptr, nullptr);
        },
        directFrames);
    back->Release();

    const double ours = 1000.0 * ourSeconds / ourFrames, direct = 1000.0 * directSeconds / directFrames;
    printf("%d sprites and %d glyphs a frame at 640x480\n", kSprites, kTexts * kGlyphsPerText);
    printf("%16s %16s %10s %10s\n", "renderer ms", "direct ms", "ratio", "overhead");
    printf("%16.2f %16.2f %10.3f %9.1f%%\n", ours, direct, ours / direct, 100.0 * (ours / direct - 1.0));

    for (CRender& r : renders)
        r.Unlink();
    spriteTexture.Device->Release();
    fontTexture.Device->Release();
    renderer->Destroy();
    GObject::DestroyObjects();
    CRenderer::Shutdown();
    return 0;
}
