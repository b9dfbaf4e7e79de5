#include "engine/render/GPCXRenderMessage.h"

#include <cstring>

#include "core/names/CCRC32.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRendResource.h"
#include "engine/zel/CZelFixupManager.h"

IMPLEMENT_GOBJECT(GPCXRenderMessage, 0x4808000)

GPCXRenderMessage* GPCXRenderMessage::pThe;

GPCXRenderMessage::GPCXRenderMessage()
{
    if (EditableEvaluation)
        return;
    if (!pThe)
        pThe = this;
    TimeLeft = -1.0f;
    Text[0] = '\0';
    Position = CVector(0, 50, 0);
    Rotation = CVector(0, 0, 0);
    if (CRendResource* font = static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("TheFont"))))
        Render.Attach(font, 0);
    Render.Attach(&Position, &Rotation, nullptr, nullptr);
    Render.SetPriority(kPriority);
    Render.SetViewport(kViewport);
}

GPCXRenderMessage::~GPCXRenderMessage()
{
    if (pThe == this)
        pThe = nullptr;
    Render.DetachResource();
    Render.Unlink();
}

bool GPCXRenderMessage::Process()
{
    if (TimeLeft < 0.0f)
        return false;
    TimeLeft -= CGameTimer::FrameTime();
    if (TimeLeft < 0.0f)
        Render.Unlink();
    return false;
}

void GPCXRenderMessage::Show(const char* text, float seconds)
{
    std::strncpy(Text, text ? text : "", kTextRoom - 1);
    Text[kTextRoom - 1] = '\0';
    TimeLeft = seconds;
    Render.AttachText(Text);
    if (!Render.IsLinked())
        Render.Link();
}

void AddRenderMessage(const char* text, float seconds)
{
    if (!GPCXRenderMessage::pThe && !GObject::Create(GPCXRenderMessage::ClassId, HGOBJECT(0), nullptr))
        return;
    if (GPCXRenderMessage::pThe)
        GPCXRenderMessage::pThe->Show(text, seconds);
}
