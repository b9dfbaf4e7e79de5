#include "engine/effects/GEffectBatch.h"

#include "core/math/CMatrix.h"
#include "engine/effects/EffectRandom.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"

IMPLEMENT_GOBJECT(GEffectBatch, 0x0480F000)

// The batch's own children belong with what it spawns: they move to its parent.
GEffectBatch::GEffectBatch()
{
    if (EditableEvaluation != 0)
        return;
    while (pChild != nullptr)
        pChild->SetParent(GetParent());
}

int GEffectBatch::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "pSpawns", "CEmbeddedFillData *", pSpawns, 0x21);
    AddEditable(cursor, "DoOffsets", "int", DoOffsets);
    AddEditable(cursor, "OffsetsXMin", "float", OffsetsXMin);
    AddEditable(cursor, "OffsetsYMin", "float", OffsetsYMin);
    AddEditable(cursor, "OffsetsZMin", "float", OffsetsZMin);
    AddEditable(cursor, "OffsetsXMax", "float", OffsetsXMax);
    AddEditable(cursor, "OffsetsYMax", "float", OffsetsYMax);
    AddEditable(cursor, "OffsetsZMax", "float", OffsetsZMax);
    AddEditable(cursor, "Delays", "float", Delays);
    return count + 9;
}

void GEffectBatch::Spawn(int slot)
{
    CEmbeddedFillData* record = pSpawns[slot];
    pSpawns[slot] = nullptr;
    GObject* parent = GetParent();
    GObject* created = parent->Create(record);
    if (created == nullptr)
        return;
    created->SetLabel(record->LabelId);
    GPosRot* placed = DoOffsets[slot] ? GPosRot::FromObject(created) : nullptr;
    if (placed == nullptr)
        return;
    const CVector offset(EffectLerpRandom(OffsetsXMin[slot], OffsetsXMax[slot]),
                         EffectLerpRandom(OffsetsYMin[slot], OffsetsYMax[slot]),
                         EffectLerpRandom(OffsetsZMin[slot], OffsetsZMax[slot]));
    CMatrix m;
    m.SetEuler_XYZS(Position + offset, Rotation);
    const CVector p = placed->GetPos();
    placed->SetPos(CVector(p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                           p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                           p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]));
}

bool GEffectBatch::Process()
{
    Timer += CGameTimer::FrameTime();
    bool held = false;
    for (int slot = 0; slot < SLOTS; ++slot) {
        if (pSpawns[slot] == nullptr)
            continue;
        held = true;
        if (Timer > Delays[slot])
            Spawn(slot);
    }
    if (held)
        return false;
    Destroy();
    return true;
}
