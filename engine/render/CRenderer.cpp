#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(CRenderer, 0x20800001)

CRenderer* CRenderer::pThe = nullptr;

CRenderer::CRenderer()
{
    if (!EditableEvaluation)
        pThe = this;
}

CRenderer::~CRenderer()
{
    if (pThe == this)
        pThe = nullptr;
}

void CRenderer::Init(HWND window, unsigned long, int) { hWindow = window; }

void CRenderer::Shutdown() {}
