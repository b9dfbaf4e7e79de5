#include "PhysicalTestSupport.h"

#include <string.h>

#include "ObjectTestSupport.h"
#include "engine/world/CCylinderCollision.h"
#include "engine/world/CSphereCollision.h"

IMPLEMENT_GOBJECT(TPhysicalHandled, 0x80008000)

namespace {

const unsigned long kShapeTypeSphere = 2;
const unsigned long kShapeTypeCylinder = 1;

unsigned long Bits(float value)
{
    unsigned long bits;
    memcpy(&bits, &value, 4);
    return bits;
}

} // namespace

// The categories are the low five mantissa bits of the stored plotting radius.
void CollisionBlock::Header(float plotRadius, unsigned long flags)
{
    m_Words.clear();
    Add(0.0f);
    Add(0.0f);
    m_Words.push_back((Bits(plotRadius) & ~0x1FUL) | flags);
}

void CollisionBlock::Add(float value) { m_Words.push_back(Bits(value)); }

CollisionBlock CollisionBlock::Sphere(float plotRadius, unsigned long flags, const CVector& offset, float radius)
{
    CollisionBlock block;
    block.Header(plotRadius, flags);
    block.m_Words.push_back(0);                      // table pointer, set in place
    block.m_Words.push_back(kShapeTypeSphere << 16); // next 0: the last shape
    block.Add(offset.x);
    block.Add(offset.y);
    block.Add(offset.z);
    block.Add(radius);
    new (block.m_Words.data() + 3) CSphereCollision;
    return block;
}

CollisionBlock CollisionBlock::Cylinder(float plotRadius, unsigned long flags, float x, float y, float top,
                                        float bottom, float radius)
{
    CollisionBlock block;
    block.Header(plotRadius, flags);
    block.m_Words.push_back(0);
    block.m_Words.push_back(kShapeTypeCylinder << 16);
    block.Add(x);
    block.Add(y);
    block.Add(top);
    block.Add(bottom);
    block.Add(radius);
    new (block.m_Words.data() + 3) CCylinderCollision;
    return block;
}

GPhysical* MakePhysical(CRendResource* resource, const CVector& position, WORD player, DWORD classId)
{
    FillData data;
    data.Raw("pResource", &resource, 4);
    data.Float("Locator.Position.X", position.x).Float("Locator.Position.Y", position.y);
    data.Float("Locator.Position.Z", position.z);
    return static_cast<GPhysical*>(GObject::Create(classId, HGOBJECT(player), data.Get()));
}
