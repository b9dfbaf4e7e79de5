#include "engine/render/CzFont.h"

#include <cstring>
#include <new>

#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CzFont) == sizeof(rhu::CzFont), "CzFont differs from the record header");
static_assert(sizeof(CBaseFont) == sizeof(rhu::CBaseFont), "CBaseFont differs from the record header");

ZEL_REGISTER_RECORD(CzFont);

namespace {

const unsigned char kNoGlyph = 0xFF;

void PixelScale(float& x, float& y) { CRenderer::GetDevice().GetScreenPixelScale(x, y); }

int Scaled(float value, float scale) { return int(value * scale + 0.4999f); }

// Characters whose glyph sets the height of the next line feed.
bool IsTall(unsigned char c) { return c == 123 || c == 125 || (c >= 169 && c <= 180); }

} // namespace

void CRendFontWorkspace::AttachText(const char* text)
{
    if (!text)
        text = "";
    // Only the text's own bytes are copied: menus hand over their texts every frame.
    const size_t length = strnlen(text, kTextRoom - 1);
    if (std::memcmp(Text, text, length) == 0 && Text[length] == '\0')
        return;
    std::memcpy(Text, text, length);
    Text[length] = '\0';
    bGlyphsValid = false;
}

CRendWorkspace* CzFont::OnAttach(CRender*) { return new (std::nothrow) CRendFontWorkspace; }

int CzFont::GetCharWidth(char c)
{
    const unsigned char code = static_cast<unsigned char>(c);
    if (code == 32)
        return GetSpaceSize();
    const unsigned char frame = ASCII2Frame[code];
    if (frame == kNoGlyph || frame >= SpriteData.NumFrames)
        return 0;
    const float width = SpriteData.pFrames[frame].Right / 16.0f + float(Kerning);
    if (!(SpriteData.Flags & SPRITE_BATCH_PIXEL_SCALE))
        return int(width);
    float x, y;
    PixelScale(x, y);
    return Scaled(width, x);
}

int CzFont::GetLineHeight()
{
    if (!(SpriteData.Flags & SPRITE_BATCH_PIXEL_SCALE))
        return int(Leading);
    float x, y;
    PixelScale(x, y);
    return Scaled(float(Leading), y);
}

int CzFont::GetKerning()
{
    if (!(SpriteData.Flags & SPRITE_BATCH_PIXEL_SCALE))
        return int(Kerning);
    float x, y;
    PixelScale(x, y);
    return Scaled(float(Kerning), x);
}

int CzFont::GetSpaceSize()
{
    if (!(SpriteData.Flags & SPRITE_BATCH_PIXEL_SCALE))
        return int(SpaceSize);
    float x, y;
    PixelScale(x, y);
    return Scaled(float(SpaceSize), x);
}

void CzFont::GetCharWidthRange(int* min, int* max)
{
    *min = *max = GetSpaceSize();
    for (int c = 0; c < 256; ++c) {
        const int width = GetCharWidth(static_cast<char>(c));
        if (width > *max)
            *max = width;
        if (width != 0 && width < *min)
            *min = width;
    }
}

int CzFont::Layout(CRender* render, const char* text, SpriteDrawRecord* records, int room)
{
    float x = 0, y = 0;
    if (const CVector* offset = render->GetOffset()) {
        x = offset->x;
        y = offset->y;
    }
    if (render->GetPos() && (SpriteData.Flags & SPRITE_ADD_POSITION)) {
        x += render->GetPos()->x;
        y += render->GetPos()->y;
    }
    const float lineStart = x;
    float sx = 1.0f, sy = 1.0f;
    if (SpriteData.Flags & SPRITE_BATCH_PIXEL_SCALE)
        PixelScale(sx, sy);
    float h = float(Leading) * sy;
    const CVector* rotation = render->GetRot();
    const bool vertical = rotation && rotation->y != 0.0f;
    int count = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const unsigned char c = *p;
        const unsigned char frame = ASCII2Frame[c];
        if (frame != kNoGlyph) {
            if (frame >= SpriteData.NumFrames)
                continue;
            if (count < room)
                records[count++] = SpriteDrawRecord{frame, 0, x, y, 0, 1.0f, render->GetColour()};
            const SpriteFrame& glyph = SpriteData.pFrames[frame];
            const float advance = glyph.Right / 16.0f + float(Kerning);
            if (vertical)
                y += rotation->y > 0.0f ? advance * sy : -advance * sy;
            else
                x += advance * sx;
            if (IsTall(c))
                h = glyph.Bottom / 16.0f * sy;
            continue;
        }
        if (c == 7 || c == 8 || c == 11) {
            // Three decimal digits follow; a text that ends among them ends there.
            if (!p[1] || !p[2] || !p[3])
                break;
            const int n = 100 * (p[1] - '0') + 10 * (p[2] - '0') + (p[3] - '0');
            p += 3;
            if (c == 7)
                x = lineStart + float(n);
            else if (c == 8)
                x = lineStart - float(n);
            else
                y = float(n);
        } else if (c == 10) {
            x = lineStart;
            y += h;
            h = float(Leading) * sy;
        } else if (c == 32) {
            x += float(SpaceSize) * sx;
        }
    }
    if (count > 0)
        records[count - 1].Flags |= SPRITE_RECORD_LAST;
    return count;
}

int CzFont::LaidOut(CRender* render, const SpriteDrawRecord*& records)
{
    CRendFontWorkspace* workspace = dynamic_cast<CRendFontWorkspace*>(render->GetWorkspace());
    if (!workspace || !workspace->GetText()[0])
        return 0;
    CRendFontWorkspace::GlyphKey key = {0, 0, 1.0f, 1.0f, 0, render->GetColour()};
    if (const CVector* offset = render->GetOffset()) {
        key.x = offset->x;
        key.y = offset->y;
    }
    if (render->GetPos() && (SpriteData.Flags & SPRITE_ADD_POSITION)) {
        key.x += render->GetPos()->x;
        key.y += render->GetPos()->y;
    }
    if (SpriteData.Flags & SPRITE_BATCH_PIXEL_SCALE)
        PixelScale(key.scaleX, key.scaleY);
    if (const CVector* rotation = render->GetRot())
        key.turn = rotation->y;
    if (!workspace->bGlyphsValid || !(workspace->GlyphsKey == key)) {
        static SpriteDrawRecord scratch[kFontRecordRoom];
        const int count = Layout(render, workspace->GetText(), scratch, kFontRecordRoom);
        workspace->Glyphs.assign(scratch, scratch + count);
        workspace->GlyphsKey = key;
        workspace->bGlyphsValid = true;
    }
    records = workspace->Glyphs.data();
    return int(workspace->Glyphs.size());
}

void CzFont::Render(CRender* render)
{
    const SpriteDrawRecord* records = nullptr;
    const int count = LaidOut(render, records);
    if (count == 0)
        return;
    const CVector* position = render->GetPos();
    if (position && (SpriteData.Flags & SPRITE_ADD_POSITION))
        position = nullptr;
    // The glyphs are already placed in screen pixels: the list draws them without the batch's
    // own scale bits, which come back as they were.
    const unsigned long flags = SpriteData.Flags;
    SpriteData.Flags &= ~0x7UL;
    DrawSpriteList(render->GetMergedPriority(), &SpriteData, records, position, render->GetMaterialList(),
                   (flags & SPRITE_BATCH_PIXEL_SCALE) ? unsigned(SPRITE_SCREEN_SCALED) : 0u, sizeof(SpriteDrawRecord));
    SpriteData.Flags = flags;
}
