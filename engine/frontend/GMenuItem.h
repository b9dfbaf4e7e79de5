#pragma once
// Base of every element of the front end: a game object that draws an optional graphic and an
// optional text on the overlay, can be shown, focused, enabled, activated and given hot keys,
// and reports focus changes and activations to its parent item. Items are always created from
// stored templates, so every design value is an editable field.
#include "core/math/CVector.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRender.h"

class CBaseFont;
class CInputData;
class CRendResource;
struct Material;

// State bits; stored in packed data as the item's "State", so their values are fixed.
enum MenuItemState : DWORD {
    MENUITEM_NOJOYPAD = 0x0001,
    MENUITEM_KEEPACTIVE = 0x0002,
    MENUITEM_DISPLAYED = 0x0004,
    MENUITEM_SELECTABLE = 0x0008,
    MENUITEM_ENABLED = 0x0010,
    MENUITEM_FOCUSED = 0x0020,
    MENUITEM_ACTIVE = 0x0040,
    MENUITEM_EXPIRED = 0x0080,
    MENUITEM_PERSISTENT = 0x0100,
    MENUITEM_ACTIVATED = 0x0200,
    MENUITEM_HIDEDISABLED = 0x0400,
    MENUITEM_AUTOPLACE = 0x0800,
    MENUITEM_NOHIDDENFOCUS = 0x1000,
    MENUITEM_INPUTOFF = 0x2000,
    MENUITEM_DISABLED = 0x4000,
};

class GMenuItem : public GPhysical {
    DECLARE_GOBJECT(GMenuItem, GPhysical)

    GMenuItem();
    ~GMenuItem() override;
    // Items are placed relative to their parent item, not at their stored position.
    void PostConstruction() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    const CVector& GetPos() override { return ItemPos; }
    void SetPos(const CVector& parentPosition) override;

    // The operations menu items add, in table order.
    virtual void Display(bool show);
    virtual void Focus(bool on);
    virtual void Active(bool on);
    virtual void Enable(bool on);
    virtual void Joypad(bool on);
    virtual bool Activate(bool on);
    virtual void HotKeyActivate(CInputData* input);
    virtual void FocusKeyActivate(CInputData* input);
    virtual void ItemFocusChanged(GMenuItem* item);
    virtual void ItemActivated(GMenuItem* item);
    virtual const CVector& GetTextPos() { return TextPosAbs; }
    virtual void SetSortModifier(int modifier);
    virtual void SetExpired(bool withFollowing);
    virtual void ClearExpired(bool withFollowing);
    virtual const char* GetText() { return pText; }
    virtual const char* SetText(const char* text);
    virtual void Redraw();

    // Neighbours that are menu items; objects of other classes in the tree are skipped.
    GMenuItem* Previous();
    GMenuItem* Next();
    GMenuItem* Children();
    GMenuItem* Parent();
    // The first direct child item whose item id is the key.
    GMenuItem* GetChild(unsigned long key, bool unused = false);
    // The n-th child item (null out of range) and a child's index (-1 when not a child).
    GMenuItem* NthChild(int n);
    int ChildIndex(GMenuItem* child);

    // Fatal when the result would pass 256 characters; a null format sets no text.
    void SetTextf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetSelectable(bool on);
    void ApplySelectable(bool on);
    void SetMaterialOverride(Material* material);
    void SetRenderPriority(int priority);
    float GetWidth() const { return Size.x; }
    float GetHeight() const { return Size.y; }
    void SetDefaultGraphic(CRendResource* graphic);
    void SetFocusedGraphic(CRendResource* graphic);
    void SetDisabledGraphic(CRendResource* graphic);

    DWORD GetState() const { return State; }
    bool Is(DWORD bits) const { return (State & bits) == bits; }
    void SetStateBits(DWORD bits, bool on) { State = on ? State | bits : State & ~bits; }
    unsigned long GetItemId() const { return ItemId; }
    void* GetCommand() const { return pCommand; }
    CBaseFont* GetFont() const { return pFont; }
    int GetGraphicSortKey() const { return Render.GetSortModifier() + 0x8000; }
    int GetOwnSortModifier() const { return SortModifier; }
    CRender& GetTextRender() { return TextRender; }
    // True once the constructor has run: children are built from the creation data before
    // their parent's constructor, and must not call into a parent that is not built yet.
    bool IsBuilt() const { return bBuilt; }
    // The object as a built menu item, or null.
    static GMenuItem* FromObject(GObject* object);

    // Word-wraps in place (spaces become newlines) to the width; returns the line count.
    int WordWrapText(char* text, int width);
    // Lays the text out for the text instance; returns where a text too tall stopped.
    const char* ReformatText(int* lineCount);
    // The horizontal advance of the text's characters in the item's font.
    int TextWidth(const char* text, int length) const;

protected:
    void AllocateTextBuffer(int length);
    const char* LayOutText(int& lines);
    int LayOutLines(const char* work, char* out, const char*& stop);
    // What a word-wrapped layout depends on besides the text itself.
    struct LayoutKey {
        CBaseFont* font;
        int width, height, format, lineHeight, spaceSize, glyphWidth;
        bool operator==(const LayoutKey& other) const;
    };
    LayoutKey CurrentLayoutKey() const;
    // True when the text instance already shows the layout of this text under this key.
    bool LayoutIsCurrent(const LayoutKey& key) const;
    void RememberLayout(const LayoutKey& key, int lines, const char* stop);
    void AttachHotkeys();
    void PlaySound(int id);
    void ForEachChild(void (GMenuItem::*operation)(bool), bool value);

public:
    DWORD State;
    unsigned long ItemId;
    void* pCommand;
    DWORD HotKey;
    DWORD FocusKey;
    DWORD InputMode;
    CVector4 FocusedTextColor;
    CVector4 DisabledTextColor;
    CVector4 MenuItemColor;
    CVector4 IdleTextColor;
    CRendResource* pActiveGraphic;
    CRendResource* pDisabledGraphic;
    CRendResource* pFocusedGraphic;
    CVector Size;
    char* pText;
    CVector TextPos;
    int TextFormat;
    CBaseFont* pFont;
    int ActivatedSound;
    int FocusedSound;
    int NoOpSound;
    int SortModifier;
    int Viewport;
    CVector TextPosAbs;
    CVector ItemPos;
    BYTE bOwnsText;
    union {
        CRender TextRender;
    };
    CRender* pFocusRender;
    bool bBuilt;
    // The last word-wrapped layout: menus reformat their texts far more often than the texts
    // change, so an unchanged text under unchanged metrics keeps the layout it has.
    char* pLaidOutText;
    size_t LaidOutRoom;
    LayoutKey LaidOutKey;
    int LaidOutLines;
    int LaidOutStop; // where the copy stopped in the text, -1 when everything fitted

    // The position of the last auto-placed item, shared by all items.
    static CVector LastAutoPlace;
};
