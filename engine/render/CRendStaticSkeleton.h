#pragma once
// A skeleton as stored in packed data: a tree of nodes, each showing a resource and offering
// attach points where child nodes hang. Attached to a render it builds the render's dynamic
// skeleton, which takes its place.
#include "core/math/CVector.h"
#include "engine/render/CRendResource.h"

class CAnimation;

#pragma pack(push, 1)
// Named places of a node or resource: position, then the name key.
class CAttachPoint : public CVector {
public:
    unsigned long Crc32;
};

struct StaticNode {
    CRendResource* pResource;
    unsigned long NoAttachPoints;
    CAttachPoint* pAttachPoints;
    StaticNode** pChildren; // one per attach point, null where no node hangs
};

class CRendStaticSkeleton : public CRendResource {
public:
    // A stored skeleton whose nodes, points or child links run outside its bytes, or whose
    // child links do not form a tree, is refused: it keeps no nodes and shows nothing. So is
    // one shown while its nodes' resources or its animation are not built records.
    CRendStaticSkeleton();

    CRendWorkspace* OnAttach(CRender* render) override;
    const CVector* GetCentroid(int index) override;
    const CVector* GetCenter(int index) override;
    int GetSize(CVector& min, CVector& max) override;
    float GetMaxRadius() override;
    float GetMaxRadiusXY() override;
    CCollisionData* GetCollisionData() override;
    CRendResource* GetResource(CRender* render) override;
    int GetAttachPointCount() override;

    // The node's place in Nodes, or -1 when the pointer is no node of this skeleton.
    int NodeIndex(const StaticNode* node) const;

    CVector Centroid;
    CVector Center;
    CVector MaxSize;
    CVector MinSize;
    float MaxRadius;
    float MaxRadiusXY;
    float ScaleFactor;
    CAnimation* pAnimation;
    unsigned long NoAttachPoints;
    unsigned long NoNodes;
    StaticNode Nodes[0];

private:
    // Why the skeleton cannot be shown, null when it can.
    const char* UnsoundRecord() const;
    void Refuse(const char* fault);
};
#pragma pack(pop)
static_assert(sizeof(CAttachPoint) == 16, "CAttachPoint");
static_assert(sizeof(StaticNode) == 16, "StaticNode");
static_assert(sizeof(CRendStaticSkeleton) == 76, "CRendStaticSkeleton");
