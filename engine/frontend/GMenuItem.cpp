#include "engine/frontend/GMenuItem.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/devices/GInputDevice.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CzFont.h"

IMPLEMENT_GOBJECT(GMenuItem, 0x90008000)

CVector GMenuItem::LastAutoPlace(0.0f, 0.0f, 0.0f);

namespace {

const int kTextfRoom = 256;
const int kCodeLength = 4; // the code byte and three digits

bool AllZero(const CVector4& c) { return c.x == 0.0f && c.y == 0.0f && c.z == 0.0f && c.w == 0.0f; }

void OpaqueWhenClear(CVector4& c)
{
    if (c.w == 0.0f)
        c.w = 1.0f;
}

// A position code at p: the byte 7 (+ddd) or 8 (-ddd) and three decimal digits.
bool IsPositionCode(const char* p)
{
    if (p[0] != 7 && p[0] != 8)
        return false;
    for (int i = 1; i < kCodeLength; ++i)
        if (p[i] < '0' || p[i] > '9')
            return false;
    return true;
}

int CodeValue(const char* p)
{
    const int n = 100 * (p[1] - '0') + 10 * (p[2] - '0') + (p[3] - '0');
    return p[0] == 7 ? n : -n;
}

char* WriteCode(char* out, int offset)
{
    if (offset > 999)
        offset = 999;
    if (offset < -999)
        offset = -999;
    out[0] = offset < 0 ? 8 : 7;
    const int n = offset < 0 ? -offset : offset;
    out[1] = char('0' + n / 100);
    out[2] = char('0' + n / 10 % 10);
    out[3] = char('0' + n % 10);
    return out + kCodeLength;
}

// The font's advances as a layout asks for them: a text repeats few distinct characters, and
// each advance is a call into the font.
class Advances {
public:
    explicit Advances(CBaseFont* font) : pFont(font) { std::memset(Widths, 0xFF, sizeof Widths); }
    int operator()(char c)
    {
        short& w = Widths[static_cast<unsigned char>(c)];
        if (w < 0)
            w = static_cast<short>(pFont->GetCharWidth(c));
        return w;
    }

private:
    CBaseFont* pFont;
    short Widths[256];
};

int MeasureText(Advances& advance, const char* text, int length)
{
    int width = 0;
    for (int i = 0; i < length && text[i]; ++i) {
        if (IsPositionCode(text + i)) {
            i += kCodeLength - 1;
            continue;
        }
        width += advance(text[i]);
    }
    return width;
}

} // namespace

// By the class entry, not a virtual call: a parent is linked before its constructor runs.
GMenuItem* GMenuItem::FromObject(GObject* object)
{
    if (object == nullptr)
        return nullptr;
    const ClassTypeEntry* entry = object->GetClassEntry();
    while (entry && entry->ClassId != ClassId)
        entry = entry->pParent;
    if (entry == nullptr)
        return nullptr;
    GMenuItem* item = static_cast<GMenuItem*>(object);
    return item->bBuilt ? item : nullptr;
}

