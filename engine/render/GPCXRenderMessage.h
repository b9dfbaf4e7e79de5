#pragma once
// Short feedback lines for developers: one object shows one line of text with the font
// "TheFont" on the overlay viewport 7 for a given time; a new line replaces the one showing.
#include "engine/object/GObject.h"
#include "engine/render/CRender.h"

class GPCXRenderMessage : public GObject {
    DECLARE_GOBJECT(GPCXRenderMessage, GObject)

    GPCXRenderMessage();
    ~GPCXRenderMessage() override;
    bool Process() override;

    // Shows the text as it is (no format interpretation), cut to 511 characters.
    void Show(const char* text, float seconds);
    const char* GetText() const { return Text; }
    float GetTimeLeft() const { return TimeLeft; }
    CRender& GetRender() { return Render; }

    enum { kTextRoom = 512, kViewport = 7, kPriority = 0xFFF0 };
    static GPCXRenderMessage* pThe;

private:
    float TimeLeft;
    char Text[kTextRoom];
    CRender Render;
    CVector Position;
    CVector Rotation;
};

// Shows a line for the given seconds, creating the message object under the object root when
// there is none.
void AddRenderMessage(const char* text, float seconds);
