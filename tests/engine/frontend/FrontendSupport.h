#pragma once
// A font and menu items built in memory for the front-end tests: every glyph advances 8
// pixels, a space 4, and a line is 10 high.
#include <new>
#include <vector>

#include "ObjectTestSupport.h"
#include "engine/frontend/GMenuItem.h"
#include "engine/render/CzFont.h"

class TestFont {
public:
    enum { kAdvance = 8, kSpace = 4, kLine = 10 };
    TestFont()
    {
        font = new (storage) CzFont();
        for (int c = 0; c < 256; ++c)
            font->ASCII2Frame[c] = 0xFF;
        for (int c = 33; c < 127; ++c) {
            font->ASCII2Frame[c] = static_cast<unsigned char>(frames.size());
            SpriteFrame frame = {0, 0, 0, short(kAdvance * 16), 0, short(kLine * 16), 0, 4096, 0, 4096};
            frames.push_back(frame);
        }
        font->SpriteData = SpriteBatch{0, static_cast<unsigned short>(frames.size()), 0, nullptr, frames.data()};
        font->SpaceSize = kSpace;
        font->Kerning = 0;
        font->Height = kLine;
        font->Leading = kLine;
    }
    CzFont* Get() { return font; }

private:
    std::vector<SpriteFrame> frames;
    // Packed records are built in place; the font holds nothing to free.
    alignas(8) unsigned char storage[sizeof(CzFont)];
    CzFont* font;
};

// Creation data for an item: position, size, state, text and font.
inline FillData ItemData(float x, float y, float w, float h, unsigned long state, const char* text, CzFont* font)
{
    FillData data;
    data.Float("Locator.Position.X", x).Float("Locator.Position.Y", y);
    data.Float("Size.X", w).Float("Size.Y", h).Word("State", state);
    data.Word("pText", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(text)));
    data.Word("pFont", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(font)));
    return data;
}

template <class T> T* MakeItem(FillData& data, GObject* parent = nullptr, HGOBJECT handle = HGOBJECT(0))
{
    GObject* object = parent ? parent->Create(T::ClassId, data.Get()) : GObject::Create(T::ClassId, handle, data.Get());
    return static_cast<T*>(object);
}

// The text the item's text instance was given.
inline std::string ShownText(GMenuItem* item)
{
    const CRendFontWorkspace* text = dynamic_cast<const CRendFontWorkspace*>(item->GetTextRender().GetWorkspace());
    return text ? text->GetText() : std::string();
}

const unsigned long kShown = MENUITEM_DISPLAYED | MENUITEM_SELECTABLE | MENUITEM_ENABLED;