GMenuItem::GMenuItem()
{
    if (EditableEvaluation != 0)
        return;
    while (TextFormat > 3)
        TextFormat -= 3;
    bOwnsText = 0;
    pFocusRender = nullptr;
    pLaidOutText = nullptr;

    if (Size.x == 0.0f && Size.y == 0.0f && Size.z == 0.0f) {
        if (pResource != nullptr) {
            RECT box = {0, 0, 0, 0};
            pResource->GetBoundingBox(box, 0);
            Size.x = float(box.right - box.left);
            Size.y = float(box.bottom - box.top);
        } else if (pFont != nullptr) {
            Size.y = float(pFont->GetLineHeight());
        }
    }

    // The graphic: GPhysical linked it with its resource; the item decides when it shows.
    Render.Attach(&ItemPos, &Rotation, AllZero(MenuItemColor) ? nullptr : &MenuItemColor, nullptr);
    Render.SetPriority(0x8000);
    Render.SetSelectable(HGOBJECT(0));
    Render.SetViewport(static_cast<short>(Viewport));
    // Overlay text is never turned: a rotation would make the font lay the text out
    // vertically, and the item's rotation is the second corner of shape graphics.
    new (&TextRender) CRender();
    TextRender.Attach(&TextPosAbs, nullptr, nullptr, nullptr);
    TextRender.SetParent(this);
    TextRender.SetViewport(static_cast<short>(Viewport));
    TextRender.SetPriority(0x8000);
    if (pFont != nullptr)
        TextRender.Attach(pFont, 0);
    Render.SetSortModifier(static_cast<short>(SortModifier));
    TextRender.SetSortModifier(static_cast<short>(SortModifier + 2));
    for (GMenuItem* child = Children(); child; child = child->Next())
        child->SetSortModifier(SortModifier + 4);

    OpaqueWhenClear(IdleTextColor);
    OpaqueWhenClear(FocusedTextColor);
    OpaqueWhenClear(DisabledTextColor);

    if (State & MENUITEM_AUTOPLACE) {
        if (Position.x == 0.0f)
            Position.x = LastAutoPlace.x + Size.x;
        if (Position.y == 0.0f)
            Position.y = LastAutoPlace.y + Size.y;
        LastAutoPlace = Position;
    }

    TextPos.z = TextPos.x;
    ItemPos = Position;
    TextPosAbs = ItemPos + TextPos;
    for (GMenuItem* child = Children(); child; child = child->Next())
        child->SetPos(ItemPos);

    bBuilt = true;
    ReformatText(nullptr);
    Enable(true);
}

GMenuItem::~GMenuItem()
{
    if (EditableEvaluation != 0)
        return;
    if (bOwnsText)
        zfree(pText);
    delete pFocusRender;
    zfree(pLaidOutText);
    if (HotKey != 0 && GInputDevice::pThe)
        GInputDevice::pThe->UnRegister(GetHandle());
    TextRender.~CRender();
}

void GMenuItem::PostConstruction()
{
    GObject::PostConstruction();
    GMenuItem* parent = Parent();
    SetPos(parent ? parent->GetPos() : CVector(0.0f, 0.0f, 0.0f));
}

int GMenuItem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPhysical::SpecifyEditable(cursor);
    AddEditable(cursor, "State", "DWORD", State);
    AddEditable(cursor, "ItemId", "int", ItemId);
    AddEditable(cursor, "pCommand", "void *", pCommand);
    AddEditable(cursor, "HotKey", "DWORD", HotKey);
    AddEditable(cursor, "FocusKey", "DWORD", FocusKey);
    AddEditable(cursor, "InputMode", "DWORD", InputMode);
    struct Colour {
        const char* names[4];
        CVector4* value;
    };
    const Colour colours[] = {
        {{"FocusedTextColor.Red", "FocusedTextColor.Green", "FocusedTextColor.Blue", "FocusedTextColor.Alpha"},
         &FocusedTextColor},
        {{"DisabledTextColor.Red", "DisabledTextColor.Green", "DisabledTextColor.Blue", "DisabledTextColor.Alpha"},
         &DisabledTextColor},
        {{"MenuItemColor.Red", "MenuItemColor.Green", "MenuItemColor.Blue", "MenuItemColor.Alpha"}, &MenuItemColor},
        {{"IdleTextColor.Red", "IdleTextColor.Green", "IdleTextColor.Blue", "IdleTextColor.Alpha"}, &IdleTextColor},
    };
    for (const Colour& c : colours) {
        AddEditable(cursor, c.names[0], "float", c.value->x);
        AddEditable(cursor, c.names[1], "float", c.value->y);
        AddEditable(cursor, c.names[2], "float", c.value->z);
        AddEditable(cursor, c.names[3], "float", c.value->w);
    }
    AddEditable(cursor, "pActiveGraphic", "CRendResource *", pActiveGraphic);
    AddEditable(cursor, "pDisabledGraphic", "CRendResource *", pDisabledGraphic);
    AddEditable(cursor, "pFocusedGraphic", "CRendResource *", pFocusedGraphic);
    AddEditable(cursor, "Size.X", "float", Size.x);
    AddEditable(cursor, "Size.Y", "float", Size.y);
    AddEditable(cursor, "pText", "char *", pText);
    AddEditable(cursor, "TextPos.X", "float", TextPos.x);
    AddEditable(cursor, "TextPos.Y", "float", TextPos.y);
    AddEditable(cursor, "TextPos.Z", "float", TextPos.z);
    AddEditable(cursor, "TextFormat", "int", TextFormat);
    AddEditable(cursor, "pFont", "CRendFont *", pFont);
    AddEditable(cursor, "ActivatedSound", "int", ActivatedSound);
    AddEditable(cursor, "FocusedSound", "int", FocusedSound);
    AddEditable(cursor, "NoOpSound", "int", NoOpSound);
    AddEditable(cursor, "SortModifier", "int", SortModifier);
    AddEditable(cursor, "Viewport", "int", Viewport);
    return count + 41;
}

