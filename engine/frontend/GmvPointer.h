#pragma once
// The on-screen mouse pointer: it moves with relative or absolute pointer input, focuses and
// activates the menu item under it, and selects game objects by clicking or dragging a
// rectangle over what the renderer drew last frame. The last pointer built is the current one.
#include "core/containers/ZArray.h"
#include "engine/object/GPhysical.h"

class CInputData;
class GMarkSelect;
class GMenuItem;

class GmvPointer : public GPhysical {
    DECLARE_GOBJECT(GmvPointer, GPhysical)

    // Select flags.
    enum : unsigned long {
        SELECT_ONLY_PLAYER_1 = 0x01,
        SELECT_NOT_PLAYER_1 = 0x02,
        SELECT_NOT_PLAYERS_0_10 = 0x04,
        SELECT_DEFAULT = 0x10,
    };
    enum { kPickSize = 15 };

    GmvPointer();
    ~GmvPointer() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Wakeup() override;
    bool Process() override;

    // The operations pointers add, in table order.
    virtual void Sleep();
    virtual void DeSelect(HGOBJECT handle);
    virtual void DeSelect();
    virtual unsigned long GetSingleSelectFlags() { return 1; }
    virtual unsigned long GetGroupSelectFlags() { return 1; }
    virtual GPosRot* FilterSelect(HGOBJECT handle, unsigned long flags, CZArray<HGOBJECT>* out);
    virtual void MenuCheck();
    virtual void StartSelection(bool begin, bool add);
    virtual GMenuItem* GetMenuItem(const CVector& point, bool fromStart);
    virtual void Input_UpdatePosition(CInputData* input);
    virtual void Input_UpdatePositionAbsolute(CInputData* input);
    virtual void Input_Action(CInputData* input);
    virtual void Input_ActionUp(CInputData* input);
    // A new mark on the object, or null when it carries one of this pointer's marks already.
    virtual GMarkSelect* CreateSelect(GPosRot* object);

    static GmvPointer* GetCurrent() { return pCurrent; }
    static void SetCurrent(GmvPointer* pointer) { pCurrent = pointer; }

    // Picks over last frame's selectable rectangles; returns the count picked or marked.
    int Select(const CVector& corner1, const CVector& corner2, unsigned long flags, int pickSize,
               CZArray<HGOBJECT>* out, bool add);
    void Select(HGOBJECT handle);
    bool IsSelect(HGOBJECT handle);
    // The index-th marked object; null out of range.
    GPosRot* GetSelected(int index);
    int GetSelectedCount() const { return Selection.GetSize(); }
    // A mark going away drops out of the selection.
    void RemoveFromList(GMarkSelect* mark);
    // The class of the marks CreateSelect makes (a GMarkSelect or one derived from it).
    void SetSelectClassId(unsigned long classId) { SelectClassId = classId; }
    void Clip2Screen(CVector& point);
    bool SelectorRenderIsLinked() { return Selector.IsLinked() != 0; }
    GMenuItem* GetHovered();

    // Built for live pointers only, like the object's own render instance.
    union {
        CRender Selector;
    };
    CVector4 SelectorRenderColor;
    CVector Corner1;
    CVector Corner2;
    CVector WorldPos;
    HGOBJECT hHovered;
    // The marks: each lives under its object and leaves this list when it goes.
    CZArray<GMarkSelect*> Selection;
    unsigned long SelectClassId;

protected:
    RECT Screen();
    // Set once the pointer's triggers are bound; a pointer with triggers of its own sets it.
    bool bBound;

private:
    int FindMark(HGOBJECT handle);
    void TakeOff(int index);
    void BindInput();

    static GmvPointer* pCurrent;
};
