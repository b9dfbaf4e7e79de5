#pragma once
// Base of everything a render instance can show. Every operation has a harmless default, so a
// resource overrides only what it supports. Resources are records of packed data (or named
// static instances) and are never freed one by one.
#include <windows.h>

#include "core/math/CMatrix.h"
#include "core/math/CVector.h"
#include "core/names/CCRC32.h"
#include "engine/zel/CZelStaticResource.h"

class CAttachPoint;
class CCollisionData;
class CRender;
class CRendDynamicSkeleton;
class CRendStaticSkeleton;
class CRendWorkspace;
struct SpriteBatch;

#pragma pack(push, 1)
class CRendResource : public CZelStaticResource {
public:
    CRendResource() {}
    // Detaches this resource from every render instance still showing it.
    ~CRendResource() override;

    virtual CRendWorkspace* OnAttach(CRender* render);
    virtual void OnUnLink(CRender* render);
    virtual void FlushFrameCache();
    virtual void Render(CRender* render);
    virtual void GetBoundingBox(RECT& box, int index);
    virtual void GetScreenBoundingBox(CMatrix& matrix, RECT& box);
    virtual const CVector* GetCentroid(int index);
    virtual const CVector* GetCenter(int index);
    // 0 when the resource has no size.
    virtual int GetSize(CVector& min, CVector& max);
    virtual float GetMaxRadius();
    virtual float GetMaxRadiusXY();
    virtual CCollisionData* GetCollisionData();
    virtual void SetPalette(int palette);
    virtual CRendResource* GetResource(CRender* render);
    virtual CRender* GetRootRender(CRender* render);
    // A pose: the root position and one rotation (radians) per channel, at most 32.
    virtual void ApplyAnimation(const CVector& position, const CVector* rotations, CRendStaticSkeleton* skeleton);
    // The current pose back: the number of rotations written.
    virtual int GetAnimationData(CVector& position, CVector* rotations, unsigned long& mask, int& channels,
                                 CRendStaticSkeleton*& skeleton);
    virtual void SetIndex(CRender* render, int index);
    virtual void ResetAnimation();
    // Hangs child (or, with child null, detaches what hangs) at the point; a plain resource is
    // first wrapped into a one-node skeleton that takes its place. Returns the child's offset
    // from the point, null when nothing was hung.
    virtual CVector* Attach(CRender* render, CRender* child, CCRC32 point, int keepWorld);
    virtual CVector* Attach(CRender* render, CRender* child, unsigned long point, int keepWorld);
    virtual int GetAttachPointCount();
    virtual unsigned long GetAttachPointCRC(int index);
    virtual const CVector& GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix);
    virtual const CVector& GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix);
    virtual int ReturnAttachPoints(CAttachPoint* points);
    virtual int GetNodeCount();
    virtual void GetNodePos(int node, CVector& out);
    // The render's skeleton; a plain resource wraps itself into one and makes it the render's
    // resource.
    virtual CRendDynamicSkeleton* GetSkeleton(CRender* render);
    virtual SpriteBatch* GetSpriteData();
};
#pragma pack(pop)
static_assert(sizeof(CRendResource) == 4, "CRendResource: its table pointer only");