GMenuItem* GMenuItem::Previous()
{
    for (GObject* o = pPrev; o; o = o->pPrev)
        if (GMenuItem* item = FromObject(o))
            return item;
    return nullptr;
}

GMenuItem* GMenuItem::Next()
{
    for (GObject* o = pNext; o; o = o->pNext)
        if (GMenuItem* item = FromObject(o))
            return item;
    return nullptr;
}

GMenuItem* GMenuItem::Children()
{
    for (GObject* o = pChild; o; o = o->pNext)
        if (GMenuItem* item = FromObject(o))
            return item;
    return nullptr;
}

GMenuItem* GMenuItem::Parent() { return FromObject(pParent); }

GMenuItem* GMenuItem::GetChild(unsigned long key, bool)
{
    for (GMenuItem* child = Children(); child; child = child->Next())
        if (child->ItemId == key)
            return child;
    return nullptr;
}

GMenuItem* GMenuItem::NthChild(int n)
{
    if (n < 0)
        return nullptr;
    GMenuItem* child = Children();
    for (int i = 0; child && i < n; ++i)
        child = child->Next();
    return child;
}

int GMenuItem::ChildIndex(GMenuItem* wanted)
{
    int i = 0;
    for (GMenuItem* child = Children(); child; child = child->Next(), ++i)
        if (child == wanted)
            return i;
    return -1;
}

void GMenuItem::ForEachChild(void (GMenuItem::*operation)(bool), bool value)
{
    for (GMenuItem* child = Children(); child; child = child->Next())
        (child->*operation)(value);
}

void GMenuItem::PlaySound(int id)
{
    if (id != 0 && GSoundSystem::pThe)
        GSoundSystem::pThe->Play(DWORD(id), static_cast<const CVector*>(nullptr));
}

void GMenuItem::SetPos(const CVector& parentPosition)
{
    ItemPos = Position + parentPosition;
    TextPosAbs = ItemPos + TextPos;
    for (GMenuItem* child = Children(); child; child = child->Next())
        child->SetPos(ItemPos);
}

void GMenuItem::Display(bool show)
{
    if (show)
        State |= MENUITEM_DISPLAYED;
    else
        State &= ~(MENUITEM_DISPLAYED | MENUITEM_FOCUSED);
    Redraw();
    ForEachChild(&GMenuItem::Display, show);
}

void GMenuItem::Focus(bool on)
{
    if (on) {
        if (State & MENUITEM_FOCUSED)
            return;
        if (!Is(MENUITEM_DISPLAYED | MENUITEM_ENABLED))
            return;
        State |= MENUITEM_FOCUSED;
        PlaySound(FocusedSound);
    } else {
        if (!(State & MENUITEM_FOCUSED))
            return;
        State &= ~MENUITEM_FOCUSED;
    }
    Redraw();
    if (!(State & MENUITEM_PERSISTENT))
        ItemFocusChanged(this);
}

