#pragma once
// Creates up to twelve objects from its creation records, each after its own delay and, when
// asked, at a random offset round the batch's placement; it goes once all are made.
#include "engine/object/GPosRot.h"

class CEmbeddedFillData;

class GEffectBatch : public GPosRot {
    DECLARE_GOBJECT(GEffectBatch, GPosRot)

    enum { SLOTS = 12 };

    GEffectBatch();
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    CEmbeddedFillData* pSpawns[SLOTS];
    int DoOffsets[SLOTS];
    float OffsetsXMin[SLOTS], OffsetsYMin[SLOTS], OffsetsZMin[SLOTS];
    float OffsetsXMax[SLOTS], OffsetsYMax[SLOTS], OffsetsZMax[SLOTS];
    float Delays[SLOTS];
    float Timer;

private:
    void Spawn(int slot);
};
