#include "engine/effects/GMeshLerper.h"

#include <math.h>

#include "engine/effects/EmitterPlacement.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"

IMPLEMENT_GOBJECT(GMeshLerper, 0x04808000)

GMeshLerper::GMeshLerper()
{
    if (EditableEvaluation != 0)
        return;
    Current = ManualLERP;
    ProcessState();
    RenderInstance.Attach(pResource, 0);
    RenderInstance.SetViewport(static_cast<short>(Viewport));
    RenderInstance.SetCullRadius(CullRadius);
    RenderInstance.SetPriority(static_cast<unsigned short>(RendPriority));
    RenderInstance.Attach(&Position, &Rotation, &Tint, nullptr);
    RenderInstance.Attach(this);
    RenderInstance.Link();
}

GMeshLerper::~GMeshLerper()
{
    if (EditableEvaluation != 0)
        return;
    RenderInstance.Detach(this);
}

int GMeshLerper::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "pResource", "CRendResource *", pResource, 0x21);
    AddEditable(cursor, "LastFrame", "float", LastFrame);
    AddEditable(cursor, "CullRadius", "float", CullRadius);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "UseManual", "int", UseManual);
    AddEditable(cursor, "ManualLERP", "float", ManualLERP);
    AddEditable(cursor, "LoopStyle", "int", LoopStyle);
    AddEditable(cursor, "LoopPos", "float", LoopPos);
    AddEditable(cursor, "WindMin", "float", WindMin);
    AddEditable(cursor, "WindMax", "float", WindMax);
    AddEditable(cursor, "WindMinVelocity", "float", WindMinVelocity);
    AddEditable(cursor, "WindMaxVelocity", "float", WindMaxVelocity);
    AddEditable(cursor, "Velocity", "float", Velocity);
    AddEditable(cursor, "Accel", "float", Accel);
    AddEditable(cursor, "TintTime", "float", TintTime);
    AddEditable(cursor, "Red", "float", Red);
    AddEditable(cursor, "Green", "float", Green);
    AddEditable(cursor, "Blue", "float", Blue);
    AddEditable(cursor, "Alpha", "float", Alpha);
    return count + 19;
}

// The morph value follows the position; the tint runs between the last key not past the
// position and the key after it.
void GMeshLerper::ProcessState()
{
    RenderInstance.SetLerpValue(Clamp01(Current) * GetMaxLERP());
    int key = 0;
    for (int i = 0; i < KEYS; ++i)
        if (TintTime[i] <= Current)
            key = i;
    const int next = key + 1 < KEYS ? key + 1 : KEYS - 1;
    const float span = TintTime[next] - TintTime[key];
    const float d = span != 0.0f ? Clamp01((Current - TintTime[key]) / span) : 0.0f;
    Tint = CVector4(LerpFloat(Red[key], Red[next], d), LerpFloat(Green[key], Green[next], d),
                    LerpFloat(Blue[key], Blue[next], d), LerpFloat(Alpha[key], Alpha[next], d));
}

float GMeshLerper::WindTerm() const
{
    if (GWind::pThe == nullptr)
        return 0.0f;
    const float w = GWind::pThe->speed;
    if (w <= WindMin)
        return WindMinVelocity;
    if (w >= WindMax)
        return WindMaxVelocity;
    return LerpFloat(WindMinVelocity, WindMaxVelocity, (w - WindMin) / (WindMax - WindMin));
}

bool GMeshLerper::Process()
{
    if (UseManual) {
        Current = ManualLERP;
        ProcessState();
        return false;
    }
    if (LoopStyle == LOOP_NONE && (Current < 0.0f || Current > 1.0f)) {
        Destroy();
        return true;
    }
    const float frameTime = CGameTimer::FrameTime();
    Velocity += frameTime * Accel;
    Current += (Velocity + WindTerm()) * frameTime;
    if (LoopStyle == LOOP_WRAP && Current >= 1.0f) {
        // A loop that starts at 1 or beyond has no length: it stays at its start.
        const float length = 1.0f - LoopPos;
        Current = length > 0.0f ? LoopPos + fmodf(fmodf(Current, 1.0f), length) : LoopPos;
    } else if (LoopStyle == LOOP_BOUNCE && (Current < 0.0f || Current > 1.0f)) {
        Current = Current < 0.0f ? 0.001f : 0.999f;
        Velocity = -Velocity;
        Accel = -Accel;
    }
    ProcessState();
    return false;
}