void GMenuItem::ItemFocusChanged(GMenuItem* item)
{
    if (GMenuItem* parent = Parent())
        parent->ItemFocusChanged(item);
}

void GMenuItem::ItemActivated(GMenuItem*) {}

void GMenuItem::Active(bool on)
{
    SetStateBits(MENUITEM_ACTIVE, on);
    Redraw();
}

void GMenuItem::Enable(bool on)
{
    if (on) {
        State |= MENUITEM_ENABLED;
        State &= ~MENUITEM_DISABLED;
        if ((State & MENUITEM_SELECTABLE) && DWORD(GetHandle()) > 0xFFFF) {
            Render.SetSelectable(GetHandle());
        } else {
            State &= ~MENUITEM_SELECTABLE;
            Render.SetSelectable(HGOBJECT(0));
        }
    } else {
        State |= MENUITEM_DISABLED;
        State &= ~(MENUITEM_ENABLED | MENUITEM_FOCUSED | MENUITEM_ACTIVE);
        Render.SetSelectable(HGOBJECT(0));
    }
    AttachHotkeys();
    Redraw();
    ForEachChild(&GMenuItem::Enable, on);
}

void GMenuItem::Joypad(bool on)
{
    SetStateBits(MENUITEM_NOJOYPAD, !on);
    ForEachChild(&GMenuItem::Joypad, on);
}

bool GMenuItem::Activate(bool on)
{
    if (!on) {
        State &= ~MENUITEM_ACTIVATED;
        return true;
    }
    if (!(State & MENUITEM_ENABLED)) {
        PlaySound(NoOpSound);
        return false;
    }
    State |= MENUITEM_ACTIVATED;
    if (State & MENUITEM_DISPLAYED)
        PlaySound(ActivatedSound);
    // The parent may destroy this item (a page that kills itself): nothing follows the call.
    if (GMenuItem* parent = Parent())
        parent->ItemActivated(this);
    return true;
}

void GMenuItem::HotKeyActivate(CInputData*)
{
    Focus(false);
    Activate(true);
}

void GMenuItem::FocusKeyActivate(CInputData*) { Focus(true); }

void GMenuItem::SetSortModifier(int modifier)
{
    const int s = modifier + SortModifier;
    Render.SetSortModifier(static_cast<short>(s));
    TextRender.SetSortModifier(static_cast<short>(s + 2));
    if (pFocusRender)
        pFocusRender->SetSortModifier(static_cast<short>(s + 1));
    for (GMenuItem* child = Children(); child; child = child->Next())
        child->SetSortModifier(s + 4);
}

void GMenuItem::SetExpired(bool withFollowing)
{
    if (withFollowing)
        if (GMenuItem* next = Next())
            next->SetExpired(true);
    if (GMenuItem* child = Children())
        child->SetExpired(true);
    if (!(State & MENUITEM_PERSISTENT))
        State |= MENUITEM_EXPIRED;
}

void GMenuItem::ClearExpired(bool withFollowing)
{
    if (withFollowing)
        if (GMenuItem* next = Next())
            next->ClearExpired(true);
    if (State & MENUITEM_EXPIRED)
        Destroy();
}

void GMenuItem::AllocateTextBuffer(int length)
{
    if (bOwnsText)
        zfree(pText);
    pText = static_cast<char*>(zmalloc(unsigned(length) + 1));
    if (pText == nullptr)
        vbail("Menu item: no memory for a text of %d characters", length);
    pText[0] = '\0';
    bOwnsText = 1;
}

const char* GMenuItem::SetText(const char* text)
{
    if (text == nullptr || text[0] == '\0') {
        if (bOwnsText)
            zfree(pText);
        pText = nullptr;
        bOwnsText = 0;
    } else if (text != pText) {
        const int length = int(std::strlen(text));
        char* previous = bOwnsText ? pText : nullptr;
        bOwnsText = 0; // the old buffer may be the source: free it after the copy
        AllocateTextBuffer(length);
        std::memcpy(pText, text, unsigned(length) + 1);
        zfree(previous);
    }
    return ReformatText(nullptr);
}

