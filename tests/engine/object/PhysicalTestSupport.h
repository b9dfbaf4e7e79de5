#pragma once
// Physical objects for tests: a resource that carries a collision block, blocks of one shape
// laid out as the converter stores them and built in place as the loader builds them, and
// physical objects created by class id with their resource.
#include <vector>

#include "core/math/CVector.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"

class CCollisionData;

// A collision block: plotting circle and categories, then one shape.
class CollisionBlock {
public:
    static CollisionBlock Sphere(float plotRadius, unsigned long flags, const CVector& offset, float radius);
    static CollisionBlock Cylinder(float plotRadius, unsigned long flags, float x, float y, float top, float bottom,
                                   float radius);
    CCollisionData* Get() { return reinterpret_cast<CCollisionData*>(m_Words.data()); }

private:
    void Header(float plotRadius, unsigned long flags);
    void Add(float value);
    std::vector<unsigned long> m_Words;
};

// A resource that shows nothing and collides with its block.
class TCollidingResource : public CRendResource {
public:
    explicit TCollidingResource(CCollisionData* data) : pData(data) {}
    CCollisionData* GetCollisionData() override { return pData; }

    CCollisionData* pData;
};

// A physical object with a handle, so that queries can name it.
class TPhysicalHandled : public GPhysical {
    DECLARE_GOBJECT(TPhysicalHandled, GPhysical)
};

// Creates an object of the class for the player at the position, showing the resource.
GPhysical* MakePhysical(CRendResource* resource, const CVector& position, WORD player = 1,
                        DWORD classId = TPhysicalHandled::ClassId);
