#pragma once
// The editor's pointer: while it exists the game clock stands and the input device is in the
// editor's mode. It selects objects, moves, rotates, lowers, creates, deletes and clones them,
// always through the ordinary position and rotation messages, and talks only to editor menus.
#include "core/containers/ZArray.h"
#include "engine/frontend/GmvPointer.h"

class CEmbeddedFillData;
class CRendResource;
class GVeskSelect;

class GVeskPointer : public GmvPointer {
    DECLARE_GOBJECT(GVeskPointer, GmvPointer)

    static const unsigned long kEditorInputMode = 0x80000000;
    static const unsigned long kPointerInputMode = 0x81000000;
    // Where the clone goes on its way through the save stream, beside the data folder.
    static const char* const kCloneFileName;

    GVeskPointer();
    ~GVeskPointer() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    void DeSelect() override;
    GPosRot* FilterSelect(HGOBJECT handle, unsigned long flags, CZArray<HGOBJECT>* out) override;
    GMenuItem* GetMenuItem(const CVector& point, bool fromStart) override;
    void Input_UpdatePosition(CInputData* input) override;

    void Input_SelectStart(CInputData* input);
    void Input_SelectEnd(CInputData* input);
    void Input_ActionDown(CInputData* input);
    void Input_ActionUp(CInputData*) { ActionHeld = 0; }
    void Input_ShiftDown(CInputData*) { ShiftCount = Up(ShiftCount); }
    void Input_ShiftUp(CInputData*) { ShiftCount = Down(ShiftCount); }
    void Input_CtrlDown(CInputData*) { CtrlCount = Up(CtrlCount); }
    void Input_CtrlUp(CInputData*) { CtrlCount = Down(CtrlCount); }
    void Input_AltDown(CInputData*) { AltCount = Up(AltCount); }
    void Input_AltUp(CInputData*) { AltCount = Down(AltCount); }
    void Input_Delete(CInputData* input);
    void Input_Grid(CInputData*) { bGrid = !bGrid; }
    void Input_ZLock(CInputData* input);
    void Input_ZMoveBegin(CInputData*) { bZMove = 1; }
    void Input_ZMoveEnd(CInputData*) { bZMove = 0; }
    void Input_ClearSelect(CInputData*) { DeSelect(); }

    // Each selected object's place relative to the middle of the selection, for group moves.
    void ComputeOffsets();
    const CVector& GetOffset(int index);
    GVeskSelect* MarkAt(int index);
    // Copies the selection through the save stream; the copies stay where their sources are.
    void Clone();
    void SetCreation(DWORD classId, CEmbeddedFillData* fillData);

    static GVeskPointer* GetEditor() { return pEditor; }
    static WORD GetPlayer() { return CurrentPlayer; }
    static void SetPlayer(WORD player) { CurrentPlayer = player; }

    CRendResource* pVeskCursor;
    CRendResource* pVeskMoveToCursor;
    CRendResource* pVeskCreateCursor;
    BYTE bMenuOpen;
    BYTE bGrid;
    BYTE bZMove;
    BYTE ShiftCount, ActionHeld, CtrlCount, AltCount;
    DWORD CreateClass;
    CEmbeddedFillData* pCreateTemplate;
    DWORD SavedInputMode;

private:
    static BYTE Up(BYTE count) { return count < 2 ? count + 1 : 2; }
    static BYTE Down(BYTE count) { return count > 0 ? count - 1 : 0; }
    void RegisterTriggers();
    void UpdateWorldPos();
    void MoveSelected(GPosRot* object, const CVector& offset, float dx, float dy);
    CRendResource* ChooseCursor();

    static GVeskPointer* pEditor;
    static WORD CurrentPlayer;
    static float LastAngle; // the unsnapped angle a grid rotation continues from
};

// Delivers a position or rotation change the way every sender does: filter, then receive.
void VeskSendPos(GObject* object, const CVector& position);
void VeskSendRot(GObject* object, const CVector& angles);