// The result is measured before it is kept, so a long result never runs past the buffer.
void GMenuItem::SetTextf(const char* format, ...)
{
    if (format == nullptr)
        return;
    char buffer[kTextfRoom + 1];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0 || length > kTextfRoom)
        vbail("Bad formatting string to vSetText!");
    SetText(buffer);
}

void GMenuItem::SetSelectable(bool on)
{
    if (on && DWORD(GetHandle()) > 0xFFFF) {
        State |= MENUITEM_SELECTABLE;
        Render.SetSelectable(GetHandle());
    } else {
        State &= ~MENUITEM_SELECTABLE;
        Render.SetSelectable(HGOBJECT(0));
    }
}

void GMenuItem::ApplySelectable(bool on)
{
    SetStateBits(MENUITEM_INPUTOFF, !on);
    AttachHotkeys();
    ForEachChild(&GMenuItem::ApplySelectable, on);
}

void GMenuItem::SetMaterialOverride(Material* material)
{
    Render.Attach(material);
    TextRender.Attach(material);
    if (pFocusRender)
        pFocusRender->Attach(material);
    for (GMenuItem* child = Children(); child; child = child->Next())
        child->SetMaterialOverride(material);
}

void GMenuItem::SetRenderPriority(int priority)
{
    Render.SetPriority(static_cast<unsigned short>(priority));
    TextRender.SetPriority(static_cast<unsigned short>(priority));
}

void GMenuItem::SetDefaultGraphic(CRendResource* graphic)
{
    pResource = graphic;
    Redraw();
}

void GMenuItem::SetFocusedGraphic(CRendResource* graphic)
{
    pFocusedGraphic = graphic;
    if (pFocusRender)
        pFocusRender->Attach(graphic, 0);
    Redraw();
}

void GMenuItem::SetDisabledGraphic(CRendResource* graphic)
{
    pDisabledGraphic = graphic;
    Redraw();
}

void GMenuItem::AttachHotkeys()
{
    if ((HotKey == 0 && FocusKey == 0) || GInputDevice::pThe == nullptr)
        return;
    GInputDevice& input = *GInputDevice::pThe;
    input.UnRegister(GetHandle());
    if (!(State & MENUITEM_ENABLED) || (State & MENUITEM_INPUTOFF))
        return;
    const unsigned long mode = InputMode != 0 ? InputMode : input.Mode(0);
    if (HotKey != 0)
        input.Register(GetHandle(), HotKey, mode, static_cast<GInputDevice::InputHandler>(&GMenuItem::HotKeyActivate));
    if (FocusKey != 0)
        input.Register(GetHandle(), FocusKey, mode,
                       static_cast<GInputDevice::InputHandler>(&GMenuItem::FocusKeyActivate));
}

