#include "engine/devices/GEnvironmentalSystem.h"

#include "engine/object/CGameTimer.h"
#include "engine/world/GmvCamera.h"

IMPLEMENT_GOBJECT(GEnvironmentalSystem, 0)
IMPLEMENT_GOBJECT(GEnvironmentalSoundVolume, 0x80000000)
IMPLEMENT_GOBJECT(GEnvironmentalIndoorVolume, 0x80000000)
IMPLEMENT_GOBJECT(GSoundPoint, 0x80000000)

GEnvironmentalSystem* GEnvironmentalSystem::pThe;

GEnvironmentalSystem::GEnvironmentalSystem()
{
    if (EditableEvaluation == 0)
        pThe = this;
}

GEnvironmentalSystem::~GEnvironmentalSystem()
{
    if (GSoundSystem::pThe) {
        GSoundSystem::pThe->Stop(Status);
        GSoundSystem::pThe->Stop(SecondStatus);
    }
    if (pThe == this)
        pThe = nullptr;
}

int GEnvironmentalSystem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "FadeTimeLength", "float", FadeTimeLength);
    return count + 1;
}

bool GEnvironmentalSystem::IsIndoors(const CVector& point)
{
    VolumePos cursor;
    Tree.ExaminePosition(cursor, point);
    DWORD flags, classId, priority;
    CVector min, max;
    while (VolumeId id = cursor.GetNext()) {
        Tree.DescribeVolume(id, flags, classId, priority, min, max);
        if (classId == GEnvironmentalIndoorVolume::ClassId)
            return true;
    }
    return false;
}

// Every 2 seconds of game time: the first sound volume in the camera's leaf (its class's
// highest priority) names the ambient sound; with music turned down, its "AmbientType" in place
// of its "SoundType". A change stops the old ambient sound and plays the new one.
bool GEnvironmentalSystem::Process()
{
    if (CGameTimer::GameTime() < NextCheck)
        return false;
    NextCheck = CGameTimer::GameTime() + kCheckInterval;
    if (!GmvCamera::pThe || !GSoundSystem::pThe)
        return false;
    VolumePos cursor;
    Tree.ExaminePosition(cursor, GmvCamera::pThe->GetPos());
    GEnvironmentalSoundVolume* volume = nullptr;
    DWORD flags, classId, priority;
    CVector min, max;
    while (VolumeId id = cursor.GetNext()) {
        void* user = Tree.DescribeVolume(id, flags, classId, priority, min, max);
        if (classId == GEnvironmentalSoundVolume::ClassId) {
            volume = static_cast<GEnvironmentalSoundVolume*>(user);
            break;
        }
    }
    if (!volume)
        return false;
    if (!GSoundSystem::pThe->Status(Status))
        CurrentId = 0;
    const DWORD wanted = DWORD(GSoundSystem::CurVolume[2] < kMusicSilent ? volume->AmbientType : volume->SoundType);
    if (wanted == CurrentId)
        return false;
    GSoundSystem::pThe->Stop(Status);
    CurrentId = wanted;
    if (wanted != 0)
        Status = GSoundSystem::pThe->Play(wanted, static_cast<const CVector*>(nullptr));
    return false;
}

GEnvironmentalSoundVolume::GEnvironmentalSoundVolume()
{
    if (EditableEvaluation != 0)
        return;
    if (!GEnvironmentalSystem::pThe)
        GObject::Create(GEnvironmentalSystem::ClassId, HGOBJECT(0), nullptr);
    if (!GEnvironmentalSystem::pThe)
        return;
    DWORD sides = (LimitLeft ? VOLUME_LIMIT_MIN_X : 0) | (LimitRight ? VOLUME_LIMIT_MAX_X : 0) |
                  (LimitBottom ? VOLUME_LIMIT_MAX_Y : 0) | (LimitTop ? VOLUME_LIMIT_MIN_Y : 0);
    Volume = GEnvironmentalSystem::pThe->Tree.AddVolume(
        sides, GetClassId(), DWORD(Priority), CVector(MinX, MinY, -100.0f), CVector(MaxX, MaxY, 100.0f), this);
}

GEnvironmentalSoundVolume::~GEnvironmentalSoundVolume()
{
    if (GEnvironmentalSystem::pThe && Volume)
        GEnvironmentalSystem::pThe->Tree.RemoveVolume(Volume);
}

int GEnvironmentalSoundVolume::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "MinX", "float", MinX);
    AddEditable(cursor, "MinY", "float", MinY);
    AddEditable(cursor, "MaxX", "float", MaxX);
    AddEditable(cursor, "MaxY", "float", MaxY);
    AddEditable(cursor, "SoundType", "int", SoundType);
    AddEditable(cursor, "AmbientType", "int", AmbientType);
    AddEditable(cursor, "Priority", "int", Priority);
    AddEditable(cursor, "LimitLeft", "int", LimitLeft);
    AddEditable(cursor, "LimitRight", "int", LimitRight);
    AddEditable(cursor, "LimitTop", "int", LimitTop);
    AddEditable(cursor, "LimitBottom", "int", LimitBottom);
    return count + 11;
}

GSoundPoint::GSoundPoint() { DelayPlay = 2; }

int GSoundPoint::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "SoundEffect", "int", SoundEffect);
    AddEditable(cursor, "NoLoop", "int", NoLoop);
    AddEditable(cursor, "DelayPlay", "int", DelayPlay);
    return count + 3;
}

bool GSoundPoint::Process()
{
    if (--DelayPlay >= 0 || !GSoundSystem::pThe)
        return false;
    const bool playing = GSoundSystem::pThe->Update(Status, &GetPos(), DWORD(SoundEffect));
    DelayPlay = playing ? 2 : 6;
    return false;
}
