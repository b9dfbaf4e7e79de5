#pragma once
// Small effects that act on their parent's render instance: a second, altered drawing of it,
// a one-shot change of its culling, gluing another object to one of its attach points,
// turning it towards the wind, a tint range other code reads, and a grid of cells on the
// terrain.
#include "core/math/CMatrix.h"
#include "engine/object/HGOBJECT.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

struct Material;

// The render instance of the object's parent, or null when the parent has none.
CRender* ParentRender(GObject* object);

// Draws its owner's resource a second time with its own materials, colour, placement offsets
// and priority; every field it changes on the owner is put back afterwards.
class GShellPass : public GEffect {
    DECLARE_GOBJECT(GShellPass, GEffect)

    GShellPass();
    bool Render() override;

    CVector4 Colour;
    int Replace; // non-zero: the owner's own drawing is left out
    unsigned short ShellPriority;
    unsigned short SortModifier;
    Material* pMaterials;
    CVector PositionOffset;
    CVector RotationOffset;
};

// Changes its parent's culling once: a radius below 0 means never culled.
class GCullOverride : public GEffect {
    DECLARE_GOBJECT(GCullOverride, GEffect)

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    float CullRadius;
};

// Keeps another object at an attach point of its parent until either goes away.
class GSoftAttach : public GEffect {
    DECLARE_GOBJECT(GSoftAttach, GEffect)

    GSoftAttach();
    bool Process() override;
    bool Render() override;

    const CMatrix& GetOffsetMatrix() const { return OffsetMatrix; }
    void SetOffsetMatrix(const CMatrix& matrix) { OffsetMatrix = matrix; }

    HGOBJECT hMoved;
    DWORD AttachPoint;
    CMatrix OffsetMatrix;
    int Released;
};

// Turns its parent's heading towards the wind at a rate picked at creation.
class GWindAffector : public GEffect {
    DECLARE_GOBJECT(GWindAffector, GEffect)

    GWindAffector();
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    float RotateRateMin, RotateRateMax;
    float MinAnimSpeed, MaxAnimSpeed;
    float Rate;
};

// A tint range for other code to read; it does nothing itself.
class GColorizer : public GEffect {
    DECLARE_GOBJECT(GColorizer, GEffect)

    int SpecifyEditable(EditableInfo*& cursor) override;

    CVector MinTint;
    CVector MaxTint;
    int NonUniform;
};

// A grid of cells drawn as lines on the terrain.
class GGridRender : public GEffect {
    DECLARE_GOBJECT(GGridRender, GEffect)

    bool Render() override;
    void Set(int columns, int rows, float cellSize, const CVector& origin);
    void Set(const CVector4& colour);

    int Columns, Rows;
    float CellSize;
    CVector Origin;
    CVector4 Colour;
};
