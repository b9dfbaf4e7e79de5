// Usage: frontend_menu_bench [FRAMES]
// A menu of 50 and of 500 items, each with a sentence word-wrapped into its box, laid out and
// drawn every frame: the item's layout (wrap, per-line position codes, the text handed to its
// text instance) and the font's glyph records, as a frame draws them, with one text in ten or
// every text changing each frame. The peer lays out the same texts the plain way: words split
// into strings, lines built by string concatenation and widths looked up per character in a
// map, then the same glyph records. Prints microseconds per frame and per item for both sides
// and their ratio; the per-item cost at 50 and 500 items shows whether the cost is linear.
#include <stdio.h>

#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "../../BenchStats.h"
#include "engine/frontend/GMenuItem.h"
#include "engine/render/CzFont.h"

namespace {

const char* const kSentences[] = {
    "Start a new campaign with the default settings and the tutorial switched on",
    "Load one of the games saved before, from any of the profile's slots",
    "Change how the game looks and sounds, and which keys move the camera",
    "Leave the game and return to the desktop without saving anything more",
};
const float kBoxWidth = 180.0f;

// Every glyph 8 pixels wide, spaces 4, lines 10 high: a font built in place.
struct BenchFont {
    BenchFont()
    {
        font = new (storage) CzFont();
        for (int c = 0; c < 256; ++c)
            font->ASCII2Frame[c] = 0xFF;
        for (int c = 33; c < 127; ++c) {
            font->ASCII2Frame[c] = static_cast<unsigned char>(frames.size());
            frames.push_back(SpriteFrame{0, 0, 0, 8 * 16, 0, 10 * 16, 0, 4096, 0, 4096});
        }
        font->SpriteData = SpriteBatch{0, static_cast<unsigned short>(frames.size()), 0, nullptr, frames.data()};
        font->SpaceSize = 4;
        font->Kerning = 0;
        font->Height = 10;
        font->Leading = 10;
    }
    std::vector<SpriteFrame> frames;
    alignas(8) unsigned char storage[sizeof(CzFont)];
    CzFont* font;
};

struct Records {
    SpriteDrawRecord glyphs[kFontRecordRoom];
};

std::vector<GMenuItem*> BuildMenu(int count, CzFont* font, std::vector<std::vector<unsigned long>>& data)
{
    std::vector<GMenuItem*> items;
    for (int i = 0; i < count; ++i) {
        // Creation data as the converter writes it: name key, 16-bit length, index, kind, value.
        auto field = [](std::vector<unsigned long>& out, const char* name, unsigned long value) {
            out.push_back(CCRC32::GetCRC(name));
            out.push_back(4); // length 4, index 0, kind 0
            out.push_back(value);
        };
        std::vector<unsigned long> words;
        float width = kBoxWidth, height = 1000.0f;
        unsigned long w, h;
        memcpy(&w, &width, 4);
        memcpy(&h, &height, 4);
        field(words, "Size.X", w);
        field(words, "Size.Y", h);
        field(words, "TextFormat", 3);
        field(words, "pFont", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(font)));
        field(words, "pText", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(kSentences[i % 4])));
        words.push_back(0);
        data.push_back(words);
        items.push_back(static_cast<GMenuItem*>(
            GObject::Create(GMenuItem::ClassId, HGOBJECT(0), reinterpret_cast<EditableFillData*>(data.back().data()))));
    }
    return items;
}

// Whether item i gets a new text in this frame: every item, or one in ten.
bool Changes(size_t i, int frame, int every) { return i % size_t(every) == size_t(frame % every); }

// Ours: each item is asked to lay its text out again and the font gives the glyphs it draws,
// as a frame's draw of the text instance does. Both keep their last layout while nothing it
// depends on changed, so the share of texts that change sets the cost.
void OurFrame(std::vector<GMenuItem*>& items, CzFont* font, int frame, int every)
{
    for (size_t i = 0; i < items.size(); ++i) {
        GMenuItem* item = items[i];
        if (Changes(i, frame, every))
            item->SetText(kSentences[(i + size_t(frame)) % 4]);
        item->ReformatText(nullptr);
        const SpriteDrawRecord* glyphs = nullptr;
        font->LaidOut(&item->GetTextRender(), glyphs);
    }
}

// The peer: the plain string way of wrapping every text every frame, with the same glyph layout
// at the end.
void PeerFrame(std::vector<GMenuItem*>& items, CzFont* font, const std::map<char, int>& widths, Records& out, int frame,
               int every)
{
    for (size_t i = 0; i < items.size(); ++i) {
        GMenuItem* item = items[i];
        if (Changes(i, frame, every))
            item->SetText(kSentences[(i + size_t(frame)) % 4]);
        std::vector<std::string> words;
        std::string word;
        for (const char* p = item->GetText(); *p; ++p) {
            if (*p == ' ') {
                words.push_back(word);
                word.clear();
            } else {
                word += *p;
            }
        }
        words.push_back(word);
        std::string text, line;
        for (const std::string& next : words) {
            std::string candidate = line.empty() ? next : line + " " + next;
            int width = 0;
            for (char c : candidate)
                width += widths.at(c);
            if (width > int(kBoxWidth) && !line.empty()) {
                text += std::string("\007000") + line + "\n";
                line = next;
            } else {
                line = candidate;
            }
        }
        text += std::string("\007000") + line;
        font->Layout(&item->GetTextRender(), text.c_str(), out.glyphs, kFontRecordRoom);
    }
}

template <class F> double MicrosecondsPerFrame(int frames, F&& frame)
{
    BenchTimes times;
    for (int run = 0; run < 5; ++run)
        times.Add(TimeOnce([&] {
            for (int i = 0; i < frames; ++i)
                frame(i);
        }));
    return times.Median() / frames * 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    GObject::InitEditableInfo();
    BenchFont font;
    std::map<char, int> widths;
    for (int c = 1; c < 256; ++c)
        widths[char(c)] = font.font->GetCharWidth(char(c));
    static Records records;
    printf("menu layout and glyph layout per frame (%d frames, median of 5 runs; 32-bit build)\n", frames);
    printf("%6s %9s %12s %12s %12s %12s %7s\n", "items", "changing", "ours us", "us/item", "peer us", "us/item",
           "ratio");
    for (int count : {50, 500}) {
        std::vector<std::vector<unsigned long>> data;
        std::vector<GMenuItem*> items = BuildMenu(count, font.font, data);
        for (int every : {10, 1}) {
            const double ours =
                MicrosecondsPerFrame(frames, [&](int frame) { OurFrame(items, font.font, frame, every); });
            const double peer = MicrosecondsPerFrame(
                frames, [&](int frame) { PeerFrame(items, font.font, widths, records, frame, every); });
            printf("%6d %9s %12.1f %12.3f %12.1f %12.3f %7.2f\n", count, every == 1 ? "all" : "1 in 10", ours,
                   ours / count, peer, peer / count, peer / ours);
        }
        for (GMenuItem* item : items)
            item->Destroy();
    }
    return 0;
}
