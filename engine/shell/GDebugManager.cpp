#include "engine/shell/GDebugManager.h"

#include <cstdint>
#include <cstring>

#include "engine/devices/GInputDevice.h"
#include "engine/object/CGameTimer.h"
#include "engine/world/GFOWManager.h"

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

void GDebugManager::ToggleFowIcon(CInputData*)
{
    FowIcon = !FowIcon;
    GFOWManager* fow = GFOWManager::pThe;
    if (!fow)
        return;
    float value = 1.0e30f;
    if (FowIcon) {
        // The game time with its lowest mantissa bits cleared: a time every square has reached.
        uint32_t bits;
        std::memcpy(&bits, &CGameTimer::tGameTime, sizeof bits);
        bits &= ~uint32_t(0xF);
        std::memcpy(&value, &bits, sizeof value);
    }
    fow->ClearFOW(value);
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
