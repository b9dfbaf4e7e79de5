#include "engine/devices/GMultiPlay.h"

#include "engine/object/CMessage.h"

IMPLEMENT_GOBJECT(GMultiPlay, 0x20800100)

GMultiPlay* GMultiPlay::pThe;

GMultiPlay::GMultiPlay()
{
    if (EditableEvaluation == 0)
        pThe = this;
}

GMultiPlay::~GMultiPlay()
{
    if (pThe == this)
        pThe = nullptr;
}

bool GMultiPlay::LocalObject(HGOBJECT) { return true; }

int GMultiPlay::PlayerNumber(int) { return 1; }

bool GMultiPlay::Multi() { return false; }

bool GMultiPlay::Server() { return false; }

bool GMultiPlay::SendMessageA(CMessage* message, CRemoteConnection*)
{
    GObject* target = GObject::GetGobject(message->hRecipient);
    if (target == nullptr)
        return false;
    const bool passed = target->OnFilterMessage(message);
    return passed ? target->OnReceiveMessage(message) : passed;
}