void GMenuItem::Redraw()
{
    if (!(State & MENUITEM_DISPLAYED)) {
        Render.Unlink();
        TextRender.Unlink();
        delete pFocusRender;
        pFocusRender = nullptr;
        return;
    }
    CRendResource* graphic = pResource;
    const CVector4* textColour = &IdleTextColor;
    if (State & MENUITEM_FOCUSED) {
        textColour = &FocusedTextColor;
        if (pFocusedGraphic != nullptr) {
            if (pFocusRender == nullptr) {
                pFocusRender = new CRender();
                pFocusRender->Attach(&ItemPos, &Rotation, nullptr, nullptr);
                pFocusRender->SetParent(this);
                pFocusRender->SetPriority(0x8000);
                pFocusRender->SetSortModifier(static_cast<short>(Render.GetSortModifier() + 1));
                pFocusRender->SetViewport(static_cast<short>(Viewport));
                pFocusRender->Attach(Render.GetMaterialList());
                pFocusRender->Attach(pFocusedGraphic, 0);
            }
            if (!pFocusRender->IsLinked())
                pFocusRender->Link();
        }
    } else if (pFocusRender != nullptr) {
        pFocusRender->Unlink();
    }

    if ((State & MENUITEM_ACTIVE) && pActiveGraphic != nullptr) {
        graphic = pActiveGraphic;
    } else if (!(State & MENUITEM_ACTIVE) && (State & MENUITEM_DISABLED)) {
        if (State & MENUITEM_HIDEDISABLED) {
            const DWORD saved = State;
            State &= ~MENUITEM_DISPLAYED;
            Redraw();
            State = saved;
            return;
        }
        if (pDisabledGraphic != nullptr)
            graphic = pDisabledGraphic;
        textColour = &DisabledTextColor;
    }

    if (graphic == nullptr) {
        Render.Unlink();
    } else {
        if (graphic != pAttachedResource || Render.GetResource() != graphic) {
            Render.Attach(graphic, 0);
            pAttachedResource = graphic;
        }
        if (!Render.IsLinked())
            Render.Link();
    }
    if (pText != nullptr && pText[0] != '\0' && pFont != nullptr) {
        TextRender.Attach(textColour);
        if (!TextRender.IsLinked())
            TextRender.Link();
    } else {
        TextRender.Unlink();
    }
}

int GMenuItem::TextWidth(const char* text, int length) const
{
    if (pFont == nullptr)
        return 0;
    Advances advance(pFont);
    return MeasureText(advance, text, length);
}

int GMenuItem::WordWrapText(char* text, int width)
{
    int lines = 1;
    if (text == nullptr || pFont == nullptr)
        return lines;
    Advances advanceOf(pFont);
    int limit = width, running = 0, atBreak = 0;
    char* breakPoint = nullptr;
    for (char* p = text; *p; ++p) {
        if (IsPositionCode(p)) {
            limit = width - CodeValue(p);
            p += kCodeLength - 1;
            continue;
        }
        if (*p == '\n') {
            ++lines;
            running = 0;
            breakPoint = nullptr;
            continue;
        }
        const int advance = advanceOf(*p);
        if (*p == ' ') {
            breakPoint = p;
            atBreak = running + advance;
        }
        running += advance;
        if (running > limit && breakPoint != nullptr) {
            *breakPoint = '\n';
            ++lines;
            running -= atBreak;
            breakPoint = nullptr;
        }
    }
    return lines;
}

bool GMenuItem::LayoutKey::operator==(const LayoutKey& o) const
{
    return font == o.font && width == o.width && height == o.height && format == o.format &&
           lineHeight == o.lineHeight && spaceSize == o.spaceSize && glyphWidth == o.glyphWidth;
}

// Screen-scaled fonts change their metrics with the resolution: a sample of them is part of
// the key.
GMenuItem::LayoutKey GMenuItem::CurrentLayoutKey() const
{
    return LayoutKey{pFont,
                     int(Size.x),
                     int(Size.y),
                     TextFormat,
                     pFont->GetLineHeight(),
                     pFont->GetSpaceSize(),
                     pFont->GetCharWidth('M')};
}

bool GMenuItem::LayoutIsCurrent(const LayoutKey& key) const
{
    return pLaidOutText != nullptr && key == LaidOutKey && std::strcmp(pLaidOutText, pText) == 0;
}

void GMenuItem::RememberLayout(const LayoutKey& key, int lines, const char* stop)
{
    const size_t length = std::strlen(pText);
    if (pLaidOutText == nullptr || length + 1 > LaidOutRoom) {
        zfree(pLaidOutText);
        pLaidOutText = static_cast<char*>(zmalloc(unsigned(length) + 1));
        LaidOutRoom = pLaidOutText ? length + 1 : 0;
    }
    if (pLaidOutText != nullptr)
        std::memcpy(pLaidOutText, pText, length + 1);
    LaidOutKey = key;
    LaidOutLines = lines;
    LaidOutStop = stop ? int(stop - pText) : -1;
}

