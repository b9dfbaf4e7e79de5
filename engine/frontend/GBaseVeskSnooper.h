#pragma once
// The editor's switch, placed in a level: its key (or, with auto start, the first frame) starts
// the editor: the editor pointer and the editor's main menu. Its key-frame key has the cinematic
// recorder take a key frame. Games derive snoopers of their own for the entry and exit calls.
#include "engine/object/GObject.h"

class CEmbeddedFillData;
class CInputData;

class GBaseVeskSnooper : public GObject {
    DECLARE_GOBJECT(GBaseVeskSnooper, GObject)

    GBaseVeskSnooper();
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    virtual void OnVeskEntry() {}
    virtual void OnVeskExit() {}

    void Input_VeskIt(CInputData* input);
    void Input_Keyframe(CInputData* input);

    // Snoopers take their keys only once the editor is allowed.
    static void VeskEnable() { bVeskEnabled = true; }
    static void SetVeskMode(bool mode) { bVeskMode = mode; }
    static bool GetVeskMode() { return bVeskMode; }
    static bool IsVesk();
    // The snooper that started the editor, while it exists.
    static GBaseVeskSnooper* GetStarter();

    DWORD VeskKeyCode;
    DWORD KeyframeCode;
    CEmbeddedFillData* pVeskMenu;
    int AutoStart;

private:
    static bool bVeskEnabled;
    static bool bVeskMode;
    static HGOBJECT hStarter;
};
