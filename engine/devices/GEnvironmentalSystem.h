#pragma once
// Environmental sound: rectangles of ambient sound and indoor rectangles placed in a level, kept
// in a VolumeTree by the environmental system, which every 2 seconds plays the ambient sound of
// the sound volume under the camera; and point sounds that keep themselves playing.
#include "engine/devices/GSoundSystem.h"
#include "engine/devices/VolumeTree.h"
#include "engine/object/GPosRot.h"

class GEnvironmentalSystem : public GObject {
    DECLARE_GOBJECT(GEnvironmentalSystem, GObject)

    GEnvironmentalSystem();
    ~GEnvironmentalSystem() override;
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    virtual bool IsIndoors(const CVector& point);

    void ProcessFadeIn() {}
    void ProcessFadeOut() {}

    static constexpr float kCheckInterval = 2.0f;
    static constexpr float kMusicSilent = 0.05f;
    static GEnvironmentalSystem* pThe;

    VolumeTree Tree;
    float FadeTimeLength; // kept for the editor; fades are not made
    float NextCheck;
    DWORD CurrentId;
    SoundStatus Status;
    SoundStatus SecondStatus;
};

// A rectangle of ambient sound; its z range is -100 to 100. Limit* fields make a side a cell
// boundary of the tree; open sides reach to the surrounding cell.
class GEnvironmentalSoundVolume : public GObject {
    DECLARE_GOBJECT(GEnvironmentalSoundVolume, GObject)

    GEnvironmentalSoundVolume();
    ~GEnvironmentalSoundVolume() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    float MinX, MinY, MaxX, MaxY;
    int SoundType;
    int AmbientType;
    int Priority;
    int LimitLeft, LimitRight, LimitTop, LimitBottom;
    VolumeId Volume;
};

// The same rectangle under its own class: game code asks whether a point is indoors.
class GEnvironmentalIndoorVolume : public GEnvironmentalSoundVolume {
    DECLARE_GOBJECT(GEnvironmentalIndoorVolume, GEnvironmentalSoundVolume)
};

// A sound that plays at the object's position and is restarted after it ends: checked every
// 3rd frame while it plays, every 7th while it does not.
class GSoundPoint : public GPosRot {
    DECLARE_GOBJECT(GSoundPoint, GPosRot)

    GSoundPoint();
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    int SoundEffect;
    int NoLoop; // kept for the editor
    int DelayPlay;
    SoundStatus Status;
};