const char* GMenuItem::ReformatText(int* lineCount)
{
    if (lineCount)
        *lineCount = 0;
    if (pText == nullptr || pText[0] == '\0') {
        zfree(pLaidOutText);
        pLaidOutText = nullptr;
        TextRender.Unlink();
        return nullptr;
    }
    const char* result = nullptr;
    if (TextFormat == 0 || pFont == nullptr) {
        zfree(pLaidOutText); // the text instance no longer shows a wrapped layout
        pLaidOutText = nullptr;
        TextRender.AttachText(pText);
    } else {
        const LayoutKey key = CurrentLayoutKey();
        if (!LayoutIsCurrent(key)) {
            int lines = 0;
            const char* stop = LayOutText(lines);
            RememberLayout(key, lines, stop);
        }
        if (lineCount)
            *lineCount = LaidOutLines;
        result = LaidOutStop >= 0 ? pText + LaidOutStop : nullptr;
    }
    if ((State & MENUITEM_DISPLAYED) && !TextRender.IsLinked())
        Redraw();
    return result;
}

// Wraps a copy of the text (the item keeps its text as it was given), lays the lines out for
// the text instance and returns where the copy stopped, or null; lines gets the lines copied.
const char* GMenuItem::LayOutText(int& lines)
{
    const int length = int(std::strlen(pText));
    // One block holds the wrapped copy and the laid-out lines. A wrap never adds lines beyond
    // one per character, and every line gains one code: the room follows that bound.
    const unsigned workRoom = unsigned(length) + 1;
    const unsigned outRoom = unsigned(length) + unsigned(kCodeLength) * unsigned(length + 2) + 1;
    // Menu texts are short: they are laid out on the stack, longer ones on the heap.
    char onStack[4096];
    const bool small = workRoom + outRoom <= sizeof onStack;
    char* work = small ? onStack : static_cast<char*>(zmalloc(workRoom + outRoom));
    if (work == nullptr)
        vbail("Menu item: no memory to lay out a text of %d characters", length);
    char* buffer = work + workRoom;
    std::memcpy(work, pText, workRoom);
    WordWrapText(work, int(Size.x));
    const char* stop = nullptr;
    lines = LayOutLines(work, buffer, stop);
    TextRender.AttachText(buffer);
    const char* result = stop ? pText + (stop - work) : nullptr;
    if (!small)
        zfree(work);
    return result;
}

// Copies the wrapped lines into out, each led by a code with its horizontal offset; stops
// before a line that would pass the item's height (the first line always goes). Returns the
// lines copied; stop is where the copy stopped, or null.
int GMenuItem::LayOutLines(const char* work, char* out, const char*& stop)
{
    const int lineHeight = pFont->GetLineHeight();
    const int room = int(Size.y);
    Advances advance(pFont);
    int copied = 0, height = 0, carried = 0;
    stop = nullptr;
    for (const char* p = work; *p;) {
        const char* end = std::strchr(p, '\n');
        if (end == nullptr)
            end = p + std::strlen(p);
        if (room > 0 && copied > 0 && height + lineHeight > room) {
            stop = p;
            break;
        }
        int lineOffset = carried;
        const char* q = p;
        for (; q < end && IsPositionCode(q); q += kCodeLength)
            lineOffset = carried = CodeValue(q);
        const int width = MeasureText(advance, p, int(end - p));
        const int offset = TextFormat == 1 ? -(width / 2) : TextFormat == 2 ? -width : lineOffset;
        if (copied > 0)
            *out++ = '\n';
        out = WriteCode(out, offset);
        while (q < end) {
            if (IsPositionCode(q)) {
                carried = CodeValue(q);
                q += kCodeLength;
                continue;
            }
            *out++ = *q++;
        }
        height += lineHeight;
        ++copied;
        p = *end == '\n' ? end + 1 : end;
    }
    *out = '\0';
    return copied;
}
