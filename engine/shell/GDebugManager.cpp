#include "engine/shell/GDebugManager.h"

#include "engine/devices/GInputDevice.h"

IMPLEMENT_GOBJECT(GDebug, 0x80808000)
IMPLEMENT_GOBJECT(GDebugManager, 0x80008000)

GDebugManager* GDebugManager::pThe;
std::vector<HGOBJECT> GDebugManager::DebugList;
unsigned long GDebugManager::CreationID = GDebug::ClassId;

GDebugManager::GDebugManager()
{
    if (EditableEvaluation)
        return;
    pThe = this;
    DebugMode = 31;
    UnitCollision = true;
    CollisionRadiusDisplay = false;
    PathLineDisplay = false;
    FowIcon = true;
    if (GInputDevice::pThe)
        GInputDevice::pThe->Register(GetHandle(), "ToggleFowIcon", 0xFFFFFFFF,
                                     static_cast<GInputDevice::InputHandler>(&GDebugManager::ToggleFowIcon));
    DebugList.clear();
    DebugList.reserve(32);
}

GDebugManager::~GDebugManager()
{
    if (pThe == this)
        pThe = nullptr;
}

GDebug* GDebugManager::CreateDebugObject(GObject* owner)
{
    if (!owner)
        return nullptr;
    GObject* made = owner->Create(CreationID, nullptr);
    if (!made)
        return nullptr;
    DebugList.push_back(made->GetHandle());
    return static_cast<GDebug*>(made);
}
