#pragma once
// Stand-in for the renderer object until the renderer is built: it lives for the whole run
// like the real one and accepts the shell's calls, drawing nothing.
#include <windows.h>

#include "engine/object/GObject.h"

class CRenderer : public GObject {
    DECLARE_GOBJECT(CRenderer, GObject)

    CRenderer();
    ~CRenderer() override;

    void Init(HWND window, unsigned long engineFlags, int);
    static void Shutdown();
    HWND GetWindow() const { return hWindow; }

    static CRenderer* pThe;

private:
    HWND hWindow;
};
