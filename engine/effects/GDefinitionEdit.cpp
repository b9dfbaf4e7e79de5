#include "engine/effects/GDefinitionEdit.h"

#include "engine/effects/EffectObjects.h"
#include <cstring>

#include "engine/object/CGameTimer.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/EditableInfo.h"

IMPLEMENT_GOBJECT(GEmitterEdit, 0x86008000)
IMPLEMENT_GOBJECT(GParticleEdit, 0x86008000)

namespace {
}

GDefinitionEditBase::GDefinitionEditBase()
{
    if (EditableEvaluation == 0)
        Shown = 0;
}

void GDefinitionEditBase::ShowMarker()
{
    if (CGameTimer::IsPaused() && !Shown) {
        Marker.Attach(&Position, &Rotation, nullptr, nullptr);
        Marker.Index(0);
        Marker.SetSelectable(GetHandle());
        if (pResource)
            Marker.Attach(pResource, 0);
        Marker.Link();
        Shown = 1;
    } else if (!CGameTimer::IsPaused() && Shown) {
        Marker.DetachResource();
        Shown = 0;
    }
}

void GDefinitionEditBase::Exchange(void* edited, void*& seen, void* copy, unsigned long bytes)
{
    if (edited != seen) {
        seen = edited;
        if (edited)
            std::memcpy(copy, edited, bytes);
    }
    if (edited)
        std::memcpy(edited, copy, bytes);
}

bool GDefinitionEditBase::HandleMessage(CMessage* message)
{
    if (message->MessageId == CVeskUpdateMessage::CMessageId) {
        Process();
        return true;
    }
    GObject* parent = GetParent();
    if (!GPosRot::OnReceiveMessage(message) && parent && parent->OnFilterMessage(message))
        parent->OnReceiveMessage(message);
    return true;
}

GEmitterEdit::GEmitterEdit()
{
    if (EditableEvaluation != 0)
        return;
    pEmitter = nullptr;
    pSeen = nullptr;
}

bool GEmitterEdit::Process()
{
    ShowMarker();
    Exchange(pEmitter, pSeen, &Emit, sizeof Emit);
    return false;
}

bool GEmitterEdit::OnReceiveMessage(CMessage* message) { return HandleMessage(message); }

int GEmitterEdit::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "pEmitter", "EmitterDef*", pEmitter, kResolvedPointerFlags);
    AddEditable(cursor, "Emit.pParticle", "ParticleDef*", Emit.pParticle, kResolvedPointerFlags);
    AddEditable(cursor, "Emit.pNextDef", "EmitterDef*", Emit.pNextDef, kResolvedPointerFlags);
    const struct {
        const char* name;
        float& value;
    } floats[] = {
        {"Emit.Period.Min", Emit.Period.Min},
        {"Emit.Period.Max", Emit.Period.Max},
        {"Emit.Period.Bias", Emit.Period.Bias},
        {"Emit.Count.Min", Emit.Count.Min},
        {"Emit.Count.Max", Emit.Count.Max},
        {"Emit.Count.Bias", Emit.Count.Bias},
        {"Emit.Velocity.Min", Emit.Velocity.Min},
        {"Emit.Velocity.Max", Emit.Velocity.Max},
        {"Emit.Velocity.Bias", Emit.Velocity.Bias},
        {"Emit.Lifespan.Min", Emit.Lifespan.Min},
        {"Emit.Lifespan.Max", Emit.Lifespan.Max},
        {"Emit.Lifespan.Bias", Emit.Lifespan.Bias},
        {"Emit.Ellipse.X", Emit.Ellipse.X},
        {"Emit.Ellipse.Y", Emit.Ellipse.Y},
        {"Emit.Ellipse.Z", Emit.Ellipse.Z},
        {"Emit.ArpetureIn.Min", Emit.ArpetureIn.Min},
        {"Emit.ArpetureIn.Max", Emit.ArpetureIn.Max},
        {"Emit.ArpetureIn.Bias", Emit.ArpetureIn.Bias},
        {"Emit.ArpetureEx.Min", Emit.ArpetureEx.Min},
        {"Emit.ArpetureEx.Max", Emit.ArpetureEx.Max},
        {"Emit.ArpetureEx.Bias", Emit.ArpetureEx.Bias},
        {"Emit.Vector.X", Emit.Vector.X},
        {"Emit.Vector.Y", Emit.Vector.Y},
        {"Emit.Vector.Z", Emit.Vector.Z},
    };
    for (const auto& f : floats)
        AddEditable(cursor, f.name, "float", f.value);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, kResolvedPointerFlags);
    return count + 28;
}

