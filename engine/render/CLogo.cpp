#include "engine/render/CLogo.h"

#include "engine/include/RhuTypes.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CLogo) == sizeof(rhu::CLogo), "CLogo differs from the record header");

ZEL_REGISTER_RECORD(CLogo);

void CLogo::Show()
{
    CRenderer* renderer = CRenderer::pThe;
    CRenderDevice& device = CRenderer::GetDevice();
    // With fewer layers configured there is no layer 4 to draw into.
    if (!renderer || !device.GetDevice() || !device.GetLayer(kLogoLayer))
        return;
    static const SpriteDrawRecord record = {0, SPRITE_RECORD_LAST, 0, 0, 0, 1.0f, nullptr};
    renderer->EnableLayer(kLogoLayer, 1);
    for (int i = 0; i < 4; ++i) {
        device.BeginFrame();
        device.BeginLayer(kLogoLayer);
        SelectViewport(kLogoLayer);
        DrawSpriteList(0, &SpriteData, &record, nullptr, nullptr, 0, sizeof record);
        if (device.EndLayer() == 0 && device.EndFrame() == 0)
            device.PresentToWindow(0);
    }
    renderer->EnableLayer(kLogoLayer, 0);
}
