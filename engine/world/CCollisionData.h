#pragma once
// A collision block of packed data: the plotting circle and collision categories of a render
// resource, followed by a chain of collision shapes. A render instance supplies the placement
// (position and rotation) of the shapes for every test.
#include "core/math/CVector.h"

class CBaseCollision;
class CRender;
struct fRECT;

// Collision categories: the low five bits of the stored plotting radius.
enum {
    COLLISIONDATA_PLOT = 1,
    COLLISIONDATA_COLLIDE = 2,
    COLLISIONDATA_LOCALPATH = 4,
    COLLISIONDATA_GLOBALPATH = 8,
    COLLISIONDATA_SPECIAL = 16,
};

#pragma pack(push, 1)
class CCollisionData {
public:
    // Blocks live in packed data: construction and destruction leave the stored bytes alone.
    CCollisionData() {}
    CCollisionData(const CCollisionData& other);
    CCollisionData& operator=(const CCollisionData& other);

    // Any shape of this block (placed by owner) against any shape of other (placed by
    // otherOwner); the first hit is recorded for LastCollisionPoints.
    bool IsCollision(CCollisionData* other, CRender* otherOwner, CRender* owner);
    bool IsCollision(const CVector* point, float radius, const CVector* pos, CRender* owner);
    bool IsCollision(const fRECT& rect, const CVector* pos, CRender* owner);
    // The smallest fraction along a to b at which the segment meets a shape, -1 for none.
    float IsCollision(const CVector* a, const CVector* b, const CVector* pos, CRender* owner);

    // The plotting radius; offset gets the owner's rotated plotting centre.
    float GetPlottingRadius(CVector* offset, CRender* owner);
    void GetBounds(CVector& min, CVector& max, CRender* owner);
    unsigned long GetFlags() const { return Flags; }
    // One shape, not a volume, centred on the owner: callers may use a plain circle.
    bool IsCollisionSimple() const;

    // Where the last recorded hit touched each side.
    static void LastCollisionPoints(CVector& mine, CVector& theirs);

    // A sphere against an axis-aligned box, and two boxes, on all three axes.
    static bool IsCollision(const CVector* min1, const CVector* max1, const CVector* centre, float radius);
    static bool IsCollision(const CVector* min1, const CVector* max1, const CVector* min2, const CVector* max2);

    CBaseCollision* GetFirstShape() { return reinterpret_cast<CBaseCollision*>(CollArray); }
    const CBaseCollision* GetFirstShape() const { return reinterpret_cast<const CBaseCollision*>(CollArray); }

    float PlotX; // plotting centre relative to the owner, before rotation
    float PlotY;
    union {
        float PlotRadius;    // read as a float: the plotting radius
        unsigned long Flags; // read as a word: its low five bits are the categories
    };
    unsigned char CollArray[0]; // the shape chain starts here

private:
    static bool IsShapePairCollision(CBaseCollision* mine, CBaseCollision* theirs, CRender* owner, CRender* otherOwner);
    static void RecordHit(CBaseCollision* mine, const CVector& minePos, const CVector& mineRot, CBaseCollision* theirs,
                          const CVector& theirPos, const CVector& theirRot);
    static void RecordPointHit(CBaseCollision* mine, const CVector& pos, const CVector& rot, const CVector& point);

    static CVector LastMine;
    static CVector LastTheirs;
};
#pragma pack(pop)
static_assert(sizeof(CCollisionData) == 12, "CCollisionData: PlotX, PlotY, PlotRadius/Flags; shapes at 12");
