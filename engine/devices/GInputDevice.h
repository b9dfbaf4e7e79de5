#pragma once
// Minimal input device until the device layer is built: the typed-character queue the window
// procedure feeds and the trigger registration debug objects call.
#include "engine/object/GObject.h"

class CInputData;

class GInputDevice : public GObject {
public:
    typedef void (GObject::*InputHandler)(CInputData*);
    enum { CHARACTER_QUEUE_SIZE = 128 };

    // One typed character; dropped when only the queue's last entry is still free.
    void Character(int ch);
    int CharacterCount() const { return nCharacters; }
    bool Register(HGOBJECT owner, const char* triggerName, unsigned long modeMask, InputHandler handler);
    bool Register(HGOBJECT owner, unsigned long triggerKey, unsigned long modeMask, InputHandler handler);

    static GInputDevice* pThe;

private:
    int Characters[CHARACTER_QUEUE_SIZE];
    int nCharacters;
};
