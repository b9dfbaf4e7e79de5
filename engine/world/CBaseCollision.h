#pragma once
// Base of the collision shape records. Shapes are stored in packed data one after another,
// behind the header of their collision block, and are used in place after loading.
#include "engine/zel/CZelStaticResource.h"

class CRender;
class CVector;
struct fRECT;

#pragma pack(push, 1)
class CBaseCollision : public CZelStaticResource {
public:
    // The stored shape kinds.
    enum Kind { COLLISION_SIMPLEVOLUME = 0, COLLISION_CYLINDER = 1, COLLISION_SPHERE = 2 };

    // Records are built over their stored bytes: the constructor leaves every field alone.
    CBaseCollision() {}
    ~CBaseCollision() override {}

    // The fraction along a to b where the segment meets the shape, -1 for none.
    virtual float IsCollision(const CVector* a, const CVector* b, const CVector* pos, CRender* owner) = 0;
    virtual bool IsCollision(const fRECT& rect, const CVector* pos, CRender* owner) = 0;
    // A sphere of the radius around the point.
    virtual bool IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner) = 0;
    // Where this shape is hit, for an owner at pos with rotation rot.
    virtual void GetCollisionPoint(CVector& out, const CVector& pos, const CVector& rot) = 0;
    // Widens min and max to take in the shape as its owner places it.
    virtual void GrowBounds(CVector& min, CVector& max, CRender* owner) = 0;

    // The next shape of the chain, null after the last.
    CBaseCollision* GetNext() const
    {
        if (Size == 0)
            return nullptr;
        return reinterpret_cast<CBaseCollision*>(reinterpret_cast<unsigned char*>(const_cast<CBaseCollision*>(this)) +
                                                 Size);
    }
    int GetType() const { return Type; }

protected:
    // Ends the chain here when the stored offset to the next shape would overlap this one or
    // leave the loaded data, so that no walk reads outside the file. Returns whether it cut.
    bool CutDamagedChain(unsigned long recordSize);

public:
    unsigned short Size; // bytes from this shape to the next, 0 for the last
    unsigned char Type;  // a Kind
    unsigned char Flags; // not read
};
#pragma pack(pop)
static_assert(sizeof(CBaseCollision) == 8, "CBaseCollision: table pointer, Size, Type, Flags");