GParticleEdit::GParticleEdit()
{
    if (EditableEvaluation != 0)
        return;
    pParticle = nullptr;
    pSeen = nullptr;
}

bool GParticleEdit::Process()
{
    ShowMarker();
    Exchange(pParticle, pSeen, &Part, sizeof Part);
    return false;
}

bool GParticleEdit::OnReceiveMessage(CMessage* message) { return HandleMessage(message); }

int GParticleEdit::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, kResolvedPointerFlags);
    AddEditable(cursor, "Part.pNextDef", "ParticleDef*", Part.pNextDef, kResolvedPointerFlags);
    const struct {
        const char* name;
        float& value;
    } floats[] = {
        {"Part.MinColor.Red", Part.MinColor.X},
        {"Part.MinColor.Green", Part.MinColor.Y},
        {"Part.MinColor.Blue", Part.MinColor.Z},
        {"Part.MinColor.Alpha", Part.MinColor.W},
        {"Part.MaxColor.Red", Part.MaxColor.X},
        {"Part.MaxColor.Green", Part.MaxColor.Y},
        {"Part.MaxColor.Blue", Part.MaxColor.Z},
        {"Part.MaxColor.Alpha", Part.MaxColor.W},
        {"Part.Size.X", Part.Size.X},
        {"Part.Size.Y", Part.Size.Y},
        {"Part.Size.Z", Part.Size.Z},
        {"Part.Scale.Min", Part.Scale.Min},
        {"Part.Scale.Max", Part.Scale.Max},
        {"Part.Scale.Bias", Part.Scale.Bias},
        {"Part.Gravity", Part.Gravity},
        {"Part.Lifespan.Min", Part.Lifespan.Min},
        {"Part.Lifespan.Max", Part.Lifespan.Max},
        {"Part.Lifespan.Bias", Part.Lifespan.Bias},
        {"Part.MinSpin.X", Part.MinSpin.X},
        {"Part.MinSpin.Y", Part.MinSpin.Y},
        {"Part.MinSpin.Z", Part.MinSpin.Z},
        {"Part.MaxSpin.X", Part.MaxSpin.X},
        {"Part.MaxSpin.Y", Part.MaxSpin.Y},
        {"Part.MaxSpin.Z", Part.MaxSpin.Z},
        {"Part.MinDamp.X", Part.MinDamp.X},
        {"Part.MinDamp.Y", Part.MinDamp.Y},
        {"Part.MinDamp.Z", Part.MinDamp.Z},
        {"Part.MaxDamp.X", Part.MaxDamp.X},
        {"Part.MaxDamp.Y", Part.MaxDamp.Y},
        {"Part.MaxDamp.Z", Part.MaxDamp.Z},
        {"Part.Flocking.X", Part.Flocking.X},
        {"Part.Flocking.Y", Part.Flocking.Y},
        {"Part.Flocking.Z", Part.Flocking.Z},
    };
    for (const auto& f : floats)
        AddEditable(cursor, f.name, "float", f.value);
    AddEditable(cursor, "Part.Flags", "DWORD", Part.Flags);
    AddEditable(cursor, "Part.Facing", "int", Part.Facing);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, kResolvedPointerFlags);
    return count + 38;
}
